// A DIB icon image as a PNG file, for a page that draws it: the same picture
// (its colours, and its transparency from the alpha channel or the AND mask
// as the icon's own rules give it) in far fewer bytes than the one-image
// .ico that holds the DIB as it is.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace skin {

// The PNG file (8-bit RGBA, one IDAT compressed with fixed-code deflate) of
// a DIB icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask. A
// 32-bit image with any alpha takes its transparency from its alpha and
// ignores the mask; every other image is opaque where its mask bit is 0.
// Empty when the DIB is none this reads: compressed, a bit count other than
// 1, 4, 8, 24 or 32, a side over 1024 pixels, a palette index past the
// palette, or bytes short of the bitmaps.
std::vector<std::uint8_t> DibIconToPng(std::span<const std::uint8_t> dib);

// The zlib stream (RFC 1950) of `bytes`: one final deflate block with the
// fixed codes (RFC 1951), matches found greedily over the last 32 KB.
std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> bytes);

} // namespace skin
