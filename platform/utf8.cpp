// UTF-16 <-> UTF-8 without any system call. Ill-formed input of either kind
// (unpaired surrogates, stray or truncated UTF-8 sequences, overlong forms,
// encoded surrogates, values past U+10FFFF) becomes U+FFFD, one per maximal
// ill-formed subpart, so that no input can be lost silently or crash a caller.
#include "platform/platform.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    }
}

// The number of continuation bytes that a lead byte announces, and the range
// its first continuation byte must fall in (this excludes overlong forms,
// encoded surrogates and values past U+10FFFF). Zero for no valid lead byte.
struct LeadInfo {
    int continuations;
    std::uint8_t low;
    std::uint8_t high;
};

LeadInfo Lead(std::uint8_t b) {
    if (b >= 0xC2 && b <= 0xDF)
        return {1, 0x80, 0xBF};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF};
    if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF)
        return {2, 0x80, 0xBF};
    if (b == 0xED)
        return {2, 0x80, 0x9F};
    if (b == 0xF0)
        return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {3, 0x80, 0xBF};
    if (b == 0xF4)
        return {3, 0x80, 0x8F};
    return {0, 0, 0};
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

void AppendDecimal(std::u16string& out, std::uint64_t n) {
    char16_t digits[20];
    std::size_t start = std::size(digits);
    do {
        digits[--start] = static_cast<char16_t>(u'0' + n % 10);
        n /= 10;
    } while (n != 0);
    out.append(digits + start, std::size(digits) - start);
}

std::u16string Decimal(std::uint64_t n) {
    std::u16string out;
    AppendDecimal(out, n);
    return out;
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        LeadInfo lead = Lead(b);
        if (lead.continuations == 0) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        char32_t cp = b & (0x3F >> lead.continuations);
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < lead.continuations; ++k, ++j) {
            if (j >= bytes.size()) {
                ok = false;
                break;
            }
            auto cb = static_cast<std::uint8_t>(bytes[j]);
            std::uint8_t low = k == 0 ? lead.low : 0x80;
            std::uint8_t high = k == 0 ? lead.high : 0xBF;
            if (cb < low || cb > high) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cb & 0x3F);
        }
        // A broken sequence is replaced as a whole up to the first byte that
        // does not belong to it; that byte starts the next round.
        AppendUtf16(out, ok ? cp : kReplacement);
        i = j;
    }
    return out;
}

} // namespace platform
