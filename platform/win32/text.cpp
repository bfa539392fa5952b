// The ANSI code page on Windows: the system's own conversions with CP_ACP.
#include "platform/win32/win32_internal.h"

#include <algorithm>

namespace platform {

namespace {

// Longer texts are converted in pieces that the int-sized counts can take.
// The ANSI code pages of language 1049 and of Western languages have one
// byte per character, so a piece never ends inside a character there.
constexpr std::size_t kPiece = std::size_t{1} << 28;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

std::u16string AnsiToUtf16(std::string_view bytes) {
    std::u16string out;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t length = std::min(bytes.size() - start, kPiece);
        const char* piece = bytes.data() + start;
        int count = static_cast<int>(length);
        int needed = MultiByteToWideChar(CP_ACP, 0, piece, count, nullptr, 0);
        if (needed > 0) {
            std::wstring wide(static_cast<std::size_t>(needed), L'\0');
            int written = MultiByteToWideChar(CP_ACP, 0, piece, count, wide.data(), needed);
            out.append(wide.begin(), wide.begin() + std::max(written, 0));
        }
        start += length;
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t length = std::min(text.size() - start, kPiece);
        if (start + length < text.size() && IsHighSurrogate(text[start + length - 1]))
            --length; // keep a surrogate pair in one piece
        std::wstring wide = win32::Wide(text.substr(start, length));
        int count = static_cast<int>(wide.size());
        int needed =
            WideCharToMultiByte(CP_ACP, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
        if (needed > 0) {
            std::size_t at = out.size();
            out.resize(at + static_cast<std::size_t>(needed));
            int written = WideCharToMultiByte(CP_ACP, 0, wide.data(), count, out.data() + at,
                                              needed, nullptr, nullptr);
            out.resize(at + static_cast<std::size_t>(std::max(written, 0)));
        }
        start += length;
    }
    return out;
}

} // namespace platform
