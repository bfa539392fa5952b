// The thread's last-error code and the system's texts for error codes on Windows.
#include "platform/win32/win32_internal.h"

#include <cstdio>

namespace platform {

std::uint32_t LastError() {
    return ::GetLastError();
}

void SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

std::u16string SystemErrorText(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length != 0 && buffer != nullptr)
        text = win32::FromWide(buffer, length);
    if (buffer != nullptr)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' '))
        text.pop_back();
    if (text.empty()) {
        char fallback[48];
        std::snprintf(fallback, sizeof fallback, "Unknown error %lu",
                      static_cast<unsigned long>(code));
        text = Utf8ToUtf16(fallback);
    }
    return text;
}

} // namespace platform
