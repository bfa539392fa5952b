#include "skin/unpack/icon_image_facts.h"

#include "acWorkRes/byte_reader.h"

#include <algorithm>
#include <limits>

namespace skin {

namespace {

// The PNG signature (8), then IHDR's length and type (8), width and height
// (4 each, big-endian), bit depth and colour type.
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint64_t kPngWidth = 16;
constexpr std::uint64_t kPngDepth = 24;
constexpr std::uint64_t kPngColorType = 25;
// BITMAPINFOHEADER: biSize, biWidth, biHeight (the XOR and AND masks
// together, so twice the image's), biPlanes, biBitCount.
constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
constexpr std::uint64_t kDibWidth = 4;
constexpr std::uint64_t kDibHeight = 8;
constexpr std::uint64_t kDibBitCount = 14;

std::uint32_t BigEndianU32(const acWorkRes::ByteReader& r, std::uint64_t at) {
    const auto v = r.U32(at).value_or(0);
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

std::uint16_t PngChannels(std::uint8_t colorType) {
    switch (colorType) {
    case 0: // grey
    case 3: // palette
        return 1;
    case 2: // RGB
        return 3;
    case 4: // grey and alpha
        return 2;
    case 6: // RGBA
        return 4;
    default:
        return 0;
    }
}

std::uint8_t DirectoryDimension(std::uint32_t pixels) {
    return pixels >= 256 ? 0 : static_cast<std::uint8_t>(pixels);
}

} // namespace

IconImageFacts ReadIconImageFacts(const UnpackedIconImage& image) {
    IconImageFacts facts;
    const acWorkRes::ByteReader r(image.bytes);
    std::uint16_t ownDepth = 0;
    if (image.bytes.size() >= std::size(kPngSignature) &&
        std::equal(std::begin(kPngSignature), std::end(kPngSignature), image.bytes.begin())) {
        facts.kind = IconImageKind::Png;
        if (r.Has(kPngWidth, 8)) {
            facts.width = BigEndianU32(r, kPngWidth);
            facts.height = BigEndianU32(r, kPngWidth + 4);
        }
        const auto depth = r.U8(kPngDepth);
        const auto colorType = r.U8(kPngColorType);
        if (depth && colorType)
            ownDepth = static_cast<std::uint16_t>(*depth * PngChannels(*colorType));
    } else if (r.U32(0).value_or(0) >= kBitmapInfoHeaderSize) {
        facts.kind = IconImageKind::Dib;
        // biWidth and biHeight are signed; a negative one (top-down) gives
        // its magnitude.
        const auto width = static_cast<std::int32_t>(r.U32(kDibWidth).value_or(0));
        const auto height = static_cast<std::int32_t>(r.U32(kDibHeight).value_or(0));
        facts.width =
            width < 0 ? 0u - static_cast<std::uint32_t>(width) : static_cast<std::uint32_t>(width);
        facts.height = (height < 0 ? 0u - static_cast<std::uint32_t>(height)
                                   : static_cast<std::uint32_t>(height)) /
                       2;
        ownDepth = r.U16(kDibBitCount).value_or(0);
    }
    facts.bitDepth = image.bitCount != 0 ? image.bitCount : ownDepth;
    return facts;
}

std::array<std::uint8_t, kOneImageIcoHeadSize> OneImageIcoHead(const UnpackedIconImage& image) {
    std::array<std::uint8_t, kOneImageIcoHeadSize> h{};
    acWorkRes::ByteWriter w(h);
    // An image of 4 GB or more cannot be in a module; its size saturates.
    const auto size = static_cast<std::uint32_t>(
        std::min<std::size_t>(image.bytes.size(), std::numeric_limits<std::uint32_t>::max()));
    // The fields all lie inside the fixed head, so no write can fail.
    w.PutU16(2, 1); // idType: icon
    w.PutU16(4, 1); // idCount
    h[6] = DirectoryDimension(image.width);
    h[7] = DirectoryDimension(image.height);
    h[8] = image.colorCount;
    w.PutU16(10, 1); // wPlanes
    w.PutU16(12, image.bitCount);
    w.PutU32(14, size);
    w.PutU32(18, static_cast<std::uint32_t>(kOneImageIcoHeadSize));
    return h;
}

} // namespace skin
