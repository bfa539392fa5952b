// Files on Windows: CreateFileW (CreateFileA on the Windows 9x family) with
// the share modes that keep a second opener out of a file under update.
#include "platform/fault_injection.h"

namespace platform {
namespace {
// Named before <windows.h> turns CreateFile into CreateFileA.
constexpr auto kCreateFileOperation = testing::Operation::CreateFile;
} // namespace
} // namespace platform

#include "platform/win32/win32_internal.h"

#include <algorithm>
#include <limits>
#include <new>

namespace platform {

namespace {

constexpr std::uint64_t kMaxOffset =
    static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max());
// One ReadFile or WriteFile moves at most this many bytes.
constexpr std::size_t kChunk = std::size_t{1} << 30;

bool RangeFits(std::uint64_t offset, std::size_t length) {
    return offset <= kMaxOffset && length <= kMaxOffset - offset;
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

HANDLE Open(const std::u16string& path, DWORD access, DWORD share, DWORD disposition) {
    if ((access & GENERIC_WRITE) != 0 && win32::IsMarkedReadOnly(path)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (win32::IsWindows9x()) {
        std::string ansi = Utf16ToAnsi(path);
        return CreateFileA(ansi.c_str(), access, share, nullptr, disposition, 0, nullptr);
    }
    std::wstring wide = win32::Wide(path);
    return CreateFileW(wide.c_str(), access, share, nullptr, disposition, 0, nullptr);
}

} // namespace

void File::Close() {
    if (handle_ != kInvalid) {
        CloseHandle(win32::ToHandle(handle_));
        handle_ = kInvalid;
    }
}

bool File::GetSize(std::uint64_t& size) const {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(win32::ToHandle(handle_), &value))
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

namespace {

bool SetEnd(HANDLE h, std::uint64_t size) {
    if (size > kMaxOffset) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(h, position, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

// Whether the system holds disk space for every byte of the file.
bool FullyAllocated(HANDLE h) {
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof(info)) &&
           info.AllocationSize.QuadPart >= info.EndOfFile.QuadPart;
}

// Writes zeros over [from, to): the disk must then hold those bytes.
bool WriteZeros(File& file, std::uint64_t from, std::uint64_t to) {
    static const std::uint8_t kZeros[64 * 1024] = {};
    while (from < to) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(to - from, sizeof(kZeros)));
        if (!file.WriteAt(from, std::span<const std::uint8_t>(kZeros, n)))
            return false;
        from += n;
    }
    return true;
}

} // namespace

bool File::SetSize(std::uint64_t size) {
    if (detail::InjectFailure(testing::Operation::Resize))
        return false;
    return SetEnd(win32::ToHandle(handle_), size);
}

bool File::ReserveTail(std::uint64_t old, std::uint64_t size) {
    HANDLE h = win32::ToHandle(handle_);
    // Windows allocates what SetEndOfFile adds (or fails with ERROR_DISK_FULL).
    // Wine on a Linux file system extends the file sparsely; a later write
    // into the view would then fault on a full disk, so the bytes are claimed
    // now with ordinary writes, which can fail cleanly.
    if (SetEnd(h, size) && (FullyAllocated(h) || WriteZeros(*this, old, size)))
        return true;
    const DWORD code = GetLastError();
    SetEnd(h, old);
    ::SetLastError(code);
    return false;
}

bool File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!RangeFits(offset, out.size())) {
        ::SetLastError(ERROR_HANDLE_EOF);
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD want = static_cast<DWORD>(std::min(out.size() - done, kChunk));
        DWORD got = 0;
        OVERLAPPED position = At(offset + done);
        if (!ReadFile(win32::ToHandle(handle_), out.data() + done, want, &got, &position))
            return false; // ERROR_HANDLE_EOF when the offset lies past the end
        if (got == 0) {
            ::SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        done += got;
    }
    return true;
}

bool File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (detail::InjectFailure(testing::Operation::Write))
        return false;
    if (!RangeFits(offset, bytes.size())) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min(bytes.size() - done, kChunk));
        DWORD written = 0;
        OVERLAPPED position = At(offset + done);
        if (!WriteFile(win32::ToHandle(handle_), bytes.data() + done, want, &written, &position))
            return false;
        if (written == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}

bool File::ReadAll(std::vector<std::uint8_t>& out) const {
    std::uint64_t size = 0;
    if (!GetSize(size))
        return false;
    if (size > out.max_size() || size > std::numeric_limits<std::size_t>::max()) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    try {
        out.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return ReadAt(0, out);
}

File OpenExisting(const std::u16string& path, OpenMode mode) {
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (mode) {
    case OpenMode::ExclusiveReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        share = 0;
        break;
    case OpenMode::ReadShareReadWrite:
        break;
    case OpenMode::ReadShareRead:
        share = FILE_SHARE_READ;
        break;
    }
    HANDLE h = Open(path, access, share, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return File();
    return File(win32::FromHandle(h));
}

bool ReadWholeFile(const std::u16string& path, OpenMode mode, FileBytes& out) {
    out.size_ = 0;
    if (mode == OpenMode::ExclusiveReadWrite) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const File file = OpenExisting(path, mode);
    std::uint64_t size = 0;
    if (!file || !file.GetSize(size) || !out.Allocate(size))
        return false;
    if (!file.ReadAt(0, std::span<std::uint8_t>(out.data_.get(), out.size_))) {
        out.size_ = 0;
        return false;
    }
    return true;
}

File CreateAnew(const std::u16string& path) {
    if (detail::InjectFailure(kCreateFileOperation))
        return File();
    HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (h == INVALID_HANDLE_VALUE)
        return File();
    return File(win32::FromHandle(h));
}

File CreateNew(const std::u16string& path) {
    if (detail::InjectFailure(kCreateFileOperation))
        return File();
    HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
    if (h == INVALID_HANDLE_VALUE)
        return File();
    return File(win32::FromHandle(h));
}

File CreateTempFile(const std::string& ansiPath) {
    if (detail::InjectFailure(kCreateFileOperation))
        return File();
    // The system deletes the file with its last handle, which a killed
    // process gives up as well.
    HANDLE h =
        CreateFileA(ansiPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return File();
    return File(win32::FromHandle(h));
}

} // namespace platform
