// Copying a file on POSIX with the outcome CopyFileW gives on Windows: the
// destination is replaced, unless it is marked read-only or held by another
// opener; the destination keeps the source's permissions and times; a copy
// that breaks off leaves no half-written destination behind.
#include "platform/fault_injection.h"
#include "platform/posix/posix_internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace platform {

namespace {

// Closes a descriptor on every path.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Closes now and reports the result of close.
    int CloseNow() {
        int rc = close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

bool Fail(std::uint32_t code) {
    SetLastError(code);
    return false;
}

bool FailErrno() {
    posix::SetLastErrorFromErrno();
    return false;
}

bool LockNonBlocking(int fd, int operation) {
    while (flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return Fail(errno == EWOULDBLOCK ? kErrorSharingViolation
                                         : static_cast<std::uint32_t>(errno));
    }
    return true;
}

bool CopyContent(int from, int to) {
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        ssize_t n = read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FailErrno();
        if (n == 0)
            return true;
        ssize_t done = 0;
        while (done < n) {
            ssize_t w = write(to, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return FailErrno();
            if (w == 0)
                return Fail(ENOSPC);
            done += w;
        }
    }
}

} // namespace

bool CopyFileReplacing(const std::u16string& source, const std::u16string& destination) {
    if (detail::InjectFailure(testing::Operation::Copy))
        return false;
    std::string from = posix::NativePath(source);
    std::string to = posix::NativePath(destination);

    // Non-blocking opens: a FIFO named as source or destination is refused below
    // instead of waiting for a peer. Reads and writes of regular files never block.
    Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.ok())
        return FailErrno();
    struct stat inStat {};
    if (fstat(in.get(), &inStat) != 0)
        return FailErrno();
    if (S_ISDIR(inStat.st_mode))
        return Fail(EISDIR);
    if (!S_ISREG(inStat.st_mode))
        return Fail(EINVAL);
    // A source under an exclusive update of this layer is in use, as on Windows.
    if (!LockNonBlocking(in.get(), LOCK_SH))
        return false;

    struct stat outStat {};
    if (stat(to.c_str(), &outStat) == 0) {
        if (S_ISDIR(outStat.st_mode))
            return Fail(EISDIR);
        if (!S_ISREG(outStat.st_mode))
            return Fail(EINVAL);
        if (outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino)
            return Fail(kErrorSharingViolation);
        if (!posix::HasWriteBit(outStat.st_mode))
            return Fail(kErrorAccessDenied);
    }

    Descriptor out(open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!out.ok())
        return FailErrno();
    // Nothing of an existing destination is touched before it is ours alone.
    if (!LockNonBlocking(out.get(), LOCK_EX))
        return false;
    struct stat openedStat {};
    if (fstat(out.get(), &openedStat) != 0)
        return FailErrno();
    if (!S_ISREG(openedStat.st_mode))
        return Fail(EINVAL);
    if (!posix::HasWriteBit(openedStat.st_mode))
        return Fail(kErrorAccessDenied);

    // The source's permissions, a read-only mark included, come last, as CopyFileW
    // copies the attributes.
    bool copied = ftruncate(out.get(), 0) == 0 ? CopyContent(in.get(), out.get()) : FailErrno();
    if (copied && fchmod(out.get(), inStat.st_mode & 07777) != 0 && errno != EPERM)
        copied = FailErrno();
    if (!copied) {
        // Keep the error of the failed step, not that of the clean-up.
        std::uint32_t code = LastError();
        unlink(to.c_str());
        return Fail(code);
    }
    struct timespec times[2] = {inStat.st_atim, inStat.st_mtim};
    futimens(out.get(), times); // the times are a courtesy; the copy stands without them
    if (out.CloseNow() != 0) {
        std::uint32_t code = errno > 0 ? static_cast<std::uint32_t>(errno) : EIO;
        unlink(to.c_str());
        return Fail(code);
    }
    return true;
}

} // namespace platform
