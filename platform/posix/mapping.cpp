// Whole-file mappings on POSIX: one shared mmap of the file at its current size.
#include "platform/fault_injection.h"
#include "platform/posix/posix_internal.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>

namespace platform {

void Mapping::Unmap() {
    if (data_ != nullptr)
        munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
    mappingHandle_ = 0;
}

void Mapping::ReleasePages() const noexcept {
    if (data_ != nullptr)
        madvise(data_, size_, MADV_DONTNEED);
}

void Mapping::PrepareForWriting(std::uint64_t offset, std::uint64_t length) const noexcept {
#ifdef MADV_POPULATE_WRITE
    if (data_ == nullptr || offset >= size_)
        return;
    const std::uint64_t end = length < size_ - offset ? offset + length : size_;
    // madvise wants a page-aligned start.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(data_ + offset) / page * page;
    const auto last = reinterpret_cast<std::uintptr_t>(data_ + end);
    // Older kernels refuse the advice (EINVAL); the writes then fault as usual.
    madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
}

Mapping MapWholeFile(File& file, bool writable) {
    Mapping mapping;
    if (detail::InjectFailure(testing::Operation::Map))
        return mapping;
    std::uint64_t size = 0;
    if (!file.IsOpen()) {
        SetLastError(EBADF);
        return mapping;
    }
    if (!file.GetSize(size))
        return mapping;
    if (size == 0) {
        // mmap cannot map nothing; say so rather than pass on EINVAL.
        SetLastError(kErrorFileInvalid);
        return mapping;
    }
    if (size > std::numeric_limits<std::size_t>::max()) {
        SetLastError(kErrorNotEnoughMemory);
        return mapping;
    }
    int protection = PROT_READ | (writable ? PROT_WRITE : 0);
    void* data = mmap(nullptr, static_cast<std::size_t>(size), protection, MAP_SHARED,
                      static_cast<int>(file.Native()), 0);
    if (data == MAP_FAILED) {
        posix::SetLastErrorFromErrno();
        return mapping;
    }
    mapping.data_ = static_cast<std::uint8_t*>(data);
    mapping.size_ = static_cast<std::size_t>(size);
    return mapping;
}

} // namespace platform
