// What File and Mapping do the same on every system: each closes or unmaps
// what it holds when it goes, a move hands the handle over, and a growth that
// sets space aside is checked before the system is asked.
#include "platform/fault_injection.h"
#include "platform/platform.h"

#include <limits>
#include <new>
#include <utility>

namespace platform {

// The checks every system makes before it sets space aside.
bool File::GrowReserving(std::uint64_t size) {
    if (detail::InjectFailure(testing::Operation::Reserve))
        return false;
    std::uint64_t old = 0;
    if (!GetSize(old))
        return false;
    return size <= old || ReserveTail(old, size);
}

File::~File() {
    Close();
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kInvalid))
#ifndef _WIN32
      ,
      unlinkOnClose_(std::exchange(other.unlinkOnClose_, {}))
#endif
{
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kInvalid);
#ifndef _WIN32
        unlinkOnClose_ = std::exchange(other.unlinkOnClose_, {});
#endif
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

bool FileBytes::Allocate(std::uint64_t size) {
    size_ = 0;
    if (size <= capacity_) {
        size_ = static_cast<std::size_t>(size);
        return true;
    }
    data_.reset();
    capacity_ = 0;
    if (size > std::numeric_limits<std::size_t>::max() / 2) {
        SetLastError(kErrorNotEnoughMemory);
        return false;
    }
    // Not cleared: every byte is read over.
    data_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
    if (!data_) {
        SetLastError(kErrorNotEnoughMemory);
        return false;
    }
    size_ = static_cast<std::size_t>(size);
    capacity_ = size_;
    return true;
}

} // namespace platform
