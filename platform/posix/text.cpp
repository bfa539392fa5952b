// The ANSI code page on POSIX: Windows-1251, the code page of language 1049
// that every script is written in. The single-byte table is built once
// through iconv; conversions are table look-ups after that.
#include "platform/platform.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <utility>

namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct AnsiTables {
    std::array<char16_t, 256> toUtf16{};
    // (code unit, byte) for every byte from 0x80 up that has a character, sorted.
    std::vector<std::pair<char16_t, std::uint8_t>> fromUtf16;
};

AnsiTables BuildTables() {
    AnsiTables tables;
    for (unsigned b = 0; b < 0x80; ++b)
        tables.toUtf16[b] = static_cast<char16_t>(b);
    for (unsigned b = 0x80; b < 0x100; ++b)
        tables.toUtf16[b] = kReplacement;

    iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1251");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return tables; // no converter: the upper half stays undefined
    for (unsigned b = 0x80; b < 0x100; ++b) {
        char in[1] = {static_cast<char>(b)};
        unsigned char out[4] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc != static_cast<std::size_t>(-1) && inLeft == 0 && outLeft == 2) {
            auto unit = static_cast<char16_t>(out[0] | (out[1] << 8));
            tables.toUtf16[b] = unit;
            tables.fromUtf16.emplace_back(unit, static_cast<std::uint8_t>(b));
        }
    }
    iconv_close(cd);
    std::sort(tables.fromUtf16.begin(), tables.fromUtf16.end());
    return tables;
}

const AnsiTables& Tables() {
    static const AnsiTables tables = BuildTables();
    return tables;
}

} // namespace

std::u16string AnsiToUtf16(std::string_view bytes) {
    const AnsiTables& tables = Tables();
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(tables.toUtf16[static_cast<std::uint8_t>(c)]);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    const AnsiTables& tables = Tables();
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        auto it = std::lower_bound(tables.fromUtf16.begin(), tables.fromUtf16.end(),
                                   std::pair<char16_t, std::uint8_t>(c, 0));
        if (it != tables.fromUtf16.end() && it->first == c) {
            out.push_back(static_cast<char>(it->second));
            continue;
        }
        // As the Windows conversion does for a single-byte code page, each
        // code unit without a byte becomes one mark: a character beyond the
        // BMP (a surrogate pair) gives two.
        out.push_back('?');
    }
    return out;
}

} // namespace platform
