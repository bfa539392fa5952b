// The PE image checksum, gathered piece by piece: the one's-complement sum of
// the file's little-endian 16-bit words (an odd last byte counts as a word
// with high byte 0), folded to 16 bits, plus the file's length. The pieces
// may come in any order, each with its offset in the file, so a writer can
// sum what it writes while the bytes are at hand.
#pragma once

#include <cstdint>
#include <span>

namespace acWorkRes {

class ChecksumSum {
public:
    // Adds bytes that lie at file offset `position`.
    void Add(std::uint64_t position, std::span<const std::uint8_t> bytes);
    // Adds the sum of another gathering whose offsets count from `position`.
    void AddSum(std::uint64_t position, const ChecksumSum& part);
    // The checksum of a file of `length` bytes once every nonzero byte was added.
    std::uint32_t Checksum(std::uint64_t length) const;

private:
    void AddFolded(std::uint64_t position, std::uint64_t folded);
    std::uint64_t sum_ = 0; // at most 0xFFFF between calls; 0 only while every byte was 0
};

// The checksum of `bytes` as a whole file whose CheckSum field already reads 0.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> bytes);

} // namespace acWorkRes
