// Paths and folders on POSIX.
#include "platform/fault_injection.h"
#include "platform/posix/posix_internal.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool StatPath(const std::u16string& path, struct stat& st) {
    return !path.empty() && stat(posix::NativePath(path).c_str(), &st) == 0;
}

} // namespace

std::u16string JoinPath(std::u16string_view folder, std::u16string_view relative) {
    // Scripts write Windows-style relative paths ("icons\a.ico"); the system
    // and the log both see native ones.
    std::u16string joined(folder);
    joined.reserve(folder.size() + relative.size());
    for (char16_t c : relative)
        joined.push_back(c == u'\\' ? u'/' : c);
    return joined;
}

bool FileExists(const std::u16string& path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::u16string& path) {
    struct stat st {};
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool CreateFolders(const std::u16string& path) {
    if (detail::InjectFailure(testing::Operation::CreateFolder))
        return false;
    if (path.empty()) {
        SetLastError(ENOENT);
        return false;
    }
    std::string native = posix::NativePath(path);
    // Each level from the top down; a level that exists already is fine.
    for (std::size_t pos = 1; pos <= native.size(); ++pos) {
        if (pos != native.size() && native[pos] != '/')
            continue;
        if (native[pos - 1] == '/')
            continue;
        std::string level = native.substr(0, pos);
        if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
            posix::SetLastErrorFromErrno();
            return false;
        }
    }
    struct stat st {};
    if (stat(native.c_str(), &st) != 0) {
        posix::SetLastErrorFromErrno();
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ENOTDIR);
        return false;
    }
    return true;
}

bool RemoveEmptyFolder(const std::u16string& path) {
    if (rmdir(posix::NativePath(path).c_str()) != 0) {
        posix::SetLastErrorFromErrno();
        return false;
    }
    return true;
}

bool DeleteFilePath(const std::u16string& path) {
    struct stat st {};
    std::string native = posix::NativePath(path);
    if (lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(EISDIR);
        return false;
    }
    if (unlink(native.c_str()) != 0) {
        posix::SetLastErrorFromErrno();
        return false;
    }
    return true;
}

} // namespace platform
