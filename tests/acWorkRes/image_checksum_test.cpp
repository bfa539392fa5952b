// The image checksum gathers four bytes at a time; it must agree with the
// sum as the format defines it, one 16-bit word at a time with the carry
// folded back after every word, for every length and content.
#include "acWorkRes/image_checksum.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

std::uint32_t WordByWord(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint32_t low = bytes[i];
        const std::uint32_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        sum += low | high << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(bytes.size());
}

TEST(ImageChecksum, AgreesWithTheWordByWordSumAtEveryLength) {
    std::mt19937 random(1);
    for (std::size_t length = 0; length < 80; ++length) {
        std::vector<std::uint8_t> bytes(length);
        for (int round = 0; round < 20; ++round) {
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            ASSERT_EQ(ImageChecksum(bytes), WordByWord(bytes)) << length;
        }
    }
}

TEST(ImageChecksum, SumsThatFoldToTheTopValueAndZeroStayApart) {
    // All-0xFF words sum to a multiple of 65535: the fold gives 0xFFFF, never
    // 0; only zeros give 0. Mixed with words that carry at every step.
    for (const std::size_t length : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 4096u, 65537u, 262147u}) {
        const std::vector<std::uint8_t> ones(length, 0xFF);
        EXPECT_EQ(ImageChecksum(ones), WordByWord(ones)) << length;
        const std::vector<std::uint8_t> zeros(length, 0);
        EXPECT_EQ(ImageChecksum(zeros), length) << length;
        std::vector<std::uint8_t> mixed(length);
        for (std::size_t i = 0; i < length; ++i)
            mixed[i] = i % 4 == 3 ? 0x01 : 0xFF;
        EXPECT_EQ(ImageChecksum(mixed), WordByWord(mixed)) << length;
    }
}

// Small sums worked out by hand, and the template module against a sum taken
// by 32-bit words with carries.
TEST(ImageChecksum, FoldsCarriesAndCountsAnOddLastByte) {
    EXPECT_EQ(ImageChecksum(std::vector<std::uint8_t>{}), 0u);
    EXPECT_EQ(ImageChecksum(std::vector<std::uint8_t>{0xFF, 0xFF}), 0xFFFFu + 2);
    EXPECT_EQ(ImageChecksum(std::vector<std::uint8_t>{0xFF, 0xFF, 0x02, 0x00}), 0x0002u + 4);
    EXPECT_EQ(ImageChecksum(std::vector<std::uint8_t>{0x01, 0x02, 0x03}), 0x0204u + 3);
    const auto module = TemplateModule().Bytes();
    auto zeroed = module;
    for (int k = 0; k < 4; ++k)
        zeroed[kCheckSumAt + k] = 0;
    EXPECT_EQ(ImageChecksum(zeroed), ReferenceChecksum(module));
}

TEST(ImageChecksum, AgreesOnAModuleSizedBuffer) {
    std::mt19937 random(2);
    std::vector<std::uint8_t> bytes(3 * 1024 * 1024 + 5);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random() >> 24);
    EXPECT_EQ(ImageChecksum(bytes), WordByWord(bytes));
}

// A writer sums the pieces it writes, in whatever order and at whatever
// offsets they land; the result must be that of the finished file.
TEST(ChecksumSum, PiecesInAnyOrderAtOddOrEvenOffsetsGiveTheWholeFilesSum) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const std::size_t length = random() % 3000;
        std::vector<std::uint8_t> bytes(length);
        const int kind = round % 3; // random bytes, all 0xFF, mostly zeros
        for (std::uint8_t& b : bytes)
            b = kind == 0   ? static_cast<std::uint8_t>(random())
                : kind == 1 ? 0xFF
                            : (random() % 50 == 0 ? 1 : 0);
        std::vector<std::size_t> cuts = {0, length};
        for (int k = random() % 6; k > 0; --k)
            cuts.push_back(length == 0 ? 0 : random() % length);
        std::sort(cuts.begin(), cuts.end());
        std::vector<std::pair<std::size_t, std::size_t>> pieces;
        for (std::size_t k = 0; k + 1 < cuts.size(); ++k)
            pieces.emplace_back(cuts[k], cuts[k + 1] - cuts[k]);
        std::shuffle(pieces.begin(), pieces.end(), random);
        ChecksumSum sum;
        for (const auto& [at, size] : pieces) {
            const std::span<const std::uint8_t> piece(bytes.data() + at, size);
            if (random() % 2 == 0) {
                sum.Add(at, piece);
            } else {
                // Gathered apart, offsets from the piece's start, then added whole.
                ChecksumSum part;
                part.Add(0, piece.first(size / 2));
                part.Add(size / 2, piece.subspan(size / 2));
                sum.AddSum(at, part);
            }
        }
        ASSERT_EQ(sum.Checksum(length), WordByWord(bytes)) << "round " << round;
    }
}

} // namespace
} // namespace acWorkRes
