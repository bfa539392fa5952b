// The BITMAPINFOHEADER an icon image starts with, for the sheet's tests:
// `height` is the picture's, stored doubled (the XOR and the AND bitmap).
#pragma once

#include <cstdint>
#include <vector>

namespace sheet_test {

inline std::vector<std::uint8_t> DibHeader(std::uint32_t width, std::uint32_t height,
                                           unsigned bits) {
    std::vector<std::uint8_t> dib(40);
    const auto put32 = [&dib](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            dib[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    put32(0, 40);
    put32(4, width);
    put32(8, 2 * height);
    dib[12] = 1;
    dib[14] = static_cast<std::uint8_t>(bits);
    return dib;
}

} // namespace sheet_test
