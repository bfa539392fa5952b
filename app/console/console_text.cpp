#include "app/console/console.h"

namespace app::console {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789abcdef";

void AppendHex(std::u16string& out, char16_t c, int digits) {
    out += u"\\x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(kHexDigits[(c >> shift) & 0xF]);
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

std::u16string TerminalText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // The controls a compiler names with a letter.
        static constexpr std::u16string_view kNamed = u"\a\b\t\n\v\f\r";
        static constexpr std::u16string_view kLetters = u"abtnvfr";
        if (const std::size_t at = kNamed.find(c); at != std::u16string_view::npos) {
            out.push_back(u'\\');
            out.push_back(kLetters[at]);
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            AppendHex(out, c, 2);
        } else if (c == 0x2028 || c == 0x2029) {
            // Line and paragraph separators: some terminals and editors break there.
            out += c == 0x2028 ? u"\\u2028" : u"\\u2029";
        } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out.push_back(c);
            out.push_back(text[++i]);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            // A lone half of a pair has no UTF-8 form: shown by its code unit.
            AppendHex(out, c, 4);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace app::console
