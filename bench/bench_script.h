// The 10 MB script the reader and checker benchmarks read, in the three
// encodings a script comes in.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

constexpr std::size_t kScriptBytes = 10 * 1000 * 1000;

// A script like the generated skins, repeated to about 10 MB of UTF-8 text.
// As the reader sees it, every block repeats the string table and leaves the
// data names without a #define, so the checker finds five things in each
// (string entries past the 15th and not numbered as written, an unresolved
// key). The clean form defines every name and has one string table.
inline std::string ScriptText(bool clean = false) {
    std::string text = "// benchmark script\r\n";
    int k = 0;
    while (text.size() < kScriptBytes) {
        const std::string n = std::to_string(k);
        text += "#define IDI_SKIN_" + n + " " + std::to_string(100 + k) + "\r\n";
        if (clean)
            text += "#define StatusIdr_" + n + " " + std::to_string(100 + k) + "\r\n";
        if (!clean || k == 0)
            text += "STRINGTABLE\r\nBEGIN\r\n    1 \"Online " + n +
                    "\"\r\n    2 \"Away\" // two\r\nEND\r\n";
        text += "IDI_SKIN_" + n + " ICON skin\\icons\\i" + n + ".ico\r\n";
        text += "StatusIdr_" + n + " RCDATA \"skin\\\\data\\\\d" + n + ".bin\"\r\n";
        text += "\r\n";
        ++k;
    }
    return text;
}

inline std::vector<std::uint8_t> Encoded(int encoding, bool clean = false) {
    const std::string text = ScriptText(clean);
    std::vector<std::uint8_t> bytes;
    if (encoding == 0) { // UTF-8 with its marker
        // Sized first: GCC 12 takes an insert after a 3-byte list for an overflow.
        bytes.assign(3 + text.size(), 0);
        bytes[0] = 0xEF;
        bytes[1] = 0xBB;
        bytes[2] = 0xBF;
        std::copy(text.begin(), text.end(), bytes.begin() + 3);
    } else if (encoding == 1) { // UTF-16 LE with its marker
        bytes = {0xFF, 0xFE};
        for (const char c : text) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            bytes.push_back(0);
        }
    } else { // no marker: the ANSI code page
        bytes.assign(text.begin(), text.end());
    }
    return bytes;
}

inline std::string EncodingName(std::int64_t encoding, bool clean = false) {
    return std::string(encoding == 0   ? "UTF-8"
                       : encoding == 1 ? "UTF-16"
                                       : "ANSI") +
           (clean ? ", clean" : "");
}

} // namespace bench
