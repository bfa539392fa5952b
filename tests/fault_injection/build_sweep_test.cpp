// A whole build of the example skin with each counted platform operation
// failing in turn: every run ends as the build may end (normally, or with
// its "Cannot create file" / "Cannot open file" error), releases everything
// it held, and leaves the skin's files as they were.
#include "platform/fault_injection.h"
#include "support/temp_environment.h"
#include "sweep_support.h"

#include <gtest/gtest.h>

namespace {

using namespace sweep;

constexpr char16_t kSeparator[] = u"=====================================";

// A run that ended with an error leaves no module of the failing row, and
// every module it leaves is one of the good run's; none is empty or cut.
void ExpectOnlyWholeModules(const Snapshot& modules, const Snapshot& good) {
    for (const auto& [name, bytes] : modules) {
        const auto found = good.find(name);
        EXPECT_TRUE(found != good.end() && found->second == bytes)
            << name << " (" << bytes.size() << " bytes) is not a module of a good run";
    }
}

void Build(bool discard, const ExampleProgram& program, KeptLog& log,
           std::vector<std::u16string>& used) {
    skin::BuildSkins(discard, program.Folder(), log, used);
}

TEST(BuildSweep, EveryFailingOperationEndsAsAllowedAndLeavesTheFilesAlone) {
    ExampleProgram program;
    const fs::path files = program.Root() / "Files";
    const Snapshot before = TakeSnapshot(files);

    KeptLog first;
    std::vector<std::u16string> used;
    const std::uint64_t operations = CountOperations([&] { Build(false, program, first, used); });
    ASSERT_EQ(first.Count(u"done!"), 3u);
    const Snapshot modules = TakeSnapshot(program.Root() / "_skin");
    ASSERT_EQ(modules.size(), 3u);
    // Per row at least: the output folder, the template copy's creation and
    // write, the mapping; a commit that grows the module resizes and maps.
    ASSERT_GE(operations, 3u * 4u + 2u);
    const std::size_t descriptors = ksbtest::OpenDescriptorCount();

    std::size_t errors = 0;
    for (std::uint64_t n = 1; n <= operations; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        KeptLog log;
        const Outcome outcome = RunFailing(n, [&] { Build(false, program, log, used); });
        EXPECT_TRUE(outcome.failureInjected);
        if (outcome.generalError) {
            ++errors;
            EXPECT_TRUE(IsBuildError(outcome.message)) << Utf8(outcome.message);
        } else {
            EXPECT_EQ(log.Count(kSeparator), 8u) << "the run stopped early without an error";
            EXPECT_EQ(log.Count(u"done!"), 3u) << "a row failed without an error";
        }
        ExpectOnlyWholeModules(TakeSnapshot(program.Root() / "_skin"), modules);
        ExpectNothingLeftOpen(descriptors, "after the run");
        EXPECT_EQ(TakeSnapshot(files), before) << "a file in Files changed";
    }
    // Every failure of the module's own writing ends the build; a failure
    // inside a sweep run is never silent.
    EXPECT_EQ(errors, operations);
    // A run after all of them writes the same modules as the first: nothing a
    // failed run left behind gets in the way of the next one.
    KeptLog last;
    Build(false, program, last, used);
    EXPECT_EQ(TakeSnapshot(program.Root() / "_skin"), modules);
    ExpectNothingLeftOpen(descriptors, "after the last run");
}

TEST(BuildSweep, ADiscardingBuildAlsoEndsAsAllowed) {
    ExampleProgram program;
    const fs::path files = program.Root() / "Files";
    const Snapshot before = TakeSnapshot(files);
    std::vector<std::u16string> used;
    KeptLog first;
    const std::uint64_t operations = CountOperations([&] { Build(true, program, first, used); });
    ASSERT_GE(operations, 3u * 4u);
    const std::size_t descriptors = ksbtest::OpenDescriptorCount();
    for (std::uint64_t n = 1; n <= operations; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        KeptLog log;
        const Outcome outcome = RunFailing(n, [&] { Build(true, program, log, used); });
        EXPECT_TRUE(outcome.failureInjected);
        if (outcome.generalError) {
            EXPECT_TRUE(IsBuildError(outcome.message)) << Utf8(outcome.message);
        }
        ExpectNothingLeftOpen(descriptors, "after the run");
        EXPECT_EQ(TakeSnapshot(files), before);
    }
}

} // namespace
