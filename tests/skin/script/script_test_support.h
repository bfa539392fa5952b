// Helpers for the script reader tests: a script text in each encoding, and a
// readable rendering of what lines ask for.
#pragma once

#include "skin/script/script_reader.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace skin::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Utf16Le(std::u16string_view text, bool marker = true) {
    const std::size_t start = marker ? 2 : 0;
    Bytes bytes(start + 2 * text.size());
    if (marker) {
        bytes[0] = 0xFF;
        bytes[1] = 0xFE;
    }
    std::uint8_t* out = bytes.data() + start;
    for (const char16_t c : text) {
        *out++ = static_cast<std::uint8_t>(c & 0xFF);
        *out++ = static_cast<std::uint8_t>(c >> 8);
    }
    return bytes;
}

inline Bytes Utf16Be(std::u16string_view text) {
    Bytes bytes{0xFE, 0xFF};
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    }
    return bytes;
}

// UTF-8 with its marker; surrogate pairs become four-byte sequences.
inline Bytes Utf8(std::u16string_view text, bool marker = true) {
    Bytes bytes;
    if (marker)
        bytes = {0xEF, 0xBB, 0xBF};
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
        }
        if (c < 0x80) {
            bytes.push_back(static_cast<std::uint8_t>(c));
        } else if (c < 0x800) {
            bytes.push_back(static_cast<std::uint8_t>(0xC0 | (c >> 6)));
            bytes.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            bytes.push_back(static_cast<std::uint8_t>(0xE0 | (c >> 12)));
            bytes.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
            bytes.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
        } else {
            bytes.push_back(static_cast<std::uint8_t>(0xF0 | (c >> 18)));
            bytes.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)));
            bytes.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
            bytes.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
        }
    }
    return bytes;
}

inline Bytes Raw(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// ASCII as is, everything else as \uXXXX, so failures print readably.
inline std::string Show(std::u16string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (const char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            shown.push_back(static_cast<char>(c));
        } else {
            shown += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                shown.push_back(kHex[(c >> shift) & 0xF]);
        }
    }
    return shown;
}

inline std::vector<std::string> Show(const std::vector<std::u16string>& lines) {
    std::vector<std::string> shown;
    for (const auto& line : lines)
        shown.push_back(Show(line));
    return shown;
}

// Concatenation without operator+ on temporaries, which GCC 12 misreads at -O3
// (a false -Wrestrict).
inline std::string Join(std::initializer_list<std::string_view> parts) {
    std::string joined;
    for (const std::string_view part : parts)
        joined.append(part);
    return joined;
}

// One request as text: "string:Hello", "icon:IDI_X=a.ico", "rcdata:5=d.bin",
// "define:A=5"; lines that ask for nothing give "".
inline std::string Show(const LineRequest& request) {
    switch (request.kind) {
    case RequestKind::Nothing:
        return "";
    case RequestKind::StringEntry:
        return Join({"string:", Show(request.value)});
    case RequestKind::RcData:
        return Join({"rcdata:", Show(request.keyToken), "=", Show(request.value)});
    case RequestKind::Icon:
        return Join({"icon:", Show(request.keyToken), "=", Show(request.value)});
    case RequestKind::Define:
        return Join(
            {"define:", Show(request.define.Name), "=", std::to_string(request.define.Value)});
    }
    return "?";
}

inline std::vector<std::string> Show(const std::vector<LineRequest>& requests) {
    std::vector<std::string> shown;
    for (const auto& request : requests)
        shown.push_back(Show(request));
    return shown;
}

} // namespace skin::test
