// Opening an update: which files are refused, with which error code, and that
// a refused file is left exactly as it was and not held open.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/resource_tree.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <functional>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

// Writes `bytes`, tries to open an update, and checks the refusal.
void ExpectRefused(const std::vector<std::uint8_t>& bytes, std::uint32_t error, bool deleteExisting,
                   const std::string& what) {
    SCOPED_TRACE(what);
    ScratchFolder scratch;
    const auto path = scratch.Path("module.dll");
    WriteFile(path, bytes);
    platform::SetLastError(0);
    EXPECT_EQ(BeginResourceUpdate(U16(path), deleteExisting), nullptr);
    EXPECT_EQ(platform::LastError(), error);
    EXPECT_TRUE(SameBytes(bytes, ReadFile(path)));
    // Nothing stays open: the file can be opened for update again.
    auto again = platform::OpenExisting(U16(path), platform::OpenMode::ExclusiveReadWrite);
    EXPECT_TRUE(again.IsOpen());
}

std::vector<std::uint8_t> Template(const std::function<void(TestModule&)>& change = {}) {
    TestModule module = TemplateModule();
    if (change)
        change(module);
    return module.Bytes();
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, std::size_t at,
                                  std::uint32_t value) {
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
    return bytes;
}

TEST(BeginResourceUpdate, RefusesFilesThatAreNoPe32Module) {
    const auto good = Template();
    ExpectRefused({'M', 'Z', 0, 0, 0, 0, 0, 0, 0, 0}, platform::kErrorBadExeFormat, false,
                  "shorter than the DOS header");
    ExpectRefused(Patched(good, 0, 0x00905A4E), platform::kErrorBadExeFormat, false, "no MZ");
    ExpectRefused(Patched(good, 0x3C, 0x400), platform::kErrorBadExeFormat, false,
                  "e_lfanew at the end of the file");
    ExpectRefused(Patched(good, 0x3C, 0xFFFFFFFE), platform::kErrorBadExeFormat, false,
                  "e_lfanew far outside");
    ExpectRefused(Patched(good, kNt, 0x01004550), platform::kErrorBadExeFormat, false,
                  "PE followed by other than two zero bytes");
    ExpectRefused(Template([](TestModule& m) { m.Magic = 0x20B; }), platform::kErrorBadExeFormat,
                  false, "PE32+");
    ExpectRefused(Template([](TestModule& m) { m.SizeOfOptionalHeader = 240; }),
                  platform::kErrorBadExeFormat, false, "optional header of 240 bytes");
    ExpectRefused(Template([](TestModule& m) {
                      m.Sections.resize(30, m.Sections[0]);
                      m.FileSize = 0x400;
                  }),
                  platform::kErrorBadExeFormat, true, "section table past the end of the file");
}

TEST(BeginResourceUpdate, ModulesWithoutAResourceSectionFailWithFileNotFound) {
    for (bool deleteExisting : {false, true}) {
        ExpectRefused(Template([](TestModule& m) {
                          m.DataDirectories[2] = {0, 0};
                      }),
                      platform::kErrorFileNotFound, deleteExisting, "resource entry 0");
        ExpectRefused(Template([](TestModule& m) {
                          m.DataDirectories[2] = {0x1010, 0x10};
                      }),
                      platform::kErrorFileNotFound, deleteExisting,
                      "resource directory inside its section");
        ExpectRefused(Template([](TestModule& m) { m.Sections.clear(); }),
                      platform::kErrorFileNotFound, deleteExisting, "no sections");
    }
    ScratchFolder scratch;
    EXPECT_EQ(BeginResourceUpdate(U16(scratch.Path("missing.dll")), false), nullptr);
    EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
}

// A template whose resource section is `section`, padded to a multiple of 0x200.
std::vector<std::uint8_t> WithSection(ByteImage section) {
    section.Data.resize((section.Data.size() + 0x1FF) / 0x200 * 0x200);
    return Template([&](TestModule& m) {
        m.Sections[0].SizeOfRawData = static_cast<std::uint32_t>(section.Data.size());
        m.Sections[0].Raw = section.Data;
    });
}

TEST(BeginResourceUpdate, RefusesDamagedDirectoriesLikeAMissingSection) {
    struct Case {
        const char* what;
        std::function<void(ByteImage&)> build;
    };
    const Case cases[] = {
        {"more entries than the section holds", [](ByteImage& s) { s.Directory(0, 0, 100); }},
        {"directory outside the section",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 10, 0x80000000 | 0x1F8);
         }},
        {"directory that contains itself",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 10, 0x80000000);
         }},
        {"two directories pointing at each other",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 10, 0x80000000 | 24);
             s.Directory(24, 0, 1);
             s.Entry(40, 1, 0x80000000 | 48);
             s.Directory(48, 0, 1);
             s.Entry(64, 1, 0x80000000 | 24);
         }},
        {"name outside the section",
         [](ByteImage& s) {
             s.Directory(0, 1, 0);
             s.Entry(16, 0x80000000 | 0x1FE, 24);
             s.DataEntry(24, 0x1000, 0);
         }},
        {"name running past the section",
         [](ByteImage& s) {
             s.Directory(0, 1, 0);
             s.Entry(16, 0x80000000 | 0x1F0, 24);
             s.DataEntry(24, 0x1000, 0);
             s.U16(0x1F0, 100);
         }},
        {"empty name",
         [](ByteImage& s) {
             s.Directory(0, 1, 0);
             s.Entry(16, 0x80000000 | 40, 24);
             s.DataEntry(24, 0x1000, 0);
             s.U16(40, 0);
         }},
        {"named entry among the numbered ones",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 0x80000000 | 40, 24);
             s.DataEntry(24, 0x1000, 0);
             s.Name(40, u"A");
         }},
        {"numbered entry counted as named",
         [](ByteImage& s) {
             s.Directory(0, 1, 0);
             s.Entry(16, 10, 24);
             s.DataEntry(24, 0x1000, 0);
         }},
        {"data before the section",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 10, 24);
             s.DataEntry(24, 0xFFC, 4);
         }},
        {"data past the section",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 10, 24);
             s.DataEntry(24, 0x11F0, 0x20);
         }},
        {"data entry outside the section",
         [](ByteImage& s) {
             s.Directory(0, 0, 1);
             s.Entry(16, 10, 0x1F8);
         }},
        {"nesting deeper than any module needs",
         [](ByteImage& s) {
             for (std::uint32_t level = 0; level < 40; ++level) {
                 s.Directory(24 * level, 0, 1);
                 s.Entry(24 * level + 16, 1, 0x80000000 | (24 * (level + 1)));
             }
             s.Directory(24 * 40, 0, 0);
         }},
        {"tables shared so often that the tree explodes",
         [](ByteImage& s) {
             // Both entries of each table lead to the next: 2^14 paths.
             for (std::uint32_t level = 0; level < 14; ++level) {
                 s.Directory(32 * level, 0, 2);
                 s.Entry(32 * level + 16, 1, 0x80000000 | (32 * (level + 1)));
                 s.Entry(32 * level + 24, 2, 0x80000000 | (32 * (level + 1)));
             }
             s.Directory(32 * 14, 0, 0);
         }},
    };
    for (const Case& c : cases) {
        ByteImage section;
        c.build(section);
        ExpectRefused(WithSection(section), platform::kErrorFileNotFound, false, c.what);
    }
}

TEST(BeginResourceUpdate, DeleteExistingDoesNotReadTheOldDirectory) {
    ScratchFolder scratch;
    ByteImage section;
    section.Directory(0, 0, 1);
    section.Entry(16, 10, 0x80000000); // a loop, never looked at
    const auto path = scratch.Path("module.dll");
    WriteFile(path, WithSection(section));
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), true);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->Root->IsDirectory);
    EXPECT_EQ(handle->Root->FirstChild, nullptr);
    EXPECT_EQ(handle->Root->NamedCount + handle->Root->IdCount, 0u);
    EXPECT_TRUE(EndResourceUpdate(handle, true));
}

TEST(BeginResourceUpdate, HoldsTheModuleExclusivelyUntilTheUpdateEnds) {
    ScratchFolder scratch;
    const auto path = scratch.Path("module.dll");
    WriteFile(path, Template());
    ResourceUpdateHandle* first = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->NtHeaders, kNt);
    EXPECT_EQ(BeginResourceUpdate(U16(path), false), nullptr);
    EXPECT_FALSE(platform::OpenExisting(U16(path), platform::OpenMode::ReadShareReadWrite));
    EXPECT_TRUE(EndResourceUpdate(first, true));
    ResourceUpdateHandle* second = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(EndResourceUpdate(second, true));
}

} // namespace
} // namespace acWorkRes
