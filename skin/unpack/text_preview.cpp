#include "skin/unpack/text_preview.h"

#include "skin/script/script_reader.h"

#include <algorithm>
#include <array>

namespace skin {

namespace {

// Windows-1251 from 0x80 to 0xBF; from 0xC0 on the letters run in
// alphabetical order from U+0410.
constexpr std::array<char16_t, 64> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> marker) {
    return bytes.size() >= marker.size() && std::equal(marker.begin(), marker.end(), bytes.begin());
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

char16_t Windows1251ToUtf16(std::uint8_t byte) {
    if (byte < 0x80)
        return byte;
    if (byte < 0xC0)
        return kWindows1251High[byte - 0x80u];
    return static_cast<char16_t>(0x0410 + (byte - 0xC0));
}

TextPreview PreviewText(std::span<const std::uint8_t> bytes, std::size_t maxLines,
                        std::size_t maxWidth) {
    TextPreview preview;
    std::u16string text;
    if (StartsWith(bytes, {0xFF, 0xFE}) || StartsWith(bytes, {0xFE, 0xFF})) {
        preview.encoding = TextEncoding::Utf16;
        text = DecodeScriptText(bytes);
    } else if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        text = DecodeScriptText(bytes);
    } else if (IsWellFormedUtf8(bytes)) {
        // The script decoder reads UTF-8 by its marker.
        std::vector<std::uint8_t> marked = {0xEF, 0xBB, 0xBF};
        marked.insert(marked.end(), bytes.begin(), bytes.end());
        text = DecodeScriptText(marked);
    } else {
        preview.encoding = TextEncoding::Windows1251;
        const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        text.reserve(static_cast<std::size_t>(end - bytes.begin()));
        std::transform(bytes.begin(), end, std::back_inserter(text), Windows1251ToUtf16);
    }
    std::vector<std::u16string> lines = SplitScriptLines(text);
    if (lines.size() > maxLines)
        preview.moreLines = lines.size() - maxLines;
    lines.resize(std::min(lines.size(), maxLines));
    for (std::u16string& line : lines) {
        TextPreview::Line out;
        if (line.size() > maxWidth) {
            std::size_t width = maxWidth;
            if (width > 0 && IsHighSurrogate(line[width - 1]))
                --width;
            line.resize(width);
            out.cut = true;
        }
        out.text = std::move(line);
        preview.lines.push_back(std::move(out));
    }
    return preview;
}

} // namespace skin
