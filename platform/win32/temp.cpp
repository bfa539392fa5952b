// The temporary folder and the process number on Windows.
#include "platform/win32/win32_internal.h"

namespace platform {

std::string TempFolderAnsi() {
    // A buffer of 260 characters is offered; a longer folder counts as none.
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length > MAX_PATH)
        return {};
    return std::string(buffer, length);
}

char TempNameSeparator() {
    return '\\';
}

std::u16string TempNameText(std::string_view name) {
    return AnsiToUtf16(name);
}

std::uint32_t ProcessId() {
    return GetCurrentProcessId();
}

} // namespace platform
