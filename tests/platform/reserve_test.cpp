// Growing a file with its disk space set aside, the first step of a commit
// that grows a module. (Its failure on a full disk: commit_in_place_test;
// past a file-size limit: tests/integration/test_failures.py.)
#include "platform/platform.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

TEST(GrowReserving, AddsZerosWhoseSpaceIsSetAside) {
    ksbtest::ScratchFolder dir;
    platform::File file = platform::CreateAnew(dir.Path(u"grow.bin"));
    const std::vector<std::uint8_t> kept(100000, 7);
    ASSERT_TRUE(file && file.WriteAt(0, kept));
    ASSERT_TRUE(file.GrowReserving(kept.size() / 2)); // shorter: nothing happens
    constexpr std::size_t kGrown = 3u << 20;
    ASSERT_TRUE(file.GrowReserving(kGrown)) << platform::LastError();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(file.ReadAll(bytes));
    ASSERT_EQ(bytes.size(), kGrown);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), bytes.begin()));
    EXPECT_TRUE(
        std::all_of(bytes.begin() + kept.size(), bytes.end(), [](auto b) { return b == 0; }));
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(fstat(static_cast<int>(file.Native()), &st), 0);
    EXPECT_GE(static_cast<std::uint64_t>(st.st_blocks) * 512, kGrown) << "the growth is sparse";
#endif
}

} // namespace
