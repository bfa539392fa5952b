// The fault-injection switch of the platform layer: what it counts, which
// operation fails, with which code, and that a failed operation did nothing.
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/temp_environment.h"
#include "sweep_support.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using platform::testing::FailNthOperation;
using platform::testing::InjectedFailureHappened;
using platform::testing::OperationsCounted;

[[maybe_unused]] const auto* const kEnvironment =
    testing::AddGlobalTestEnvironment(new ksbtest::TempFolderEnvironment("fault-injection"));

#ifdef _WIN32
constexpr std::uint32_t kDiskFull = 112;
#else
constexpr std::uint32_t kDiskFull = ENOSPC;
#endif

namespace fs = std::filesystem;

using ksbtest::U16;

// Switches the injection off whatever happens in a test.
class FaultSwitchTest : public testing::Test {
protected:
    void TearDown() override { FailNthOperation(0); }
    fs::path Path(const std::string& name) const { return scratch_.Path(name); }
    void Write(const std::string& name, const std::string& text) { scratch_.Write(name, text); }
    std::string Read(const std::string& name) { return scratch_.Read(name); }

    ksbtest::ScratchFolder scratch_{"switch", ksbtest::PrivateTempFolder()};
};

TEST_F(FaultSwitchTest, OnlyTheNthCountedOperationFails) {
    const std::vector<std::uint8_t> bytes = {'a', 'b', 'c'};
    FailNthOperation(2);
    platform::File file = platform::CreateAnew(U16(Path("count.bin"))); // 1
    ASSERT_TRUE(file.IsOpen());
    EXPECT_FALSE(file.WriteAt(0, bytes)); // 2
    EXPECT_TRUE(InjectedFailureHappened());
    EXPECT_TRUE(file.WriteAt(0, bytes)); // 3
    EXPECT_TRUE(file.SetSize(2));        // 4
    EXPECT_EQ(OperationsCounted(), 4u);

    // Off: nothing is counted and nothing fails.
    FailNthOperation(0);
    EXPECT_TRUE(file.WriteAt(2, bytes));
    EXPECT_EQ(OperationsCounted(), 0u);
    EXPECT_FALSE(InjectedFailureHappened());

    // Reads, opens of existing files and deletions are not counted.
    FailNthOperation(1);
    std::vector<std::uint8_t> all;
    EXPECT_TRUE(file.ReadAll(all));
    EXPECT_EQ(all, (std::vector<std::uint8_t>{'a', 'b', 'a', 'b', 'c'}));
    file.Close();
    EXPECT_TRUE(platform::OpenExisting(U16(Path("count.bin")), platform::OpenMode::ReadShareRead));
    EXPECT_TRUE(platform::DeleteFilePath(U16(Path("count.bin"))));
    EXPECT_EQ(OperationsCounted(), 0u);
    EXPECT_FALSE(InjectedFailureHappened());
}

TEST_F(FaultSwitchTest, EachOperationFailsWithItsCodeAndChangesNothing) {
    Write("keep.txt", "kept");
    platform::File file =
        platform::OpenExisting(U16(Path("keep.txt")), platform::OpenMode::ExclusiveReadWrite);
    ASSERT_TRUE(file.IsOpen());
    const std::vector<std::uint8_t> bytes = {'x', 'y'};

    FailNthOperation(1);
    EXPECT_FALSE(file.WriteAt(0, bytes));
    EXPECT_EQ(platform::LastError(), kDiskFull);

    FailNthOperation(1);
    EXPECT_FALSE(file.SetSize(1));
    EXPECT_EQ(platform::LastError(), kDiskFull);

    FailNthOperation(1);
    EXPECT_FALSE(file.GrowReserving(1 << 20));
    EXPECT_EQ(platform::LastError(), kDiskFull);

    FailNthOperation(1);
    EXPECT_FALSE(platform::MapWholeFile(file, true).IsMapped());
    EXPECT_EQ(platform::LastError(), platform::kErrorNotEnoughMemory);
    file.Close();
    EXPECT_EQ(Read("keep.txt"), "kept");

    FailNthOperation(1);
    EXPECT_FALSE(platform::CreateAnew(U16(Path("keep.txt"))).IsOpen());
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    EXPECT_EQ(Read("keep.txt"), "kept");

    FailNthOperation(1);
    EXPECT_FALSE(platform::CreateTempFile(Path("$kiv$res$switch$").string()).IsOpen());
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    EXPECT_FALSE(fs::exists(Path("$kiv$res$switch$")));

    FailNthOperation(1);
    EXPECT_FALSE(platform::CreateFolders(U16(Path("a/b"))));
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    EXPECT_FALSE(fs::exists(Path("a")));

    FailNthOperation(1);
    EXPECT_FALSE(platform::CopyFileReplacing(U16(Path("keep.txt")), U16(Path("copy.txt"))));
    EXPECT_EQ(platform::LastError(), kDiskFull);
    EXPECT_FALSE(fs::exists(Path("copy.txt")));

    // The same calls with the switch off all work.
    FailNthOperation(0);
    EXPECT_TRUE(platform::CreateFolders(U16(Path("a/b"))));
    EXPECT_TRUE(platform::CopyFileReplacing(U16(Path("keep.txt")), U16(Path("copy.txt"))));
    EXPECT_EQ(Read("copy.txt"), "kept");
}

} // namespace
