// Whole-file mappings on Windows: a file-mapping object and one view of all of it.
#include "platform/fault_injection.h"
#include "platform/win32/win32_internal.h"

#include <limits>

namespace platform {

void Mapping::Unmap() {
    if (data_ != nullptr)
        UnmapViewOfFile(data_);
    if (mappingHandle_ != 0)
        CloseHandle(win32::ToHandle(mappingHandle_));
    data_ = nullptr;
    size_ = 0;
    mappingHandle_ = 0;
}

void Mapping::ReleasePages() const noexcept {
    // The system trims a view's working set itself.
}

void Mapping::PrepareForWriting(std::uint64_t, std::uint64_t) const noexcept {
    // Windows offers prefetching for reading only; the writes fault as usual.
}

Mapping MapWholeFile(File& file, bool writable) {
    Mapping mapping;
    if (detail::InjectFailure(testing::Operation::Map))
        return mapping;
    std::uint64_t size = 0;
    if (!file.IsOpen()) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return mapping;
    }
    if (!file.GetSize(size))
        return mapping;
    if (size == 0) {
        // CreateFileMapping refuses an empty file with this code; say it the same way everywhere.
        ::SetLastError(ERROR_FILE_INVALID);
        return mapping;
    }
    if (size > std::numeric_limits<std::size_t>::max()) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return mapping;
    }
    HANDLE object = CreateFileMappingA(win32::ToHandle(file.Native()), nullptr,
                                       writable ? PAGE_READWRITE : PAGE_READONLY, 0, 0, nullptr);
    if (object == nullptr)
        return mapping;
    void* view = MapViewOfFile(object, writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        DWORD code = GetLastError();
        CloseHandle(object);
        ::SetLastError(code);
        return mapping;
    }
    mapping.data_ = static_cast<std::uint8_t*>(view);
    mapping.size_ = static_cast<std::size_t>(size);
    mapping.mappingHandle_ = win32::FromHandle(object);
    return mapping;
}

} // namespace platform
