#include "acWorkRes/image_checksum.h"

#include <bit>
#include <cstring>

namespace acWorkRes {

namespace {

// Folds to at most 0xFFFF, keeping the value modulo 65535 and whether it is 0.
std::uint64_t Fold(std::uint64_t sum) {
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return sum;
}

// The sum of `bytes` taken as words from an even offset, folded. The words do
// not have to be gathered 16 bits at a time, as long as every carry comes
// back in: a little-endian 32-bit word is its low word plus 65536 times its
// high word, and 65536 is 1 modulo 65535. Four bytes at a time go into a
// 64-bit sum (no overflow below 2^34 bytes), folded once at the end.
std::uint64_t FoldedSum(std::span<const std::uint8_t> bytes) {
    std::uint64_t sum = 0;
    const std::uint8_t* p = bytes.data();
    const std::size_t quads = bytes.size() / 4;
    for (std::size_t i = 0; i < quads; ++i, p += 4) {
        std::uint32_t word;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&word, p, sizeof word);
        } else {
            word = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                   std::uint32_t{p[3]} << 24;
        }
        sum += word;
    }
    std::size_t at = quads * 4;
    if (bytes.size() - at >= 2) {
        sum += static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8));
        at += 2;
    }
    if (at < bytes.size())
        sum += bytes[at]; // a low byte; its high byte is the next piece's first, or 0
    return Fold(sum);
}

} // namespace

void ChecksumSum::AddFolded(std::uint64_t position, std::uint64_t folded) {
    // From an odd offset every byte sits one place higher in its word: 256
    // times the sum, modulo 65535.
    if (position % 2 != 0)
        folded = Fold(folded << 8);
    sum_ = Fold(sum_ + folded);
}

void ChecksumSum::Add(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    AddFolded(position, FoldedSum(bytes));
}

void ChecksumSum::AddSum(std::uint64_t position, const ChecksumSum& part) {
    AddFolded(position, part.sum_);
}

std::uint32_t ChecksumSum::Checksum(std::uint64_t length) const {
    return static_cast<std::uint32_t>(sum_ + length);
}

std::uint32_t ImageChecksum(std::span<const std::uint8_t> bytes) {
    ChecksumSum sum;
    sum.Add(0, bytes);
    return sum.Checksum(bytes.size());
}

} // namespace acWorkRes
