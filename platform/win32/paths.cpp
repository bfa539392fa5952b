// Paths and folders on Windows.
#include "platform/fault_injection.h"
#include "platform/win32/win32_internal.h"

namespace platform {

namespace {

DWORD Attributes(const std::u16string& path) {
    if (path.empty())
        return INVALID_FILE_ATTRIBUTES;
    std::wstring wide = win32::Wide(path);
    return GetFileAttributesW(wide.c_str());
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

std::u16string WithoutTrailingSeparators(std::u16string path) {
    while (!path.empty() && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

bool CreateLevel(const std::u16string& path) {
    std::u16string folder = WithoutTrailingSeparators(path);
    if (folder.empty() || FolderExists(folder))
        return true; // the root of a path always exists
    std::u16string parent = WithoutTrailingSeparators(FolderPart(folder));
    // "C:" is its own parent; stop there.
    if (!parent.empty() && parent != folder && !CreateLevel(parent))
        return false;
    std::wstring wide = win32::Wide(folder);
    if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    if (!FolderExists(folder)) {
        ::SetLastError(ERROR_ALREADY_EXISTS); // a file of that name is in the way
        return false;
    }
    return true;
}

} // namespace

std::u16string JoinPath(std::u16string_view folder, std::u16string_view relative) {
    std::u16string joined(folder);
    joined += relative;
    return joined;
}

bool FileExists(const std::u16string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::u16string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolders(const std::u16string& path) {
    if (detail::InjectFailure(testing::Operation::CreateFolder))
        return false;
    if (path.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return CreateLevel(path);
}

bool RemoveEmptyFolder(const std::u16string& path) {
    std::wstring wide = win32::Wide(path);
    return RemoveDirectoryW(wide.c_str()) != 0;
}

bool CopyFileReplacing(const std::u16string& source, const std::u16string& destination) {
    if (detail::InjectFailure(testing::Operation::Copy))
        return false;
    if (win32::IsMarkedReadOnly(destination)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    std::wstring from = win32::Wide(source);
    std::wstring to = win32::Wide(destination);
    WIN32_FILE_ATTRIBUTE_DATA before{};
    const bool existed = GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &before) != 0;
    if (CopyFileW(from.c_str(), to.c_str(), FALSE))
        return true;
    // Windows removes a copy that breaks off; Wine leaves it cut short. A
    // destination the failed copy created or wrote goes; one it never
    // reached (held, read-only, the source itself) stays as it was.
    const DWORD code = GetLastError();
    WIN32_FILE_ATTRIBUTE_DATA after{};
    if (GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &after) &&
        (after.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (!existed || after.nFileSizeLow != before.nFileSizeLow ||
         after.nFileSizeHigh != before.nFileSizeHigh ||
         CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime) != 0))
        DeleteFileW(to.c_str());
    ::SetLastError(code);
    return false;
}

bool DeleteFilePath(const std::u16string& path) {
    std::wstring wide = win32::Wide(path);
    return DeleteFileW(wide.c_str()) != 0;
}

} // namespace platform
