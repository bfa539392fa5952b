// The bounds-checked reader and writer, and the checked arithmetic.
#include "acWorkRes/byte_reader.h"
#include "acWorkRes/checked_math.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace acWorkRes {
namespace {

TEST(ByteReader, ReadsLittleEndianAndRefusesEveryAccessPastTheEnd) {
    const std::array<std::uint8_t, 6> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    const ByteReader reader(bytes);
    EXPECT_EQ(reader.U16(0), 0x0201);
    EXPECT_EQ(reader.U32(2), 0x06050403u);
    EXPECT_EQ(reader.U16(4), 0x0605);
    EXPECT_EQ(reader.U16(5), std::nullopt);
    EXPECT_EQ(reader.U32(3), std::nullopt);
    EXPECT_EQ(reader.U8(6), std::nullopt);
    // Offsets near the top of the range must not wrap round into the data.
    EXPECT_EQ(reader.U32(std::numeric_limits<std::uint64_t>::max() - 1), std::nullopt);
    EXPECT_FALSE(reader.Slice(2, std::numeric_limits<std::uint64_t>::max()).has_value());
    ASSERT_TRUE(reader.Slice(6, 0).has_value());
    EXPECT_TRUE(reader.Slice(6, 0)->empty());
    EXPECT_FALSE(reader.Slice(7, 0).has_value());
}

TEST(ByteWriter, WritesInsideOnlyAndLeavesTheRestAlone) {
    std::array<std::uint8_t, 8> bytes{};
    ByteWriter writer(bytes);
    EXPECT_TRUE(writer.PutU32(4, 0xA1B2C3D4));
    EXPECT_TRUE(writer.PutU16(0, 0xBEEF));
    EXPECT_FALSE(writer.PutU32(5, 0xFFFFFFFF));
    EXPECT_FALSE(writer.PutU16(7, 0xFFFF));
    const std::array<std::uint8_t, 3> three = {9, 9, 9};
    EXPECT_FALSE(writer.PutBytes(6, three));
    EXPECT_FALSE(writer.Fill(2, 7, 0xEE));
    const std::array<std::uint8_t, 8> expected = {0xEF, 0xBE, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(bytes, expected);
    EXPECT_TRUE(writer.Fill(2, 2, 0xEE));
    EXPECT_EQ(bytes[2], 0xEE);
    EXPECT_EQ(bytes[3], 0xEE);
}

TEST(CheckedMath, RefusesResultsOutside32Bits) {
    EXPECT_EQ(CheckedAdd(0xFFFFFFF0u, 0xF), 0xFFFFFFFFu);
    EXPECT_EQ(CheckedAdd(0xFFFFFFF0u, 0x10), std::nullopt);
    EXPECT_EQ(CheckedAdd(1, std::numeric_limits<std::uint64_t>::max()), std::nullopt);
    EXPECT_EQ(CheckedMul(0x10000, 0xFFFF), 0xFFFF0000u);
    EXPECT_EQ(CheckedMul(0x10000, 0x10000), std::nullopt);
    EXPECT_EQ(CheckedOffset(0x1000, -0x1000), 0u);
    EXPECT_EQ(CheckedOffset(0x1000, -0x1001), std::nullopt);
    EXPECT_EQ(CheckedOffset(0xFFFFF000u, 0x1000), std::nullopt);
}

} // namespace
} // namespace acWorkRes
