// The first lines of a text resource, decoded for people: what a page shows
// of a raw-data resource whose bytes read as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace skin {

enum class TextEncoding { Utf8, Utf16, Windows1251 };

struct TextPreview {
    // UTF-16 or UTF-8 by a byte-order mark; without one, UTF-8 when the
    // bytes are well-formed UTF-8, else Windows-1251 (the code page of the
    // language 1049 that skins are written in), the same on every system.
    TextEncoding encoding = TextEncoding::Utf8;
    struct Line {
        std::u16string text;
        bool cut = false; // the line goes on past the width asked for
    };
    // Broken where a script's lines break (CR, LF, CR LF); the first NUL ends
    // the text.
    std::vector<Line> lines;
    std::size_t moreLines = 0; // the lines that follow those given
};

// At most `maxLines` lines, each cut to `maxWidth` code units (never inside
// a surrogate pair).
TextPreview PreviewText(std::span<const std::uint8_t> bytes, std::size_t maxLines,
                        std::size_t maxWidth);

// One byte of Windows-1251 as UTF-16 (0x98, which the code page leaves
// unassigned, as U+FFFD).
char16_t Windows1251ToUtf16(std::uint8_t byte);

} // namespace skin
