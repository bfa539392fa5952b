// Renaming and removing whole folders on POSIX.
#include "platform/folder_list.h"
#include "platform/posix/posix_internal.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool RenameFolder(const std::u16string& from, const std::u16string& to) {
    const std::string source = posix::NativePath(from);
    const std::string target = posix::NativePath(to);
#ifdef RENAME_NOREPLACE
    // One call that refuses to replace: nothing can slip in between a check
    // and the rename.
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        posix::SetLastErrorFromErrno();
        return false;
    }
#endif
    // A file system without that flag: rename(2) would replace an empty folder.
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0) {
        SetLastError(EEXIST);
        return false;
    }
    if (rename(source.c_str(), target.c_str()) != 0) {
        posix::SetLastErrorFromErrno();
        return false;
    }
    return true;
}

namespace {

thread_local int gRemoveError = 0;

int RemoveOne(const char* path, const struct stat*, int type, struct FTW*) {
    const int result = type == FTW_DP ? rmdir(path) : unlink(path);
    if (result != 0 && gRemoveError == 0)
        gRemoveError = errno;
    return 0; // go on: remove what can be removed
}

} // namespace

bool RemoveTree(const std::u16string& path) {
    gRemoveError = 0;
    if (nftw(posix::NativePath(path).c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS) != 0) {
        posix::SetLastErrorFromErrno();
        return false;
    }
    if (gRemoveError != 0) {
        SetLastError(static_cast<std::uint32_t>(gRemoveError));
        return false;
    }
    return true;
}

} // namespace platform
