// "Used files" on the example skin with each counted platform operation
// failing in turn: whatever fails, every file of the skin is still whole in
// Files\ or in UsedFiles\, and no half-made copy is left in UsedFiles\.
#include "app/u_frm.h"
#include "platform/fault_injection.h"
#include "support/temp_environment.h"
#include "sweep_support.h"

#include <gtest/gtest.h>

namespace {

using namespace sweep;

// Whatever the n-th operation was, each file of the skin is whole in one of
// the two folders, and UsedFiles holds nothing but whole copies.
void ExpectEveryFileWhole(const Snapshot& original, const Snapshot& left, const Snapshot& moved) {
    for (const auto& [path, bytes] : original) {
        const auto inFiles = left.find(path);
        const auto inUsed = moved.find(path);
        EXPECT_TRUE((inFiles != left.end() && inFiles->second == bytes) ||
                    (inUsed != moved.end() && inUsed->second == bytes))
            << path << " is whole in neither folder";
    }
    for (const auto& [path, bytes] : moved) {
        const auto source = original.find(path);
        EXPECT_TRUE(source != original.end() && source->second == bytes)
            << "UsedFiles holds " << path << ", which is no copy of a skin file";
    }
}

TEST(UsedFilesSweep, EveryFailingOperationKeepsEachFileWholeInOneOfTheFolders) {
    ExampleProgram program;
    const fs::path files = program.Root() / "Files";
    const fs::path usedFolder = program.Root() / "UsedFiles";
    const Snapshot original = TakeSnapshot(files);
    const auto exeFileName = [&] { return program.Folder() + u"KestoSkinBuilder"; };

    app::Tfrm counted(skin::BuildSkins, exeFileName);
    const std::uint64_t operations = CountOperations([&] { counted.btnUsedClick(); });
    // The example's scripts name every one of its files: all of them move.
    EXPECT_EQ(TakeSnapshot(usedFolder), original);
    EXPECT_TRUE(TakeSnapshot(files).empty());
    // The discarding build, then a folder and a copy for each of ten files.
    ASSERT_GE(operations, 3u * 4u + 10u * 2u);
    const std::size_t descriptors = ksbtest::OpenDescriptorCount();

    for (std::uint64_t n = 1; n <= operations; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        program.Reset();
        app::Tfrm frm(skin::BuildSkins, exeFileName);
        const Outcome outcome = RunFailing(n, [&] { frm.btnUsedClick(); });
        EXPECT_TRUE(outcome.failureInjected);
        if (outcome.generalError) {
            EXPECT_TRUE(IsBuildError(outcome.message)) << Utf8(outcome.message);
        }
        ExpectEveryFileWhole(original, TakeSnapshot(files), TakeSnapshot(usedFolder));
        ExpectNothingLeftOpen(descriptors, "after the run");
    }
}

} // namespace
