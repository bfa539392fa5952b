// The temporary folder and process numbers on Windows.
#include "platform/win32/win32_internal.h"

#include <memory>

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

bool ProcessRuns(std::uint32_t processId) {
    if (processId == 0)
        return false;
    struct Closer {
        void operator()(HANDLE handle) const { CloseHandle(handle); }
    };
    const std::unique_ptr<void, Closer> process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process)
        // Denied is a process that runs under another user; no such number
        // gives ERROR_INVALID_PARAMETER.
        return GetLastError() == ERROR_ACCESS_DENIED;
    // A process that has ended stays openable while a handle to it is open.
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

} // namespace platform
