// Reading a resource directory into the tree, the temporary-file names of
// nodes, and the disposal of trees.
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/update_ops.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <regex>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

constexpr std::uint32_t kSectionOffset = 0x400;
constexpr std::uint32_t kSectionAddress = 0x3000;

// A file image with a resource section at 0x400 that the image maps at 0x3000:
// entries deliberately out of order, a lower-case name, a number with high bits.
std::vector<std::uint8_t> UnsortedImage() {
    ByteImage image;
    image.Data.assign(kSectionOffset, 0xCC);
    ByteImage s;
    s.Directory(0, 1, 2, 4);
    s.U32(0, 0x11223344);                           // Characteristics
    s.U32(4, 0x55667788);                           // TimeDateStamp
    s.U16(10, 7);                                   // MinorVersion
    s.Entry(16, 0x80000000 | 200, 0x80000000 | 40); // "logo"
    s.Entry(24, 14, 0x80000000 | 64);
    s.Entry(32, 3, 0x80000000 | 88);
    s.Directory(40, 0, 1);
    s.Entry(56, 0x12345, 112); // a leaf; its number keeps all its bits
    s.Directory(64, 0, 0);
    s.Directory(88, 0, 1);
    s.Entry(104, 1049, 128);
    s.DataEntry(112, kSectionAddress + 0x100, 5, 1252, 9);
    s.DataEntry(128, kSectionAddress + 0x108, 0);
    s.Name(200, u"logo");
    s.Text(0x100, "HELLO");
    s.Data.resize(0x200);
    image.Put(kSectionOffset, s.Data);
    return image.Data;
}

TEST(ParseResourceDirectory, KeepsTheFilesOrderNamesAndNumbersExactly) {
    const auto image = UnsortedImage();
    auto root = ParseResourceDirectory(image, kSectionOffset, kSectionAddress, 0x200);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->IsDirectory);
    EXPECT_EQ(root->Id, 0);
    EXPECT_EQ(root->Characteristics, 0x11223344u);
    EXPECT_EQ(root->TimeDateStamp, 0x55667788u);
    EXPECT_EQ(root->MajorVersion, 4);
    EXPECT_EQ(root->MinorVersion, 7);
    EXPECT_EQ(root->NamedCount, 1u);
    EXPECT_EQ(root->IdCount, 2u);

    const TResItem* named = root->FirstChild.get();
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->Name, u"logo");
    EXPECT_EQ(named->Id, 0);
    const TResItem* fourteen = named->Next.get();
    ASSERT_NE(fourteen, nullptr);
    EXPECT_EQ(fourteen->Id, 14); // before 3, as in the file
    EXPECT_TRUE(fourteen->IsDirectory);
    EXPECT_EQ(fourteen->FirstChild, nullptr);
    const TResItem* three = fourteen->Next.get();
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->Id, 3);
    EXPECT_EQ(three->Next, nullptr);

    // A leaf right under a named entry: the tree has the depth the file gives it.
    const TResItem* leaf = named->FirstChild.get();
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Id, 0x12345);
    EXPECT_FALSE(leaf->IsDirectory);
    EXPECT_EQ(leaf->DataSize, 5u);
    EXPECT_EQ(leaf->CodePage, 1252u);
    EXPECT_EQ(leaf->Reserved, 9u);
    // Image address 0x3100 lies 0x100 into the section, which starts at 0x400 in the file.
    EXPECT_EQ(leaf->ImageData, image.data() + 0x500);
    EXPECT_TRUE(leaf->DataCopy.empty());
    EXPECT_FALSE(leaf->TempFile.IsOpen());
    const TResItem* empty = three->FirstChild.get();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->Id, 1049);
    EXPECT_EQ(empty->DataSize, 0u);
}

TEST(ParseResourceDirectory, ReadsOnlyTheSectionThatLiesInTheFile) {
    const auto image = UnsortedImage();
    // A raw size beyond the file is cut at its end; data behind the cut is refused.
    EXPECT_NE(ParseResourceDirectory(image, kSectionOffset, kSectionAddress, 0x10000), nullptr);
    EXPECT_EQ(ParseResourceDirectory(std::span(image).first(0x504), kSectionOffset, kSectionAddress,
                                     0x200),
              nullptr);
    EXPECT_EQ(ParseResourceDirectory(image, 0x601, kSectionAddress, 0x200), nullptr);
    // The section's raw size bounds it even where the file goes on.
    EXPECT_EQ(ParseResourceDirectory(image, kSectionOffset, kSectionAddress, 0x104), nullptr);
}

TEST(ReadResourceName, TakesExactlyTheCountedCodeUnits) {
    ByteImage s;
    s.Name(0, u"Ab\u0416");
    s.U16(8, 0); // what follows is not part of the name
    s.U16(10, 3);
    const ByteReader reader(s.Data);
    EXPECT_EQ(ReadResourceName(reader, 0), u"Ab\u0416");
    EXPECT_EQ(ReadResourceName(reader, 8), u"");
    EXPECT_EQ(ReadResourceName(reader, 10), std::nullopt); // 3 units would run past the end
}

TEST(TempFileNameFor, NamesTheFolderProcessAndNodeInLowerCaseHex) {
    ScratchFolder scratch;
    TResItem node;
    const std::string name = TempFileNameFor(node);
    const std::string folder = platform::TempFolderAnsi();
    ASSERT_EQ(name.substr(0, folder.size()), folder);
    EXPECT_EQ(name[folder.size()], platform::TempNameSeparator());
    char pid[16];
    std::snprintf(pid, sizeof(pid), "%08" PRIx32, platform::ProcessId());
    const std::string rest = name.substr(folder.size() + 1);
    EXPECT_EQ(rest.substr(0, 18), std::string("$kiv$res$") + pid + "$");
    EXPECT_TRUE(std::regex_match(rest.substr(18), std::regex("[1-9a-f][0-9a-f]*\\$")));
    EXPECT_EQ(std::stoull(rest.substr(18), nullptr, 16), reinterpret_cast<std::uintptr_t>(&node));
    // Formed anew each time from the same node: the same name.
    EXPECT_EQ(TempFileNameFor(node), name);
    TResItem other;
    EXPECT_NE(TempFileNameFor(other), name);
}

TEST(FreeResourceTree, DisposesOfEveryNodeAndDeletesTheirTemporaryFiles) {
    ScratchFolder scratch;
    std::unique_ptr<TResItem> link;
    FreeResourceTree(link); // an empty link is left alone
    EXPECT_EQ(link, nullptr);

    link = NewDirectory(ResourceId(10));
    const std::vector<std::uint8_t> large(LargeDataThreshold + 1, 0x5A);
    for (std::uint16_t name : {1, 2, 3}) {
        auto dir = NewDirectory(ResourceId(name));
        ASSERT_NE(AddLanguage(*dir, 1049, large.data(), static_cast<std::uint32_t>(large.size())),
                  nullptr);
        AddDirectory(*link, std::move(dir));
    }
    // A long list of siblings goes without deep recursion.
    for (int i = 0; i < 100000; ++i)
        AddDirectory(*link, NewDirectory(ResourceId(u"N")));
    EXPECT_EQ(scratch.TempFileCount(), 3u);
    FreeResourceTree(link);
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(scratch.TempFileCount(), 0u);
}

} // namespace
} // namespace acWorkRes
