// The image checksum gathers four bytes at a time; it must agree with the
// sum as the format defines it, one 16-bit word at a time with the carry
// folded back after every word, for every length and content.
#include "acWorkRes/section_output.h"
#include "acWorkRes/section_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace acWorkRes {
namespace {

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

TEST(SectionOutput, MemoryAndFileOutputsPutTheSameBytesAndSums) {
    std::vector<std::uint8_t> big(300000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 13 + i / 7);
    const std::vector<std::uint8_t> small = {1, 2, 3};
    const auto feed = [&](SectionOutput& out) {
        return out.Put(small) && out.PutZeros(1) && out.Put(big) && out.Put(small) &&
               out.PutZeros(70000) && out.Put(small) && out.Finish();
    };
    const std::size_t total = 3 + 1 + big.size() + 3 + 70000 + 3;
    std::vector<std::uint8_t> memory(total, 0xEE);
    MemorySectionOutput inMemory{std::span<std::uint8_t>(memory)};
    ASSERT_TRUE(feed(inMemory));
    EXPECT_EQ(inMemory.Written(), total);
    EXPECT_EQ(inMemory.Sum().Checksum(total), ImageChecksum(memory));
    // One byte short: refused.
    std::vector<std::uint8_t> shortBuffer(total - 1);
    MemorySectionOutput tooShort{std::span<std::uint8_t>(shortBuffer)};
    EXPECT_FALSE(feed(tooShort));

    const std::string path = ::testing::TempDir() + "section_output.bin";
    {
        platform::File file = platform::CreateAnew(platform::Utf8ToUtf16(path));
        ASSERT_TRUE(file);
        ASSERT_TRUE(file.WriteAt(0, std::vector<std::uint8_t>(5, 0xAB)));
        FileSectionOutput toFile(file, 5, total);
        ASSERT_TRUE(feed(toFile));
        EXPECT_EQ(toFile.Written(), total);
        EXPECT_EQ(toFile.Sum().Checksum(total), ImageChecksum(memory));
        std::vector<std::uint8_t> all;
        ASSERT_TRUE(file.ReadAll(all));
        ASSERT_EQ(all.size(), total + 5);
        EXPECT_TRUE(std::equal(memory.begin(), memory.end(), all.begin() + 5));
        // Nothing past the limit is written, in small pieces or large.
        FileSectionOutput smallLimit(file, 0, total - 1);
        EXPECT_FALSE(feed(smallLimit));
        FileSectionOutput largeLimit(file, 0, big.size() - 1);
        EXPECT_FALSE(largeLimit.Put(big));
        ASSERT_TRUE(file.ReadAll(all));
        EXPECT_EQ(all.size(), total + 5);
    }
    platform::DeleteFilePath(platform::Utf8ToUtf16(path));
}

} // namespace
} // namespace acWorkRes
