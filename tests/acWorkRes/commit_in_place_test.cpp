// The commit writes the new section straight into the resized module. Data
// that stays from the old module must survive the tail moving over it, and
// whatever would make the writing fail must stop the commit before the file
// changes.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/icon_import.h"
#include "acWorkRes/resource_tree.h"
#include "support/module_validator.h"
#include "support/small_disk.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(seed + i * 31 + (i >> 9));
    return data;
}

bool Put(ResourceUpdateHandle* handle, const ResourceId& name,
         const std::vector<std::uint8_t>& data) {
    return UpdateResourceItem(handle, kRtRcData, name, 1049, data.data(),
                              static_cast<std::uint32_t>(data.size()));
}

// The template with a ".data" section behind its resource section.
std::vector<std::uint8_t> ModuleWithLaterSection() {
    TestModule m = TemplateModule();
    m.SizeOfImage = 0x3000;
    m.SizeOfInitializedData = 0x400;
    m.Sections.push_back(MakeSection(".data", 0x200, 0x2000, 0x200, 0x400, Pattern(0x200, 9)));
    return WithChecksum(m.Bytes());
}

// The raw bytes of the module's last section, found through its header.
std::vector<std::uint8_t> LastSectionRaw(const std::vector<std::uint8_t>& file) {
    const std::size_t header = kSectionTable + 40;
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8 |
               std::uint32_t{file[at + 2]} << 16 | std::uint32_t{file[at + 3]} << 24;
    };
    const std::uint32_t size = u32(header + 16), pointer = u32(header + 20);
    if (pointer > file.size() || size > file.size() - pointer)
        return {};
    return {file.begin() + pointer, file.begin() + pointer + size};
}

TEST(CommitInPlace, DataLeftInTheModuleSurvivesShrinkingAndGrowing) {
    ScratchFolder scratch;
    const auto path = scratch.Path("kept.dll");
    WriteFile(path, ModuleWithLaterSection());
    const auto big = Pattern(9000, 1), kept = Pattern(5, 2), named = Pattern(700, 3),
               large = Pattern(70000, 4);

    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(Put(handle, 1, big) && Put(handle, 2, kept) && Put(handle, u"NAMED", named));
    ASSERT_TRUE(EndResourceUpdate(handle, false));
    const auto grown = ReadFile(path);

    // Deleting the big item shrinks the section: the later section moves down
    // over the place where the kept items' old data lay.
    handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(UpdateResourceItem(handle, kRtRcData, 1, 1049, nullptr, 0));
    ASSERT_TRUE(EndResourceUpdate(handle, false));
    const auto shrunk = ReadFile(path);
    EXPECT_LT(shrunk.size(), grown.size());

    // A large item makes it grow again, with the same items read back.
    handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(Put(handle, 3, large));
    ASSERT_TRUE(EndResourceUpdate(handle, false));
    const auto regrown = ReadFile(path);
    EXPECT_GT(regrown.size(), shrunk.size());

    for (const auto* bytes : {&grown, &shrunk, &regrown}) {
        EXPECT_EQ(ksbtest::ValidateModule(*bytes), std::vector<std::string>{});
        EXPECT_EQ(LastSectionRaw(*bytes), Pattern(0x200, 9));
    }
    handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(FindResourceData(*handle, kRtRcData, 1, 1049, data));
    EXPECT_TRUE(FindResourceData(*handle, kRtRcData, 2, 1049, data) && data == kept);
    EXPECT_TRUE(FindResourceData(*handle, kRtRcData, u"NAMED", 1049, data) && data == named);
    EXPECT_TRUE(FindResourceData(*handle, kRtRcData, 3, 1049, data) && data == large);
    EXPECT_TRUE(EndResourceUpdate(handle, true));
}

TEST(CommitInPlace, ATemporaryFileThatLostItsDataStopsTheCommitBeforeTheModuleChanges) {
#ifdef _WIN32
    GTEST_SKIP() << "the updater holds its temporary files unshared: no one else can cut them";
#endif
    ScratchFolder scratch;
    const auto path = scratch.Path("cut.dll");
    const auto original = ModuleWithLaterSection();
    WriteFile(path, original);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(Put(handle, 1, Pattern(100, 5)) && Put(handle, 2, Pattern(40000, 6)));
    ASSERT_EQ(scratch.TempFileCount(), 1u);
    for (const auto& file : scratch.TempFiles())
        std::filesystem::resize_file(file, 39999);
    EXPECT_FALSE(EndResourceUpdate(handle, false));
    EXPECT_TRUE(SameBytes(original, ReadFile(path)));
    EXPECT_EQ(scratch.TempFileCount(), 0u);
}

#ifndef _WIN32
// On a real full disk the commit fails before the module changes: its growth
// is set aside first, so no write meets a page the disk cannot give.
TEST(CommitInPlace, OnAFullDiskTheCommitFailsAndTheModuleStaysAsItWas) {
    ScratchFolder scratch;
    ksbtest::SmallDisk disk(scratch.Path("disk"), "1m");
    if (!disk.Mounted())
        GTEST_SKIP() << ksbtest::SmallDisk::kSkipMessage;
    const auto path = scratch.Path("disk/full.dll");
    const auto original = ModuleWithLaterSection();
    WriteFile(path, original);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(Put(handle, 1, Pattern(1200000, 3)));
    EXPECT_FALSE(EndResourceUpdate(handle, false));
    EXPECT_EQ(platform::LastError(), static_cast<std::uint32_t>(ENOSPC));
    EXPECT_TRUE(SameBytes(original, ReadFile(path)));
}
#endif

} // namespace
} // namespace acWorkRes
