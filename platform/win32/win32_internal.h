// Helpers shared by the Windows files of the platform layer (not for other layers).
#pragma once

#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace platform::win32 {

// UTF-16 text as the W functions take it (wchar_t is 16 bits wide on Windows).
inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(text, text + length);
}

inline HANDLE ToHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}
inline std::intptr_t FromHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// The Windows 9x family (top bit of GetVersion set) has only the A functions.
inline bool IsWindows9x() {
    return (GetVersion() & 0x80000000u) != 0;
}

// True for an existing file marked read-only. Windows itself refuses writers
// of such a file, but Wine run by root lets them in; asking first gives the
// Windows result everywhere.
inline bool IsMarkedReadOnly(const std::u16string& path) {
    std::wstring wide = Wide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

} // namespace platform::win32
