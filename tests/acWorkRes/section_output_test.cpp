// The section's output, into memory or into the module file: the same bytes
// and the same checksum sum either way, and nothing past its limit.
#include "acWorkRes/image_checksum.h"
#include "acWorkRes/section_output.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace acWorkRes {
namespace {

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
