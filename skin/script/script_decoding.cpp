// A script file's bytes to UTF-16 text, and the text to lines.
//
// The first bytes pick the encoding: FF FE is UTF-16 little-endian, FE FF
// big-endian, EF BB BF UTF-8; anything else (a file shorter than a marker
// included) is text in the ANSI code page. A NUL ends the text whatever the
// encoding, so a marker-less UTF-16 file reads as its first character only.
#include "skin/script/script_reader.h"
#include "skin/script/script_vocabulary.h"

#include "platform/platform.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace skin {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> marker) {
    return bytes.size() >= marker.size() && std::equal(marker.begin(), marker.end(), bytes.begin());
}

// Code units two bytes at a time; an odd final byte is ignored.
std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
    std::u16string text(bytes.size() / 2, u'\0');
    std::size_t length = 0;
    for (; length < text.size(); ++length) {
        const unsigned first = bytes[2 * length];
        const unsigned second = bytes[2 * length + 1];
        const unsigned unit = bigEndian ? (first << 8) | second : (second << 8) | first;
        if (unit == 0)
            break;
        text[length] = static_cast<char16_t>(unit);
    }
    text.resize(length);
    return text;
}

// Well-formed UTF-8 per the Unicode standard's table: no overlong forms, no
// surrogates, nothing above U+10FFFF. Each maximal ill-formed part (a bad lead
// byte, or a lead byte with the continuation bytes that were still valid)
// becomes one U+FFFD, so a damaged script still reads around the damage.
// `brokenAt`, when given, receives the text position of each such U+FFFD.
std::u16string DecodeUtf8(std::span<const std::uint8_t> bytes, std::vector<std::size_t>* brokenAt) {
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t lead = bytes[i];
        if (lead == 0)
            break;
        if (lead < 0x80) {
            text.push_back(lead);
            ++i;
            continue;
        }
        std::size_t trail = 0;
        std::uint8_t low = 0x80; // the valid range of the first continuation byte
        std::uint8_t high = 0xBF;
        std::uint32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            code = lead & 0x0Fu;
            if (lead == 0xE0)
                low = 0xA0; // overlong below U+0800
            else if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            code = lead & 0x07u;
            if (lead == 0xF0)
                low = 0x90; // overlong below U+10000
            else if (lead == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            if (brokenAt != nullptr)
                brokenAt->push_back(text.size());
            text.push_back(kReplacement);
            ++i;
            continue;
        }
        std::size_t next = i + 1;
        bool complete = true;
        for (std::size_t k = 0; k < trail; ++k, ++next) {
            if (next >= bytes.size() || bytes[next] < low || bytes[next] > high) {
                complete = false;
                break;
            }
            code = (code << 6) | (bytes[next] & 0x3Fu);
            low = 0x80;
            high = 0xBF;
        }
        i = next;
        if (!complete) {
            if (brokenAt != nullptr)
                brokenAt->push_back(text.size());
            text.push_back(kReplacement);
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
    }
    return text;
}

// In every ANSI code page a zero byte is NUL and never part of a wider
// character, so the text can be cut before it is converted.
std::u16string DecodeAnsi(std::span<const std::uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const std::string_view ansi(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<std::size_t>(end - bytes.begin()));
    std::u16string text = platform::AnsiToUtf16(ansi);
    text.erase(std::find(text.begin(), text.end(), u'\0'), text.end());
    return text;
}

std::u16string DecodeText(std::span<const std::uint8_t> bytes, std::vector<std::size_t>* brokenAt) {
    if (StartsWith(bytes, {0xFF, 0xFE}))
        return DecodeUtf16(bytes.subspan(2), false);
    if (StartsWith(bytes, {0xFE, 0xFF}))
        return DecodeUtf16(bytes.subspan(2), true);
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF}))
        return DecodeUtf8(bytes.subspan(3), brokenAt);
    return DecodeAnsi(bytes);
}

std::vector<std::u16string> SplitLines(std::u16string_view text,
                                       std::vector<std::size_t>* lineStarts) {
    text = text.substr(0, text.find(u'\0'));
    std::vector<std::u16string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !vocabulary::IsLineBreak(text[end]))
            ++end;
        if (lineStarts != nullptr)
            lineStarts->push_back(pos);
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end;
        // One of each, in this order: CR LF is one break, LF CR two.
        for (const char16_t breakUnit : vocabulary::kLineBreaks) {
            if (pos < text.size() && text[pos] == breakUnit)
                ++pos;
        }
    }
    return lines;
}

} // namespace

std::u16string DecodeScriptText(std::span<const std::uint8_t> bytes) {
    return DecodeText(bytes, nullptr);
}

std::u16string DecodeScriptText(std::span<const std::uint8_t> bytes,
                                std::vector<std::size_t>& brokenAt) {
    return DecodeText(bytes, &brokenAt);
}

bool IsWellFormedUtf8(std::span<const std::uint8_t> bytes) {
    std::vector<std::size_t> broken;
    DecodeUtf8(bytes, &broken);
    return broken.empty();
}

std::vector<std::u16string> SplitScriptLines(std::u16string_view text) {
    return SplitLines(text, nullptr);
}

std::vector<std::u16string> SplitScriptLines(std::u16string_view text,
                                             std::vector<std::size_t>& lineStarts) {
    return SplitLines(text, &lineStarts);
}

std::vector<std::u16string> LoadScriptLines(std::span<const std::uint8_t> bytes) {
    return SplitScriptLines(DecodeScriptText(bytes));
}

} // namespace skin
