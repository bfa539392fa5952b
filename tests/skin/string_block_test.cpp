#include "skin/string_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>

namespace {

// Reads the block back as the platform's string loading does: 16-bit length
// words, each followed by that many code units.
std::vector<std::u16string> Entries(const std::vector<std::uint8_t>& block) {
    std::vector<std::u16string> out;
    std::size_t pos = 0;
    auto word = [&](std::size_t at) {
        return static_cast<char16_t>(block.at(at) | (block.at(at + 1) << 8));
    };
    while (pos < block.size()) {
        std::size_t length = word(pos);
        pos += 2;
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i, pos += 2)
            text.push_back(word(pos));
        out.push_back(text);
    }
    EXPECT_EQ(pos, block.size()) << "the last length word runs past the block";
    return out;
}

TEST(StringBlock, ThreeEntriesAreCompletedToSixteen) {
    skin::StringBlock block;
    block.Add(u"one");
    block.Add(u"Два");
    block.Add(u"three");
    EXPECT_EQ(block.EntryCount(), 3);
    std::vector<std::u16string> entries = Entries(block.Finish());
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(entries[0], u"");
    EXPECT_EQ(entries[1], u"one");
    EXPECT_EQ(entries[2], u"Два");
    EXPECT_EQ(entries[3], u"three");
    for (std::size_t i = 4; i < 16; ++i)
        EXPECT_EQ(entries[i], u"") << i;
}

TEST(StringBlock, FifteenOrMoreEntriesGetNoCompletion) {
    for (int count : {15, 16, 40}) {
        skin::StringBlock block;
        for (int i = 0; i < count; ++i)
            block.Add(u"s" + std::u16string(static_cast<std::size_t>(i % 7 + 1), u'x'));
        std::vector<std::u16string> entries = Entries(block.Finish());
        EXPECT_EQ(entries.size(), static_cast<std::size_t>(count + 1)) << count;
        EXPECT_EQ(entries.back().front(), u's') << count;
    }
}

TEST(StringBlock, OverlongTextIsCutSoTheLengthWordAgrees) {
    skin::StringBlock block;
    block.Add(std::u16string(70000, u'a'));
    block.Add(std::u16string(skin::kMaxStringLength, u'b'));
    block.Add(u"after");
    std::vector<std::u16string> entries = Entries(block.Finish());
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(entries[1], std::u16string(65535, u'a'));
    EXPECT_EQ(entries[2], std::u16string(65535, u'b'));
    EXPECT_EQ(entries[3], u"after");
}

// ReadStringBlock gives back what the block was made of, and a block cut
// anywhere gives its entries up to the cut, the last one marked.
TEST(StringBlock, ReadStringBlockIsTheInverseOfFinishAndMarksACutEntry) {
    const std::vector<std::u16string> texts = {u"one", u"", u"Два", std::u16string(300, u'x')};
    skin::StringBlock block;
    for (const std::u16string& text : texts)
        block.Add(text);
    const std::vector<std::uint8_t> bytes = block.Finish();
    const std::vector<skin::StringBlockEntry> entries = skin::ReadStringBlock(bytes);
    ASSERT_EQ(entries.size(), 16u);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(entries[k].text, k >= 1 && k <= texts.size() ? texts[k - 1] : u"") << k;
        EXPECT_FALSE(entries[k].cut) << k;
    }
    // Entries 0 ("" at 0..2), 1 ("one" at 2..10), 2 ("" at 10..12), 3 ("Два" at 12..20).
    const std::size_t starts[] = {0, 2, 10, 12, 20};
    for (std::size_t end = 0; end < 20; ++end) {
        const std::vector<skin::StringBlockEntry> part =
            skin::ReadStringBlock(std::span(bytes).first(end));
        const std::size_t whole = static_cast<std::size_t>(
            std::upper_bound(std::begin(starts) + 1, std::end(starts), end) - std::begin(starts) -
            1);
        const bool inside = end >= starts[whole] + 2; // its length word is there
        ASSERT_EQ(part.size(), whole + (inside ? 1 : 0)) << end;
        if (inside) {
            EXPECT_TRUE(part.back().cut) << end;
            EXPECT_EQ(part.back().text, texts[whole - 1].substr(0, (end - starts[whole] - 2) / 2))
                << end;
        }
    }
}

} // namespace
