// Ownership of File and Mapping, the same on every system: each closes or
// unmaps what it holds when it goes, and a move hands the handle over.
#include "platform/platform.h"

#include <utility>

namespace platform {

File::~File() {
    Close();
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kInvalid);
    }
    return *this;
}

Mapping::~Mapping() {
    Unmap();
}

Mapping::Mapping(Mapping&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mappingHandle_(std::exchange(other.mappingHandle_, 0)) {}

Mapping& Mapping::operator=(Mapping&& other) noexcept {
    if (this != &other) {
        Unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mappingHandle_ = std::exchange(other.mappingHandle_, 0);
    }
    return *this;
}

} // namespace platform
