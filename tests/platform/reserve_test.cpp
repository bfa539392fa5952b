// Growing a file with its disk space set aside, the first step of a commit
// that grows a module: on a full disk or past a file-size limit the growth
// fails and the file keeps its size and bytes.
#include "platform/platform.h"
#include "tests/platform/scratch.h"
#include "tests/support/small_disk.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using ksbtest::ScratchFolder;
using platform::File;

constexpr std::uint64_t kKept = 100000;

// A file of kKept bytes of a pattern, held for update.
File KeptFile(const std::u16string& path) {
    File file = platform::CreateAnew(path);
    std::vector<std::uint8_t> bytes(kKept);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_TRUE(file && file.WriteAt(0, bytes));
    return file;
}

// Whether `file` still holds what KeptFile wrote, and nothing more.
bool Unchanged(const File& file) {
    std::vector<std::uint8_t> bytes;
    if (!file.ReadAll(bytes) || bytes.size() != kKept)
        return false;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != static_cast<std::uint8_t>(i * 7))
            return false;
    return true;
}

TEST(GrowReserving, AddsZerosWhoseSpaceIsSetAside) {
    ScratchFolder dir;
    File file = KeptFile(dir.Path(u"grow.bin"));
    ASSERT_TRUE(file.GrowReserving(kKept / 2)); // shorter: nothing happens
    EXPECT_TRUE(Unchanged(file));
    constexpr std::uint64_t kGrown = 3u << 20;
    ASSERT_TRUE(file.GrowReserving(kGrown)) << platform::LastError();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(file.ReadAll(bytes));
    ASSERT_EQ(bytes.size(), kGrown);
    EXPECT_EQ(bytes[kKept - 1], static_cast<std::uint8_t>((kKept - 1) * 7));
    EXPECT_EQ(std::count(bytes.begin() + kKept, bytes.end(), 0), static_cast<long>(kGrown - kKept));
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(fstat(static_cast<int>(file.Native()), &st), 0);
    EXPECT_GE(static_cast<std::uint64_t>(st.st_blocks) * 512, kGrown) << "the growth is sparse";
#endif
}

#ifndef _WIN32

// Past RLIMIT_FSIZE, with SIGXFSZ ignored, the system refuses with EFBIG.
// Played in a child, whose limit binds nothing else; it answers by exit code.
TEST(GrowReserving, PastAFileSizeLimitFailsAndLeavesTheFile) {
    ScratchFolder dir;
    File file = KeptFile(dir.Path(u"limited.bin"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{200000, 200000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(10);
        if (file.GrowReserving(1u << 20))
            _exit(11);
        _exit(platform::LastError() == EFBIG ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(Unchanged(file));
}

TEST(GrowReserving, OnAFullDiskFailsAndLeavesTheFileAndTheSpace) {
    ScratchFolder dir;
    ksbtest::SmallDisk disk(dir.Native(u"disk"), "2m");
    if (!disk.Mounted())
        GTEST_SKIP() << ksbtest::SmallDisk::kSkipMessage;
    {
        File file = KeptFile(dir.Path(u"disk/full.bin"));
        EXPECT_FALSE(file.GrowReserving(3u << 20));
        EXPECT_EQ(platform::LastError(), static_cast<std::uint32_t>(ENOSPC));
        EXPECT_TRUE(Unchanged(file));
    }
    // Nothing of the failed reservation stays taken.
    File other = platform::CreateAnew(dir.Path(u"disk/other.bin"));
    EXPECT_TRUE(other.GrowReserving(1800000));
}

#endif

} // namespace
