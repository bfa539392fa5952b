// The layout of a new resource section: sizes of the three areas and the
// bytes of every record, against sections written out by hand.
#include "acWorkRes/section_layout.h"
#include "acWorkRes/update_ops.h"
#include "test_modules.h"

#include <gtest/gtest.h>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

// root -> type -> name -> one leaf per (language, data).
std::unique_ptr<TResItem>
Tree(const ResourceId& type, const ResourceId& name,
     const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& leaves) {
    auto root = std::make_unique<TResItem>();
    root->IsDirectory = true;
    auto typeDir = NewDirectory(type);
    auto nameDir = NewDirectory(name);
    for (const auto& [language, data] : leaves)
        EXPECT_NE(
            AddLanguage(*nameDir, language, data.data(), static_cast<std::uint32_t>(data.size())),
            nullptr);
    AddDirectory(*typeDir, std::move(nameDir));
    AddDirectory(*root, std::move(typeDir));
    return root;
}

std::vector<std::uint8_t> Build(const TResItem& root, std::uint32_t rva, SectionSizes& sizes) {
    sizes = {};
    EXPECT_TRUE(ComputeSectionSizes(root, sizes));
    // Filled with 0xCC: every byte of the section, gaps included, must be written.
    std::vector<std::uint8_t> image(sizes.NewSize().value_or(0), 0xCC);
    EXPECT_TRUE(BuildSectionImage(rva, root, sizes, image));
    return image;
}

TEST(SectionLayout, WorkedExampleOfOneNamedItem) {
    const auto root = Tree(kRtRcData, u"ABC", {{1049, {1, 2, 3, 4, 5}}});
    SectionSizes sizes;
    const auto image = Build(*root, 0x1000, sizes);
    EXPECT_EQ(sizes.DirAreaSize, 88u);
    EXPECT_EQ(sizes.NameAreaSize, 8u);
    EXPECT_EQ(sizes.DataStart(), 96u);
    EXPECT_EQ(sizes.DataAreaSize, 8u);
    EXPECT_EQ(sizes.NewSize(), 104u);

    ByteImage expected;
    expected.Directory(0, 0, 1);
    expected.Entry(16, 10, 0x80000000 | 24);
    expected.Directory(24, 1, 0);
    expected.Entry(40, 0x80000000 | 88, 0x80000000 | 48);
    expected.Directory(48, 0, 1);
    expected.Entry(64, 1049, 72);
    expected.DataEntry(72, 0x1000 + 96, 5);
    expected.Name(88, u"ABC");
    expected.Put(96, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0, 0, 0});
    EXPECT_TRUE(SameBytes(expected.Data, image));
}

TEST(SectionLayout, EmptyItemsTakeNoDataAndNamesPackWithoutAlignment) {
    // Two named types, each with one name holding two languages (one of them
    // empty), then a numbered type: pre-order, names in walk order.
    auto root = std::make_unique<TResItem>();
    root->IsDirectory = true;
    for (const char16_t* typeName : {u"BCD", u"AB"}) {
        auto typeDir = NewDirectory(ResourceId(typeName));
        auto nameDir = NewDirectory(ResourceId(u"XY"));
        const std::uint8_t bytes[] = {7, 7, 7};
        AddLanguage(*nameDir, 2, bytes, 3);
        AddLanguage(*nameDir, 1, bytes, 0);
        AddDirectory(*typeDir, std::move(nameDir));
        AddDirectory(*root, std::move(typeDir));
    }
    AddDirectory(*root, NewDirectory(ResourceId(5)));

    SectionSizes sizes;
    const auto image = Build(*root, 0x2000, sizes);
    // Tables: root 16+24; per type 24 + name 16+16 + 2 data entries 32; empty type 16.
    EXPECT_EQ(sizes.DirAreaSize, 40u + 2 * (24 + 32 + 32) + 16);
    EXPECT_EQ(sizes.NameAreaSize, 6u + 6 + 8 + 6);
    EXPECT_EQ(sizes.DataStart(), 260u); // 258 rounded up: the only alignment gap
    EXPECT_EQ(sizes.DataAreaSize, 8u);

    ByteImage expected;
    const std::uint32_t names = sizes.DirAreaSize;
    const std::uint32_t data = *sizes.DataStart();
    expected.Directory(0, 2, 1);
    expected.Entry(16, 0x80000000 | names, 0x80000000 | 40);         // "AB" first
    expected.Entry(24, 0x80000000 | (names + 12), 0x80000000 | 128); // "BCD"
    expected.Entry(32, 5, 0x80000000 | 216);
    for (std::uint32_t t = 0; t < 2; ++t) {
        const std::uint32_t at = 40 + 88 * t;
        const std::uint32_t nameAt = t == 0 ? names + 6 : names + 20;
        expected.Directory(at, 1, 0);
        expected.Entry(at + 16, 0x80000000 | nameAt, 0x80000000 | (at + 24));
        expected.Directory(at + 24, 0, 2);
        expected.Entry(at + 40, 1, at + 56);
        expected.Entry(at + 48, 2, at + 72);
        expected.DataEntry(at + 56, 0x2000 + data + 4 * t, 0);
        expected.DataEntry(at + 72, 0x2000 + data + 4 * t, 3);
        expected.Put(data + 4 * t, std::vector<std::uint8_t>{7, 7, 7});
    }
    expected.Directory(216, 0, 0);
    expected.Name(names, u"AB");
    expected.Name(names + 6, u"XY");
    expected.Name(names + 12, u"BCD");
    expected.Name(names + 20, u"XY");
    expected.Data.resize(data + 8);
    EXPECT_TRUE(SameBytes(expected.Data, image));
}

TEST(SectionLayout, RefusesTreesItCannotWriteFaithfully) {
    SectionSizes sizes;
    auto root = Tree(kRtRcData, 1, {{1049, {1}}});
    root->IdCount = 2; // the list holds one
    EXPECT_FALSE(ComputeSectionSizes(*root, sizes));
    root->IdCount = 1;
    root->FirstChild->Name = u"X"; // named, but counted as numbered
    sizes = {};
    EXPECT_FALSE(ComputeSectionSizes(*root, sizes));
    root->FirstChild->Name.clear();

    auto longName = Tree(kRtRcData, 1, {{1049, {1}}});
    longName->FirstChild->FirstChild->Name.assign(0x10000, u'N');
    longName->FirstChild->NamedCount = 1;
    longName->FirstChild->IdCount = 0;
    sizes = {};
    EXPECT_FALSE(ComputeSectionSizes(*longName, sizes));

    sizes = {};
    ASSERT_TRUE(ComputeSectionSizes(*root, sizes));
    std::vector<std::uint8_t> image(*sizes.NewSize());
    // Sizes measured for another tree: the walk does not fill them.
    SectionSizes other = sizes;
    other.DataAreaSize += 4;
    std::vector<std::uint8_t> bigger(*other.NewSize());
    EXPECT_FALSE(BuildSectionImage(0x1000, *root, other, bigger));
    // A section that would reach past the 32-bit image addresses.
    EXPECT_FALSE(BuildSectionImage(0xFFFFFFF0u, *root, sizes, image));
    EXPECT_TRUE(BuildSectionImage(0xFFFFFFFFu - *sizes.NewSize(), *root, sizes, image));
    // Sizes that overflow 32 bits are refused, not wrapped.
    SectionSizes huge{0xFFFFFFF0u, 0x20, 0};
    EXPECT_EQ(huge.NewSize(), std::nullopt);
    auto bigLeaf = Tree(kRtRcData, 1, {{1049, {}}});
    bigLeaf->FirstChild->FirstChild->FirstChild->DataSize = 0xFFFFFFFFu;
    sizes = {};
    EXPECT_FALSE(ComputeSectionSizes(*bigLeaf, sizes));
}

TEST(RoundUp, RoundsToAnyUnitAndRefusesZeroAndOverflow) {
    EXPECT_EQ(RoundUp(0, 0x200), 0u);
    EXPECT_EQ(RoundUp(1, 0x200), 0x200u);
    EXPECT_EQ(RoundUp(0x200, 0x200), 0x200u);
    EXPECT_EQ(RoundUp(0x1234, 0x1000), 0x2000u);
    EXPECT_EQ(RoundUp(7, 3), 9u); // units need not be powers of two
    EXPECT_EQ(RoundUp(5, 0), std::nullopt);
    EXPECT_EQ(RoundUp(0xFFFFFFFFu, 4), std::nullopt);
    EXPECT_EQ(RoundUp(0xFFFFFFFCu, 4), 0xFFFFFFFCu);
}

} // namespace
} // namespace acWorkRes
