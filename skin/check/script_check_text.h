// Wording the checker's files share: words and paths in quotes, numbers and
// spans of lines as its findings write them.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace skin::check_text {

constexpr char16_t kFilesFolder[] = u"Files\\";
// A free word in a text is shown up to this many characters, then "...";
// a path is always shown whole.
constexpr std::size_t kQuotedLength = 40;

// A free word in quotes, cut after kQuotedLength characters.
inline std::u16string Quoted(std::u16string_view text) {
    std::u16string out = u"\"";
    if (text.size() <= kQuotedLength) {
        out += text;
    } else {
        out += text.substr(0, kQuotedLength);
        out += u"...";
    }
    return out + u'"';
}

// A path in quotes, whole.
inline std::u16string QuotedPath(std::u16string_view path) {
    return u"\"" + std::u16string(path) + u"\"";
}

// Words a run lists before "...".
constexpr std::size_t kRunWords = 3;

inline std::u16string Dec(std::uint64_t n) {
    return platform::Decimal(n);
}

inline std::u16string Lines(std::size_t first, std::size_t last) {
    return first == last ? u"line " + Dec(first) : u"lines " + Dec(first) + u"-" + Dec(last);
}

// A line's code as it stands, cut the same way: it may hold quotes of its own.
inline std::u16string AsWritten(std::u16string_view code) {
    if (code.size() <= kQuotedLength)
        return std::u16string(code);
    return std::u16string(code.substr(0, kQuotedLength)) + u"...";
}

} // namespace skin::check_text
