// What a page shows about one icon image beyond its bytes, read from the
// image's own header: its kind, its size and its bits per pixel; and the head
// of the one-image .ico file that lets a browser draw a DIB image alone.
#pragma once

#include "skin/unpack/unpacked_model.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace skin {

enum class IconImageKind { Dib, Png, Unknown };

struct IconImageFacts {
    IconImageKind kind = IconImageKind::Unknown;
    // The size the image's own header gives (a DIB's height without its AND
    // mask); 0 when the header cannot be read.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // The group directory's bits per pixel, or when that is 0 the image's
    // own (BITMAPINFOHEADER biBitCount, or the PNG header's depth times its
    // channels); 0 when neither says.
    std::uint16_t bitDepth = 0;
};

IconImageFacts ReadIconImageFacts(const UnpackedIconImage& image);

// ICONDIR and one ICONDIRENTRY from the group's directory entry (a width or
// height of 256 written as 0, as the format has it), the image following.
constexpr std::size_t kOneImageIcoHeadSize = 6 + 16;
std::array<std::uint8_t, kOneImageIcoHeadSize> OneImageIcoHead(const UnpackedIconImage& image);

} // namespace skin
