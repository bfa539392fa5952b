// The image checksum gathers four bytes at a time; it must agree with the
// sum as the format defines it, one 16-bit word at a time with the carry
// folded back after every word, for every length and content.
#include "acWorkRes/section_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
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

} // namespace
} // namespace acWorkRes
