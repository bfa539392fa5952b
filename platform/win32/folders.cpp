// Renaming and removing whole folders on Windows.
#include "platform/folder_list.h"
#include "platform/win32/win32_internal.h"

namespace platform {

bool RenameFolder(const std::u16string& from, const std::u16string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
    return MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(), 0) != 0;
}

namespace {

// Removes what lies inside `folder` (ending in "\"), then nothing else;
// keeps the first failure's code in `error`.
void RemoveInside(const std::wstring& folder, DWORD& error) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (error == 0 && GetLastError() != ERROR_FILE_NOT_FOUND)
            error = GetLastError();
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + name;
        const DWORD attributes = found.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        bool removed = false;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or link to a folder goes itself; its target stays.
            if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveInside(path + L"\\", error);
            removed = RemoveDirectoryW(path.c_str()) != 0;
        } else {
            removed = DeleteFileW(path.c_str()) != 0;
        }
        if (!removed && error == 0)
            error = GetLastError();
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

bool RemoveTree(const std::u16string& path) {
    std::wstring folder = win32::Wide(path);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    DWORD error = 0;
    RemoveInside(folder + L"\\", error);
    if (!RemoveDirectoryW(folder.c_str()) && error == 0)
        error = GetLastError();
    if (error != 0) {
        ::SetLastError(error);
        return false;
    }
    return true;
}

} // namespace platform
