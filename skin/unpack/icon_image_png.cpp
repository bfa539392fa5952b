#include "skin/unpack/icon_image_png.h"

#include "acWorkRes/byte_reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace skin {

namespace {

// ---------------------------------------------------------------- deflate

// Bits go out least significant first; Huffman codes are defined most
// significant first, so they are written reversed.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Bits(std::uint32_t value, unsigned count) {
        acc_ |= std::uint64_t{value} << held_;
        held_ += count;
        while (held_ >= 8) {
            out_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ >>= 8;
            held_ -= 8;
        }
    }
    void Flush() {
        if (held_ != 0)
            out_.push_back(static_cast<std::uint8_t>(acc_));
        acc_ = 0;
        held_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    unsigned held_ = 0;
};

// A Huffman code as it goes out: its bits reversed, with its length.
struct OutCode {
    std::uint16_t bits = 0;
    std::uint8_t length = 0;
};

constexpr OutCode Reversed(std::uint32_t code, unsigned length) {
    std::uint32_t reversed = 0;
    for (unsigned i = 0; i < length; ++i)
        reversed |= ((code >> i) & 1u) << (length - 1 - i);
    return {static_cast<std::uint16_t>(reversed), static_cast<std::uint8_t>(length)};
}

// The fixed literal/length code (RFC 1951, 3.2.6), symbol by symbol.
constexpr auto kLiteralCodes = [] {
    std::array<OutCode, 288> codes{};
    for (unsigned symbol = 0; symbol < codes.size(); ++symbol) {
        if (symbol < 144)
            codes[symbol] = Reversed(0x30 + symbol, 8);
        else if (symbol < 256)
            codes[symbol] = Reversed(0x190 + (symbol - 144), 9);
        else if (symbol < 280)
            codes[symbol] = Reversed(symbol - 256, 7);
        else
            codes[symbol] = Reversed(0xC0 + (symbol - 280), 8);
    }
    return codes;
}();

// The fixed distance code: five bits each.
constexpr auto kDistanceCodes = [] {
    std::array<OutCode, 30> codes{};
    for (unsigned d = 0; d < codes.size(); ++d)
        codes[d] = Reversed(d, 5);
    return codes;
}();

void PutLiteralOrLength(BitWriter& w, unsigned symbol) {
    w.Bits(kLiteralCodes[symbol].bits, kLiteralCodes[symbol].length);
}

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The last entry of `bases` not above `value`.
template <std::size_t N>
std::size_t CodeOf(const std::array<std::uint16_t, N>& bases, std::uint32_t value) {
    return static_cast<std::size_t>(std::upper_bound(bases.begin(), bases.end(), value) -
                                    bases.begin()) -
           1;
}

void PutMatch(BitWriter& w, std::uint32_t length, std::uint32_t distance) {
    const std::size_t l = CodeOf(kLengthBase, length);
    PutLiteralOrLength(w, static_cast<unsigned>(257 + l));
    w.Bits(length - kLengthBase[l], kLengthExtra[l]);
    const std::size_t d = CodeOf(kDistanceBase, distance);
    w.Bits(kDistanceCodes[d].bits, 5);
    w.Bits(distance - kDistanceBase[d], kDistanceExtra[d]);
}

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 258;
constexpr unsigned kHashBits = 15;
constexpr std::size_t kMaxChain = 64; // positions tried per match: speed over the last bytes

std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
    // 5552 bytes is the most that can be summed before `b` could pass 2^32.
    constexpr std::size_t kRun = 5552;
    std::uint32_t a = 1, b = 0;
    for (std::size_t start = 0; start < bytes.size(); start += kRun) {
        const std::size_t end = std::min(bytes.size(), start + kRun);
        for (std::size_t i = start; i < end; ++i) {
            a += bytes[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return (b << 16) | a;
}

// ---------------------------------------------------------------- PNG

// Eight bytes a step ("slicing by eight"): table k holds the CRC of a byte
// followed by k zero bytes.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    static const auto kTables = [] {
        std::array<std::array<std::uint32_t, 256>, 8> tables{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            tables[0][n] = c;
        }
        for (std::size_t k = 1; k < tables.size(); ++k)
            for (std::uint32_t n = 0; n < 256; ++n)
                tables[k][n] = tables[0][tables[k - 1][n] & 0xFF] ^ (tables[k - 1][n] >> 8);
        return tables;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const std::uint32_t low =
            c ^ (std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 |
                 std::uint32_t{bytes[i + 2]} << 16 | std::uint32_t{bytes[i + 3]} << 24);
        c = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
            kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][bytes[i + 4]] ^
            kTables[2][bytes[i + 5]] ^ kTables[1][bytes[i + 6]] ^ kTables[0][bytes[i + 7]];
    }
    for (; i < bytes.size(); ++i)
        c = kTables[0][(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, std::string_view type,
              std::span<const std::uint8_t> data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32({out.data() + start, out.size() - start}));
}

// BITMAPINFOHEADER fields, and the limits of what is read.
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kMaxSide = 1024;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

} // namespace

std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out = {0x78, 0x01}; // deflate, 32 KB window, no dictionary
    BitWriter w(out);
    w.Bits(1, 1); // BFINAL
    w.Bits(1, 2); // BTYPE: fixed codes
    auto hashAt = [&bytes](std::size_t i) {
        const std::uint32_t v =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        return static_cast<std::size_t>((v * 2654435761u) >> (32 - kHashBits));
    };
    // The hash heads are kept between calls (most images are small, the
    // table is not); on the way out, on every path, the hashes this call
    // used are put back to empty.
    thread_local std::vector<std::int32_t> head(std::size_t{1} << kHashBits, -1);
    struct EmptyAgain {
        std::span<const std::uint8_t> bytes;
        const decltype(hashAt)& hash;
        ~EmptyAgain() {
            for (std::size_t k = 0; k + kMinMatch <= bytes.size(); ++k)
                head[hash(k)] = -1;
        }
    } emptyAgain{bytes, hashAt};
    std::vector<std::int32_t> previous(bytes.size(), -1);
    out.reserve(bytes.size() / 2 + 64);
    auto insert = [&](std::size_t i) {
        if (bytes.size() - i < kMinMatch)
            return;
        const std::size_t h = hashAt(i);
        previous[i] = head[h];
        head[h] = static_cast<std::int32_t>(i);
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t bestLength = 0, bestDistance = 0;
        if (bytes.size() - i >= kMinMatch) {
            const std::size_t limit = std::min(kMaxMatch, bytes.size() - i);
            std::int32_t candidate = head[hashAt(i)];
            for (std::size_t tries = 0; candidate >= 0 && tries < kMaxChain; ++tries) {
                const auto c = static_cast<std::size_t>(candidate);
                if (i - c > kWindow)
                    break;
                // A candidate that differs at the best length so far cannot beat it.
                if (bestLength != 0 && bytes[c + bestLength] != bytes[i + bestLength]) {
                    candidate = previous[c];
                    continue;
                }
                std::size_t n = 0;
                while (n < limit && bytes[c + n] == bytes[i + n])
                    ++n;
                if (n > bestLength) {
                    bestLength = n;
                    bestDistance = i - c;
                    if (n == limit)
                        break;
                }
                candidate = previous[c];
            }
        }
        if (bestLength >= kMinMatch) {
            PutMatch(w, static_cast<std::uint32_t>(bestLength),
                     static_cast<std::uint32_t>(bestDistance));
            for (std::size_t k = 0; k < bestLength; ++k)
                insert(i + k);
            i += bestLength;
        } else {
            PutLiteralOrLength(w, bytes[i]);
            insert(i);
            ++i;
        }
    }
    PutLiteralOrLength(w, 256); // end of block
    w.Flush();
    PutBigEndian(out, Adler32(bytes));
    return out;
}

std::vector<std::uint8_t> DibIconToPng(std::span<const std::uint8_t> dib) {
    const acWorkRes::ByteReader r(dib);
    const auto headerSize = r.U32(0);
    const auto rawWidth = r.U32(4);
    const auto rawHeight = r.U32(8);
    const auto bitCount = r.U16(14);
    const auto compression = r.U32(16);
    const auto colorsUsed = r.U32(32);
    if (!headerSize || *headerSize < kInfoHeaderSize || !rawWidth || !rawHeight || !bitCount ||
        !compression || !colorsUsed || *compression != kBiRgb)
        return {};
    const auto signedWidth = static_cast<std::int32_t>(*rawWidth);
    const auto signedHeight = static_cast<std::int32_t>(*rawHeight);
    // The height counts the XOR and the AND bitmap; a negative one is top-down.
    if (signedWidth <= 0 || signedHeight == 0 || signedHeight == INT32_MIN)
        return {};
    const bool topDown = signedHeight < 0;
    const auto width = static_cast<std::uint32_t>(signedWidth);
    const std::uint32_t height = (topDown ? static_cast<std::uint32_t>(-signedHeight)
                                          : static_cast<std::uint32_t>(signedHeight)) /
                                 2;
    const unsigned bits = *bitCount;
    if (width > kMaxSide || height == 0 || height > kMaxSide ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return {};

    // Sizes below are bounded by kMaxSide, so no product can overflow.
    std::vector<Rgba> palette;
    std::uint64_t at = *headerSize;
    if (bits <= 8) {
        const std::uint32_t full = 1u << bits;
        const std::uint32_t count = *colorsUsed == 0 ? full : *colorsUsed;
        if (count > full)
            return {};
        for (std::uint32_t k = 0; k < count; ++k, at += 4) {
            const auto entry = r.Slice(at, 4);
            if (!entry)
                return {};
            palette.push_back({(*entry)[2], (*entry)[1], (*entry)[0], 0xFF});
        }
    }
    const std::uint64_t xorStride = (std::uint64_t{width} * bits + 31) / 32 * 4;
    const std::uint64_t andStride = (std::uint64_t{width} + 31) / 32 * 4;
    const auto xorBits = r.Slice(at, xorStride * height);
    if (!xorBits)
        return {};
    const auto andBits = r.Slice(at + xorStride * height, andStride * height);

    // Scanlines with filter 0 (none): a filter byte, then RGBA.
    const std::size_t rawStride = 1 + 4 * std::size_t{width};
    std::vector<std::uint8_t> raw(std::size_t{height} * rawStride);
    bool anyAlpha = false;
    for (std::uint32_t y = 0; y < height; ++y) {
        // Row y of the picture, counted from its top.
        const std::uint32_t stored = topDown ? y : height - 1 - y;
        const std::uint8_t* row = xorBits->data() + stored * xorStride;
        std::uint8_t* p = raw.data() + std::size_t{y} * rawStride + 1;
        for (std::uint32_t x = 0; x < width; ++x, p += 4) {
            if (bits == 32) {
                p[0] = row[4 * x + 2];
                p[1] = row[4 * x + 1];
                p[2] = row[4 * x];
                p[3] = row[4 * x + 3];
                anyAlpha = anyAlpha || p[3] != 0;
            } else if (bits == 24) {
                p[0] = row[3 * x + 2];
                p[1] = row[3 * x + 1];
                p[2] = row[3 * x];
                p[3] = 0xFF;
            } else {
                const std::uint32_t bit = x * bits;
                const unsigned shift = 8 - bits - bit % 8;
                const unsigned index = (row[bit / 8] >> shift) & ((1u << bits) - 1);
                if (index >= palette.size())
                    return {};
                p[0] = palette[index].r;
                p[1] = palette[index].g;
                p[2] = palette[index].b;
                p[3] = palette[index].a;
            }
        }
    }
    if (!anyAlpha) {
        // No alpha of its own: opaque, and transparent where the mask says.
        if (!andBits)
            return {};
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::uint32_t stored = topDown ? y : height - 1 - y;
            const std::uint8_t* row = andBits->data() + stored * andStride;
            std::uint8_t* p = raw.data() + std::size_t{y} * rawStride + 1;
            for (std::uint32_t x = 0; x < width; ++x, p += 4)
                p[3] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 0xFF;
        }
    }
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<std::uint8_t> ihdr;
    PutBigEndian(ihdr, width);
    PutBigEndian(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, deflate, no filter set, no interlace
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", ZlibCompress(raw));
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace skin
