// The thread's last-error code and the texts of error codes on POSIX.
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

namespace platform {

namespace {

thread_local std::uint32_t gLastError = 0;

// strerror_r comes in two flavours; both are handled by overloading on the result.
[[maybe_unused]] const char* PickMessage(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* PickMessage(const char* result, const char*) {
    return result;
}

const char* OwnCodeText(std::uint32_t code) {
    switch (code) {
    case kErrorInvalidData:
        return "The data is invalid";
    case kErrorSharingViolation:
        return "The file is being used by another process";
    case kErrorFileInvalid:
        return "The file is empty and cannot be mapped";
    default:
        return nullptr;
    }
}

} // namespace

std::uint32_t LastError() {
    return gLastError;
}

void SetLastError(std::uint32_t code) {
    gLastError = code;
}

std::u16string SystemErrorText(std::uint32_t code) {
    std::string text;
    if (const char* own = OwnCodeText(code)) {
        text = own;
    } else if (code <= 0x7FFFFFFF) {
        char buffer[256] = {};
        const char* message =
            PickMessage(strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
        if (message != nullptr)
            text = message;
    }
    if (text.empty()) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "Unknown error %u", static_cast<unsigned>(code));
        text = buffer;
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    // strerror texts are ASCII in the C locale and UTF-8 in others.
    return Utf8ToUtf16(text);
}

} // namespace platform
