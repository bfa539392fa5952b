// Files on POSIX. Sharing is modelled with flock: the exclusive modes hold
// LOCK_EX, the shared ones LOCK_SH, both non-blocking, so that every open of
// this layer, in this process or another, sees a file held by another one as
// in use, the way share mode 0 does on Windows.
#include "platform/fault_injection.h"
#include "platform/posix/posix_internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <new>

namespace platform {

namespace posix {

bool HasWriteBit(unsigned mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

} // namespace posix

namespace {

using posix::SetLastErrorFromErrno;

// Takes the lock; on failure closes the descriptor and reports the file as in use.
bool Lock(int fd, int operation) {
    while (flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        std::uint32_t code =
            errno == EWOULDBLOCK ? kErrorSharingViolation : static_cast<std::uint32_t>(errno);
        close(fd);
        SetLastError(code);
        return false;
    }
    return true;
}

// Fails (closing the descriptor) unless it names a regular file, and, for a
// writer, one not marked read-only; `size` receives the file's size. The open
// was non-blocking, so a FIFO or device named where a file belongs cannot
// hang the caller. The flag stays on the regular file, where Linux and the
// BSDs ignore it; a read or write that meets it all the same clears it and
// goes on (see ClearNonBlocking).
bool CheckOpened(int fd, bool forWriting, std::uint64_t* size = nullptr) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        SetLastErrorFromErrno();
        close(fd);
        return false;
    }
    std::uint32_t code = 0;
    if (S_ISDIR(st.st_mode))
        code = EISDIR;
    else if (!S_ISREG(st.st_mode))
        code = EINVAL;
    else if (forWriting && !posix::HasWriteBit(st.st_mode))
        code = kErrorAccessDenied;
    if (code != 0) {
        close(fd);
        SetLastError(code);
        return false;
    }
    if (size != nullptr)
        *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

// Blocking mode back, for a system that let O_NONBLOCK reach a regular file's
// reads or writes (EAGAIN). False when it cannot be had.
bool ClearNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) != 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Whether a failed read or write may be tried again: interrupted, or stopped
// by the non-blocking flag, which is then cleared.
bool Retryable(int fd) {
    return errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && ClearNonBlocking(fd));
}

int OpenRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = open(path, flags | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// off_t is 64 bits wide here (the build asks for large-file support on 32-bit systems).
static_assert(sizeof(off_t) >= sizeof(std::uint64_t), "64-bit file offsets are required");

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

bool FitsOffset(std::uint64_t value) {
    return value <= kMaxOffset;
}

// True when [offset, offset + length) can be addressed with off_t.
bool RangeFits(std::uint64_t offset, std::size_t length) {
    return offset <= kMaxOffset && length <= kMaxOffset - offset;
}

} // namespace

void File::Close() {
    if (handle_ != kInvalid) {
        // The name goes first, while the file is still ours alone.
        if (!unlinkOnClose_.empty())
            unlink(unlinkOnClose_.c_str());
        unlinkOnClose_.clear();
        // The lock goes with the last descriptor of the open file.
        close(static_cast<int>(handle_));
        handle_ = kInvalid;
    }
}

bool File::GetSize(std::uint64_t& size) const {
    struct stat st {};
    if (fstat(static_cast<int>(handle_), &st) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

namespace {

// ftruncate; 0 or the error number.
int Truncate(int fd, std::uint64_t size) {
    if (!FitsOffset(size))
        return EFBIG;
    while (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        if (errno != EINTR)
            return errno > 0 ? errno : EIO;
    }
    return 0;
}

// Sets aside the disk space of [offset, offset + length), extending the
// file over it; 0 or the error number.
int Allocate(int fd, std::uint64_t offset, std::uint64_t length) {
#ifdef __linux__
    // fallocate itself: posix_fallocate would, where the file system cannot
    // reserve, write a byte into every block instead.
    while (fallocate(fd, 0, static_cast<off_t>(offset), static_cast<off_t>(length)) != 0) {
        if (errno != EINTR)
            return errno > 0 ? errno : EIO;
    }
    return 0;
#else
    return posix_fallocate(fd, static_cast<off_t>(offset), static_cast<off_t>(length));
#endif
}

} // namespace

bool File::SetSize(std::uint64_t size) {
    if (detail::InjectFailure(testing::Operation::Resize))
        return false;
    const int error = Truncate(static_cast<int>(handle_), size);
    if (error != 0) {
        SetLastError(static_cast<std::uint32_t>(error));
        return false;
    }
    return true;
}

bool File::ReserveTail(std::uint64_t old, std::uint64_t size) {
    const int fd = static_cast<int>(handle_);
    int error = FitsOffset(size) ? Allocate(fd, old, size - old) : EFBIG;
    if (error == EOPNOTSUPP || error == ENOSYS || error == EINVAL)
        error = Truncate(fd, size); // nothing can be set aside here
    if (error == 0)
        return true;
    // A reservation that failed part way may have extended the file.
    std::uint64_t now = old;
    if (GetSize(now) && now != old)
        Truncate(fd, old);
    SetLastError(static_cast<std::uint32_t>(error));
    return false;
}

bool File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!RangeFits(offset, out.size())) {
        SetLastError(kErrorHandleEof);
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                          static_cast<off_t>(offset));
        if (n < 0) {
            if (Retryable(static_cast<int>(handle_)))
                continue;
            SetLastErrorFromErrno();
            return false;
        }
        if (n == 0) {
            SetLastError(kErrorHandleEof);
            return false;
        }
        done += static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (detail::InjectFailure(testing::Operation::Write))
        return false;
    if (!RangeFits(offset, bytes.size())) {
        SetLastError(EFBIG);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done,
                           static_cast<off_t>(offset));
        if (n < 0) {
            if (Retryable(static_cast<int>(handle_)))
                continue;
            SetLastErrorFromErrno();
            return false;
        }
        if (n == 0) {
            SetLastError(ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool File::ReadAll(std::vector<std::uint8_t>& out) const {
    std::uint64_t size = 0;
    if (!GetSize(size))
        return false;
    if (size > out.max_size() || size > std::numeric_limits<std::size_t>::max()) {
        SetLastError(kErrorNotEnoughMemory);
        return false;
    }
    try {
        out.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        SetLastError(kErrorNotEnoughMemory);
        return false;
    }
    return ReadAt(0, out);
}

File OpenExisting(const std::u16string& path, OpenMode mode) {
    bool writing = mode == OpenMode::ExclusiveReadWrite;
    int fd =
        OpenRetrying(posix::NativePath(path).c_str(), (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return File();
    }
    if (!CheckOpened(fd, writing) || !Lock(fd, writing ? LOCK_EX : LOCK_SH))
        return File();
    return File(fd);
}

bool ReadWholeFile(const std::u16string& path, OpenMode mode, FileBytes& out) {
    out.size_ = 0;
    if (mode == OpenMode::ExclusiveReadWrite) {
        SetLastError(EINVAL);
        return false;
    }
    // open, fstat, flock, read, close: the size comes from the type check.
    const int fd = OpenRetrying(posix::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    std::uint64_t size = 0;
    if (!CheckOpened(fd, false, &size) || !Lock(fd, LOCK_SH))
        return false;
    const File file(fd);
    if (!out.Allocate(size))
        return false;
    if (!file.ReadAt(0, std::span<std::uint8_t>(out.data_.get(), out.size_))) {
        out.size_ = 0;
        return false;
    }
    return true;
}

File CreateAnew(const std::u16string& path) {
    if (detail::InjectFailure(testing::Operation::CreateFile))
        return File();
    int fd = OpenRetrying(posix::NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return File();
    }
    // The content goes only once the file is ours alone: a file that another
    // opener holds, or that is marked read-only, is left as it was.
    std::uint64_t size = 0;
    if (!CheckOpened(fd, true, &size) || !Lock(fd, LOCK_EX))
        return File();
    File file(fd);
    // An empty file, a new one among them, needs no cut that could fail.
    if (size != 0 && !file.SetSize(0))
        return File();
    return file;
}

File CreateNew(const std::u16string& path) {
    if (detail::InjectFailure(testing::Operation::CreateFile))
        return File();
    // O_EXCL: nobody else can have had the file before it is ours, so no lock
    // and no cut are needed.
    const int fd = OpenRetrying(posix::NativePath(path).c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return File();
    }
    return File(fd);
}

File CreateTempFile(const std::string& ansiPath) {
    if (detail::InjectFailure(testing::Operation::CreateFile))
        return File();
#ifdef O_TMPFILE
    // Nameless, in the folder the name lies in: the kernel frees it with its
    // last descriptor, however the process ends. O_EXCL: it can never be
    // given a name later either.
    const std::size_t slash = ansiPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : ansiPath.substr(0, slash + 1);
    const int nameless =
        OpenRetrying(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (nameless >= 0)
        return File(nameless);
    // Only a file system (or a kernel, EISDIR) without nameless files gets a
    // named one; any other failure, a missing folder first, is the answer.
    if (errno != EOPNOTSUPP && errno != EISDIR) {
        SetLastErrorFromErrno();
        return File();
    }
#endif
    std::string name = ansiPath; // copied first: nothing may throw once the file exists
    // O_EXCL | O_NOFOLLOW: in a shared temporary folder a name planted in
    // advance (a file, or a link to some victim file) is refused, never followed.
    int fd = OpenRetrying(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return File();
    }
    if (!CheckOpened(fd, true) || !Lock(fd, LOCK_EX)) {
        unlink(name.c_str());
        return File();
    }
    File file(fd);
    file.unlinkOnClose_ = std::move(name);
    return file;
}

} // namespace platform
