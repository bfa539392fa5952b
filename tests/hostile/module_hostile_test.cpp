// Hostile module files: directories that claim more than they hold, data
// that wraps or is shared, files cut short anywhere, sections placed past the
// end of the file, alignments the writer cannot honour. Each gets a clear
// result: a refusal with an error code and the file untouched, or a commit
// that leaves a sound module.
#include "acWorkRes/acWorkRes.h"
#include "hostile_support.h"
#include "platform/platform.h"
#include "support/module_validator.h"
#include "support/temp_environment.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace hostile;
using acWorkRes::BeginResourceUpdate;
using acWorkRes::EndResourceUpdate;
using acWorkRes::ResourceUpdateHandle;
using acWorkRes::UpdateResourceItem;

[[maybe_unused]] const auto* const kEnvironment =
    testing::AddGlobalTestEnvironment(new ksbtest::TempFolderEnvironment("hostile"));

const Bytes kItem = {'i', 't', 'e', 'm'};

std::string Problems(const Bytes& module) {
    std::string all;
    for (const std::string& p : ksbtest::ValidateModule(module))
        all += p + "\n";
    return all;
}

// Opening `module` fails with `error` and leaves the file as it was.
void ExpectRefused(const Bytes& module, std::uint32_t error, const std::string& what) {
    SCOPED_TRACE(what);
    Scratch scratch;
    const fs::path path = scratch.Path("m.dll");
    WriteFile(path, module);
    platform::SetLastError(0);
    EXPECT_EQ(BeginResourceUpdate(U16(path), false), nullptr);
    EXPECT_EQ(platform::LastError(), error);
    EXPECT_EQ(ReadFile(path), module);
}

// Opens `module`, stores kItem as RCDATA 1 (language 1049), commits; the
// commit's result, and the file afterwards in `after`.
bool CommitItem(const Bytes& module, Bytes& after, bool deleteExisting = false) {
    Scratch scratch;
    const fs::path path = scratch.Path("m.dll");
    WriteFile(path, module);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), deleteExisting);
    if (!handle) {
        after = ReadFile(path);
        return false;
    }
    EXPECT_TRUE(UpdateResourceItem(handle, acWorkRes::kRtRcData, std::uint16_t{1}, 1049,
                                   kItem.data(), static_cast<std::uint32_t>(kItem.size())));
    const bool committed = EndResourceUpdate(handle, false);
    after = ReadFile(path);
    return committed;
}

bool HoldsItem(const Bytes& module) {
    const auto leaves = ksbtest::ListResources(module);
    return std::any_of(leaves.begin(), leaves.end(), [](const ksbtest::ResourceLeaf& l) {
        return l.type == 10 && l.name == 1 && l.language == 1049 && l.data == kItem;
    });
}

TEST(HostileModule, DirectoriesCountingMoreEntriesThanTheSectionHoldsAreRefused) {
    const std::pair<std::uint16_t, std::uint16_t> counts[] = {
        {0xFFFF, 0}, {0, 0xFFFF}, {0xFFFF, 0xFFFF}};
    for (const auto& [named, ids] : counts) {
        SectionBuilder s;
        s.Directory(0, named, ids);
        ExpectRefused(TemplateWithSection(s.data, 16), platform::kErrorFileNotFound,
                      std::to_string(named) + " named, " + std::to_string(ids) + " numbered");
    }
}

// A name directory with all 0xFFFF languages it can count: read in full,
// replaced in place, and refused one more, the tree staying writable.
TEST(HostileModule, AFullDirectoryTakesNoMoreEntriesAndStaysWritable) {
    constexpr std::uint32_t kCount = 0xFFFF;
    SectionBuilder s;
    s.Directory(0, 0, 1);
    s.Entry(16, 10, 0x80000000u | 24);
    s.Directory(24, 0, 1);
    s.Entry(40, 1, 0x80000000u | 48);
    s.Directory(48, 0, kCount);
    const std::uint32_t dataEntries = 64 + 8 * kCount;
    for (std::uint32_t k = 0; k < kCount; ++k) {
        s.Entry(64 + 8 * k, k, dataEntries + 16 * k);
        s.DataEntry(dataEntries + 16 * k, kRsrcAddress, 0); // empty items
    }
    s.data.resize((s.data.size() + 0x1FF) / 0x200 * 0x200);
    const Bytes module = TemplateWithSection(s.data, static_cast<std::uint32_t>(s.data.size()));
    ASSERT_EQ(Problems(module).find("CheckSum"), 0u) << "only the checksum is stale:\n"
                                                     << Problems(module);

    Scratch scratch;
    const fs::path path = scratch.Path("full.dll");
    WriteFile(path, module);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(UpdateResourceItem(handle, 10, std::uint16_t{1}, 0xFFFF, kItem.data(), 4));
    EXPECT_TRUE(UpdateResourceItem(handle, 10, std::uint16_t{1}, 5, kItem.data(), 4));
    EXPECT_TRUE(UpdateResourceItem(handle, 10, std::uint16_t{1}, 1049, kItem.data(), 4));
    EXPECT_TRUE(EndResourceUpdate(handle, false));

    const Bytes after = ReadFile(path);
    EXPECT_EQ(Problems(after), "");
    const auto leaves = ksbtest::ListResources(after);
    ASSERT_EQ(leaves.size(), kCount);
    EXPECT_EQ(leaves[5].data, kItem);
    EXPECT_EQ(leaves[1049].data, kItem);
    EXPECT_TRUE(leaves[6].data.empty());
    EXPECT_EQ(leaves.back().language, kCount - 1);
}

TEST(HostileModule, DataWhoseAddressPlusSizeWrapsIsRefused) {
    const std::pair<std::uint32_t, std::uint32_t> data[] = {
        {0xFFFFFFF0u, 0x20},                // wraps past 4 GiB
        {0xFFFFFFFFu, 1},                   // the last byte of the address space
        {kRsrcAddress + 0x20, 0xFFFFFFFFu}, // a size that wraps the section offset
        {kRsrcAddress + 0x20, 0x80000000u},
    };
    for (const auto& [rva, size] : data) {
        SectionBuilder s;
        s.Directory(0, 0, 1);
        s.Entry(16, 10, 24);
        s.DataEntry(24, rva, size);
        ExpectRefused(TemplateWithSection(s.data, 40), platform::kErrorFileNotFound,
                      "data at " + std::to_string(rva) + " of " + std::to_string(size));
    }
}

// Twenty types lead through one shared name table to one leaf of 0x300
// bytes: the new section would hold twenty copies of data the old one held
// once.
TEST(HostileModule, LeavesSharingTheirDataAreRefused) {
    const auto module = [](std::uint16_t types) {
        SectionBuilder s;
        s.Directory(0, 0, types);
        const std::uint32_t shared = 16 + 8 * types;
        for (std::uint16_t k = 0; k < types; ++k)
            s.Entry(16 + 8 * k, k + 1u, 0x80000000u | shared);
        s.Directory(shared, 0, 1);
        s.Entry(shared + 16, 1, 0x80000000u | (shared + 24));
        s.Directory(shared + 24, 0, 1);
        s.Entry(shared + 40, 1049, shared + 48);
        s.DataEntry(shared + 48, kRsrcAddress + 0x100, 0x300);
        s.data.resize(0x400);
        return TemplateWithSection(s.data, 0x400);
    };
    ExpectRefused(module(20), platform::kErrorFileNotFound, "twenty types share one leaf");
    Bytes after;
    EXPECT_TRUE(CommitItem(module(1), after)) << "one type with that leaf is fine";
    EXPECT_EQ(Problems(after), "");
}

// The template cut after every byte: up to the end of its resource
// directory a refusal with the code of the missing part, from there on the
// same module as a commit of the whole file gives.
TEST(HostileModule, TheTemplateCutAnywhereIsRefusedOrCommittedInFull) {
    const Bytes whole = Template();
    Bytes expected;
    ASSERT_TRUE(CommitItem(whole, expected));
    ASSERT_EQ(Problems(expected), "");
    const std::size_t tableEnd = kSectionTable + 40;
    const std::size_t directoryEnd = kRsrcOffset + 16;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const Bytes module(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        if (cut < directoryEnd) {
            const std::uint32_t error = cut == 0         ? platform::kErrorFileInvalid
                                        : cut < tableEnd ? platform::kErrorBadExeFormat
                                                         : platform::kErrorFileNotFound;
            ExpectRefused(module, error, "cut short");
            continue;
        }
        Bytes after;
        EXPECT_TRUE(CommitItem(module, after));
        EXPECT_EQ(after, expected);
    }
}

// A module of the linker's (.rdata, .data, .rsrc, .reloc) cut at each of its
// header and section boundaries, and one byte either side.
TEST(HostileModule, ALinkedModuleCutAtEveryBoundaryGivesAClearResult) {
    const Bytes whole =
        ReadFile(fs::path(KSB_SOURCE_DIR) / "fuzz/corpus/module/llvm_rsrc_then_reloc.dll");
    ASSERT_GT(whole.size(), 0x1000u);
    const std::uint32_t nt = Get32(whole, kLfanew);
    const std::uint32_t table = nt + 248;
    const std::uint32_t sections = whole[nt + 6];
    std::vector<std::size_t> boundaries = {2,      kLfanew, kLfanew + 4,  nt,
                                           nt + 4, nt + 24, nt + 24 + 96, table};
    for (std::uint32_t i = 0; i < sections; ++i) {
        boundaries.push_back(table + 40 * (i + 1));
        const std::uint32_t raw = Get32(whole, table + 40 * i + 20);
        boundaries.push_back(raw);
        boundaries.push_back(raw + 16);
        boundaries.push_back(raw + Get32(whole, table + 40 * i + 16));
    }
    Bytes expected;
    ASSERT_TRUE(CommitItem(whole, expected));
    ASSERT_EQ(Problems(expected), "");
    for (const std::size_t boundary : boundaries) {
        for (std::size_t cut : {boundary - 1, boundary, boundary + 1}) {
            if (cut > whole.size())
                continue;
            SCOPED_TRACE("cut at " + std::to_string(cut));
            const Bytes module(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
            Scratch scratch;
            const fs::path path = scratch.Path("cut.dll");
            WriteFile(path, module);
            platform::SetLastError(0);
            ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
            if (!handle) {
                const std::uint32_t error = platform::LastError();
                EXPECT_TRUE(error == platform::kErrorBadExeFormat ||
                            error == platform::kErrorFileNotFound ||
                            error == platform::kErrorFileInvalid)
                    << error;
                EXPECT_EQ(ReadFile(path), module);
                continue;
            }
            EXPECT_TRUE(UpdateResourceItem(handle, 10, std::uint16_t{1}, 1049, kItem.data(), 4));
            const bool committed = EndResourceUpdate(handle, false);
            const Bytes after = ReadFile(path);
            if (!committed) {
                EXPECT_EQ(after, module);
            } else {
                EXPECT_TRUE(HoldsItem(after));
                if (cut == whole.size()) {
                    EXPECT_EQ(after, expected);
                }
            }
        }
    }
}

TEST(HostileModule, AResourceSectionPastTheEndOfTheFile) {
    // Raw data that starts past the end: nothing to read, so nothing to keep.
    Bytes beyond = Template();
    Put32(beyond, kRsrcRawPointerAt, 0x10000);
    ExpectRefused(beyond, platform::kErrorFileNotFound, "raw data past the end");
    // Thrown away unread, the section is written where the header puts it.
    Bytes after;
    ASSERT_TRUE(CommitItem(beyond, after, true));
    EXPECT_EQ(after.size(), 0x10000u + 0x200u);
    EXPECT_EQ(Problems(after), "");
    EXPECT_TRUE(HoldsItem(after));

    // A raw size of nearly 4 GiB on a file of 1 KiB: the section is rewritten
    // at its own size, and the file ends right behind it.
    Bytes huge = Template();
    Put32(huge, kRsrcRawSizeAt, 0xF0000000u);
    ASSERT_TRUE(CommitItem(huge, after));
    EXPECT_EQ(after.size(), 0x400u);
    EXPECT_EQ(Get32(after, kRsrcRawSizeAt), 0x200u);
    EXPECT_EQ(Problems(after), "");
    EXPECT_TRUE(HoldsItem(after));

    // Raw data that would end past 4 GiB cannot be addressed: the commit fails
    // and the file is left as it was.
    Bytes wrapping = Template();
    Put32(wrapping, kRsrcRawSizeAt, 0xFFFFFE00u);
    EXPECT_FALSE(CommitItem(wrapping, after));
    EXPECT_EQ(after, wrapping);
}

// A second section laid over the headers holds the debug directory, so
// that an entry's PointerToRawData field falls on the PE signature. The
// commit grows the file, and moves only what lies in a section's own data.
TEST(HostileModule, ADebugDirectoryOverTheHeadersLeavesThemAlone) {
    Bytes module = Template();
    Put16(module, kNt + 6, 2);
    const std::size_t second = kSectionTable + 40;
    Put32(module, second + 8, 0x200);       // VirtualSize
    Put32(module, second + 12, 0x100);      // VirtualAddress, below the resource section
    Put32(module, second + 16, 0x200);      // SizeOfRawData
    Put32(module, second + 20, 0);          // PointerToRawData: the headers
    const std::uint32_t debugAt = kNt - 24; // entry 0's PointerToRawData is the signature
    Put32(module, kOptional + 96 + 6 * 8, 0x100 + debugAt);
    Put32(module, kOptional + 96 + 6 * 8 + 4, 2 * 28);
    Scratch scratch;
    const fs::path path = scratch.Path("debug.dll");
    WriteFile(path, module);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    const Bytes large(0x1234, 0x42);
    EXPECT_TRUE(UpdateResourceItem(handle, 10, std::uint16_t{1}, 1049, large.data(), 0x1234));
    EXPECT_TRUE(EndResourceUpdate(handle, false));
    const Bytes after = ReadFile(path);
    EXPECT_EQ(Get32(after, kNt), 0x00004550u);
    // The DOS header and the signature are as they were.
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + kNt + 4, module.begin()));
    ResourceUpdateHandle* again = BeginResourceUpdate(U16(path), false);
    EXPECT_NE(again, nullptr);
    EXPECT_TRUE(EndResourceUpdate(again, true));
}

TEST(HostileModule, AlignmentsTheWriterCannotHonourFailTheCommitAndChangeNothing) {
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"SectionAlignment 0", kSectionAlignmentAt, 0},
        {"FileAlignment 128 KiB", kFileAlignmentAt, 0x20000},
        {"FileAlignment near 4 GiB", kFileAlignmentAt, 0xEA000200u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes module = Template();
        Put32(module, c.at, c.value);
        Scratch scratch;
        const fs::path path = scratch.Path("aligned.dll");
        WriteFile(path, module);
        ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
        ASSERT_NE(handle, nullptr);
        // Large data waits in a temporary file, which must go with the update.
        const Bytes large(40000, 0x5A);
        EXPECT_TRUE(UpdateResourceItem(handle, 10, std::uint16_t{1}, 1049, large.data(), 40000));
        EXPECT_FALSE(EndResourceUpdate(handle, false));
        EXPECT_EQ(ReadFile(path), module);
        EXPECT_TRUE(ksbtest::UpdaterTempFiles(ksbtest::PrivateTempFolder()).empty());
    }
}

} // namespace
