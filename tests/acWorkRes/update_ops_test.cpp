// Adding, replacing and deleting resources in the tree of an open update.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/update_ops.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <string>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

// Every leaf as "type/name/language:size", in list order, after checking
// that each directory's counts match its list and its named children lead.
void Collect(const TResItem& dir, const std::string& path, std::vector<std::string>& out) {
    std::uint32_t named = 0, ids = 0;
    bool seenId = false;
    for (const TResItem* child = dir.FirstChild.get(); child; child = child->Next.get()) {
        if (child->IsNamed()) {
            ++named;
            EXPECT_FALSE(seenId) << "named child after a numbered one under " << path;
        } else {
            ++ids;
            seenId = true;
        }
        const std::string here = path.empty() ? Label(*child) : path + "/" + Label(*child);
        if (child->IsDirectory)
            Collect(*child, here, out);
        else
            out.push_back(here + ":" + std::to_string(child->DataSize));
    }
    EXPECT_EQ(dir.NamedCount, named) << path;
    EXPECT_EQ(dir.IdCount, ids) << path;
}

class UpdateTest : public TemplateUpdateTest {
protected:
    bool Put(const ResourceId& type, const ResourceId& name, std::uint16_t language,
             const std::vector<std::uint8_t>& data) {
        return UpdateResourceItem(handle_, type, name, language, data.data(),
                                  static_cast<std::uint32_t>(data.size()));
    }
    bool Put(const ResourceId& type, const ResourceId& name, std::uint16_t language,
             std::string_view text) {
        return Put(type, name, language, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    bool Delete(const ResourceId& type, const ResourceId& name, std::uint16_t language) {
        return UpdateResourceItem(handle_, type, name, language, nullptr, 5);
    }
    std::vector<std::string> Tree() const {
        std::vector<std::string> out;
        Collect(*handle_->Root, "", out);
        return out;
    }
    TResItem* Leaf(const ResourceId& type, const ResourceId& name, std::uint16_t language) {
        TResLink t = FindDirectory(*handle_->Root, type);
        if (!*t)
            return nullptr;
        TResLink n = FindDirectory(**t, name);
        return *n ? FindLanguage(**n, language)->get() : nullptr;
    }
    static std::string Data(const TResItem& leaf) {
        std::vector<std::uint8_t> bytes(leaf.DataSize);
        if (leaf.ImageData)
            bytes.assign(leaf.ImageData, leaf.ImageData + leaf.DataSize);
        else if (!leaf.DataCopy.empty())
            bytes = leaf.DataCopy;
        else if (leaf.TempFile.IsOpen()) {
            EXPECT_TRUE(leaf.TempFile.ReadAt(0, bytes));
        }
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(UpdateTest, DataUpToTheThresholdIsCopiedLargerDataWaitsInATemporaryFile) {
    const std::vector<std::uint8_t> limit(LargeDataThreshold, 'a');
    std::vector<std::uint8_t> over(LargeDataThreshold + 1, 'b');
    over.back() = 'z';
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, limit));
    ASSERT_TRUE(Put(kRtRcData, 2, 1049, over));
    const TResItem* small = Leaf(kRtRcData, 1, 1049);
    const TResItem* large = Leaf(kRtRcData, 2, 1049);
    ASSERT_TRUE(small && large);
    EXPECT_EQ(small->DataCopy.size(), LargeDataThreshold);
    EXPECT_FALSE(small->TempFile.IsOpen());
    EXPECT_TRUE(large->DataCopy.empty());
    EXPECT_TRUE(large->TempFile.IsOpen());
    EXPECT_EQ(large->DataSize, LargeDataThreshold + 1);
    EXPECT_EQ(Data(*large), std::string(over.begin(), over.end()));
    EXPECT_EQ(scratch_.TempFileCount(), 1u);
    // The caller's buffer is not referred to after the call.
    over.assign(over.size(), 'x');
    EXPECT_EQ(Data(*large).back(), 'z');
}

TEST_F(UpdateTest, EmptyDataIsStoredNilDataDeletesWhateverTheSize) {
    const std::uint8_t byte = 0;
    ASSERT_TRUE(UpdateResourceItem(handle_, kRtRcData, 1, 1049, &byte, 0));
    EXPECT_EQ(Tree(), std::vector<std::string>{"10/1/1049:0"});
    ASSERT_TRUE(Delete(kRtRcData, 1, 1049));
    EXPECT_TRUE(Tree().empty());
}

TEST_F(UpdateTest, ReplacingKeepsThePlaceAndReservedAndDropsAllTracesOfTheOldData) {
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "one"));
    ASSERT_TRUE(Put(kRtRcData, 1, 1050, "other"));
    ASSERT_TRUE(Put(kRtRcData, 1, 1048, "first"));
    TResItem* leaf = Leaf(kRtRcData, 1, 1049);
    leaf->Reserved = 77;
    leaf->CodePage = 1251;
    const std::vector<std::uint8_t> large1(40000, '1'), large2(50000, '2');
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, large1));
    EXPECT_EQ(scratch_.TempFileCount(), 1u);
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, large2)); // large over large
    EXPECT_EQ(scratch_.TempFileCount(), 1u);
    leaf = Leaf(kRtRcData, 1, 1049);
    EXPECT_EQ(Data(*leaf), std::string(large2.begin(), large2.end()));
    EXPECT_EQ(leaf->Reserved, 77u);
    EXPECT_EQ(leaf->CodePage, 0u);
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "small again"));
    EXPECT_EQ(scratch_.TempFileCount(), 0u);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"10/1/1048:5", "10/1/1049:11", "10/1/1050:5"}));
    EXPECT_EQ(Data(*Leaf(kRtRcData, 1, 1049)), "small again");
}

TEST_F(UpdateTest, ReplacingDataReadFromTheModuleLeavesTheModuleView) {
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "from the module"));
    ASSERT_TRUE(EndResourceUpdate(handle_, false));
    handle_ = BeginResourceUpdate(U16(path_), false);
    ASSERT_NE(handle_, nullptr);
    TResItem* leaf = Leaf(kRtRcData, 1, 1049);
    ASSERT_NE(leaf->ImageData, nullptr);
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "new"));
    leaf = Leaf(kRtRcData, 1, 1049);
    EXPECT_EQ(leaf->ImageData, nullptr);
    EXPECT_EQ(Data(*leaf), "new");
}

TEST_F(UpdateTest, NamesSortByCodeUnitsBeforeNumbersAndLookUpsAreExact) {
    ASSERT_TRUE(Put(kRtRcData, u"logo", 1049, "lower"));
    ASSERT_TRUE(Put(kRtRcData, u"ZZ", 1049, "zz"));
    ASSERT_TRUE(Put(kRtRcData, u"LOGO", 1049, "upper"));
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "number")); // after the names though smaller
    ASSERT_TRUE(Put(kRtRcData, u"A_1", 1049, "a"));
    ASSERT_TRUE(Put(kRtRcData, u"A1", 1049, "b"));
    ASSERT_TRUE(Put(u"TYPE", 1, 1049, "named type"));
    ASSERT_TRUE(Put(kRtString, 1, 1049, "strings"));
    EXPECT_EQ(Tree(),
              (std::vector<std::string>{"\"TYPE\"/1/1049:10", "6/1/1049:7", "10/\"A1\"/1049:1",
                                        "10/\"A_1\"/1049:1", "10/\"LOGO\"/1049:5",
                                        "10/\"ZZ\"/1049:2", "10/\"logo\"/1049:5", "10/1/1049:6"}));
    EXPECT_EQ(Data(*Leaf(kRtRcData, u"LOGO", 1049)), "upper");
    EXPECT_EQ(Data(*Leaf(kRtRcData, u"logo", 1049)), "lower");
    EXPECT_EQ(Leaf(kRtRcData, u"Logo", 1049), nullptr);
}

TEST_F(UpdateTest, DeletionsRemoveEmptiedDirectoriesUpToButNotTheRoot) {
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "x"));
    ASSERT_TRUE(Delete(kRtRcData, 1, 1049));
    EXPECT_TRUE(Tree().empty());
    EXPECT_EQ(FindDirectory(*handle_->Root, kRtRcData)->get(), nullptr);
    ASSERT_NE(handle_->Root, nullptr);
    EXPECT_EQ(handle_->Root->NamedCount + handle_->Root->IdCount, 0u);

    const std::vector<std::string> full = {"6/1/1049:1", "10/1/0:2", "10/1/1049:3", "10/2/1049:4",
                                           "10/3/7:5"};
    ASSERT_TRUE(Put(kRtString, 1, 1049, "s"));
    ASSERT_TRUE(Put(kRtRcData, 1, 0, "aa"));
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "bbb"));
    ASSERT_TRUE(Put(kRtRcData, 2, 1049, "cccc"));
    ASSERT_TRUE(Put(kRtRcData, 3, 7, "ddddd"));
    ASSERT_EQ(Tree(), full);
    // Nothing to delete: no change, still true.
    EXPECT_TRUE(Delete(kRtRcData, 9, 1049));
    EXPECT_TRUE(Delete(kRtIcon, 1, 1049));
    EXPECT_TRUE(Delete(kRtRcData, 2, 1050));                // another language of an existing name
    EXPECT_TRUE(Delete(kRtRcData, std::uint16_t{0}, 1049)); // name 0 alone does not mean the type
    EXPECT_EQ(Tree(), full);
    // Language 0 removes the language-0 leaf where there is one...
    EXPECT_TRUE(Delete(kRtRcData, 1, 0));
    EXPECT_EQ(Tree(),
              (std::vector<std::string>{"6/1/1049:1", "10/1/1049:3", "10/2/1049:4", "10/3/7:5"}));
    // ...and the whole name where there is none.
    EXPECT_TRUE(Delete(kRtRcData, 1, 0));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"6/1/1049:1", "10/2/1049:4", "10/3/7:5"}));
    // Name 0 and language 0 remove the whole type.
    EXPECT_TRUE(Delete(kRtRcData, std::uint16_t{0}, 0));
    EXPECT_EQ(Tree(), std::vector<std::string>{"6/1/1049:1"});
}

TEST_F(UpdateTest, RefusedCallsLeaveTheTreeAsItWas) {
    ASSERT_TRUE(Put(kRtRcData, 1, 1049, "keep"));
    const auto before = Tree();
    EXPECT_FALSE(Put(u"", 1, 1049, "x"));
    EXPECT_FALSE(Put(kRtRcData, u"", 1049, "x"));
    EXPECT_FALSE(Delete(kRtRcData, u"", 0));
    EXPECT_FALSE(Put(kRtRcData, std::u16string(0x10000, u'N'), 1049, "x"));
    EXPECT_TRUE(Put(kRtRcData, std::u16string(0xFFFF, u'N'), 1049, "x"));
    EXPECT_TRUE(Delete(kRtRcData, std::u16string(0xFFFF, u'N'), 1049));
    EXPECT_EQ(Tree(), before);

    // Large data whose temporary file cannot be created: false, nothing added,
    // and a replaced leaf keeps its old data.
    fs::remove_all(scratch_.TempFolder());
    const std::vector<std::uint8_t> large(40000, 'L');
    EXPECT_FALSE(Put(kRtIcon, 5, 1049, large));
    EXPECT_FALSE(Put(kRtRcData, 2, 1049, large));
    EXPECT_FALSE(Put(kRtRcData, 1, 1050, large));
    EXPECT_FALSE(Put(kRtRcData, 1, 1049, large));
    EXPECT_EQ(Tree(), before);
    EXPECT_EQ(Data(*Leaf(kRtRcData, 1, 1049)), "keep");
    fs::create_directories(scratch_.TempFolder());
}

TEST_F(UpdateTest, ANilHandleChangesNothing) {
    EXPECT_TRUE(UpdateResourceItem(nullptr, kRtRcData, 1, 1049, nullptr, 0));
    const std::uint8_t byte = 1;
    EXPECT_TRUE(UpdateResourceItem(nullptr, u"", u"", 0, &byte, 1));
}

TEST(AddLanguage, RefusesADirectoryWhoseTableCannotCountMore) {
    auto dir = NewDirectory(ResourceId(1));
    const std::uint8_t byte = 1;
    ASSERT_NE(AddLanguage(*dir, 1049, &byte, 1), nullptr);
    dir->IdCount = kMaxEntriesPerDirectory;
    EXPECT_EQ(AddLanguage(*dir, 1050, &byte, 1), nullptr);
    EXPECT_EQ(dir->FirstChild->Next, nullptr);
    dir->IdCount = 1;
}

} // namespace
} // namespace acWorkRes
