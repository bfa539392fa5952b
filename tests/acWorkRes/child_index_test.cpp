// Long directory lists: the sorted index must give every answer the walk of
// the list gives, stay in step through insertions and deletions, and step
// aside when a list is out of order or was relinked by hand.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/child_index.h"
#include "acWorkRes/icon_import.h"
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/update_ops.h"
#include "support/module_validator.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

// The walk the index stands in for, written out plainly: the first child
// directory with the key, and the first child that does not sort before it.
ChildPlace WalkFor(TResItem& directory, const ResourceId& key) {
    ChildPlace place;
    for (TResLink link = &directory.FirstChild;; link = &(*link)->Next) {
        TResItem* child = link->get();
        const bool before = child && (key.IsName() ? child->IsNamed() && child->Name < key.Name()
                                                   : child->IsNamed() || child->Id < key.Number());
        if (!place.Insert && !before)
            place.Insert = link;
        const bool match = child && child->IsDirectory &&
                           (key.IsName() ? child->Name == key.Name()
                                         : !child->IsNamed() && child->Id == key.Number());
        if (!child || match) {
            place.Match = link;
            return place;
        }
    }
}

std::u16string NameOf(std::mt19937& random) {
    static const char16_t letters[] = u"AZaz_09.Я";
    std::u16string name;
    const int length = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < length; ++i)
        name += letters[random() % 9];
    return name;
}

ResourceId KeyOf(std::mt19937& random) {
    if (random() % 3 == 0)
        return NameOf(random);
    return static_cast<std::uint16_t>(random() % 400);
}

// A type directory filled through the edits' own look-ups and insertions.
std::unique_ptr<TResItem> FilledDirectory(std::mt19937& random, int insertions) {
    auto type = NewDirectory(kRtRcData);
    for (int i = 0; i < insertions; ++i) {
        const ResourceId key = KeyOf(random);
        const ChildPlace place = LocateDirectory(*type, key);
        if (!*place.Match)
            InsertChild(*type, place.Insert, NewDirectory(key));
    }
    return type;
}

void ExpectSameAsWalk(TResItem& directory, const ResourceId& key) {
    const ChildPlace walked = WalkFor(directory, key);
    const ChildPlace found = LocateDirectory(directory, key);
    EXPECT_EQ(found.Match, walked.Match);
    EXPECT_EQ(found.Insert, walked.Insert);
}

TEST(ChildIndex, LookUpsInALongListGiveTheWalksLinks) {
    std::mt19937 random(7);
    auto type = FilledDirectory(random, 600);
    ASSERT_GE(type->NamedCount + type->IdCount, kChildIndexMinimum);
    ASSERT_NE(UsableChildIndex(*type), nullptr);
    // Present and absent keys, both ends of both halves of the order.
    std::vector<ResourceId> probes = {std::uint16_t{0}, std::uint16_t{399}, std::uint16_t{65535},
                                      u"\x0001", u"\xFFFF\xFFFF"};
    for (const TResItem* child = type->FirstChild.get(); child; child = child->Next.get())
        probes.push_back(child->IsNamed() ? ResourceId(child->Name)
                                          : ResourceId(static_cast<std::uint16_t>(child->Id)));
    for (int i = 0; i < 300; ++i)
        probes.push_back(KeyOf(random));
    for (const ResourceId& key : probes)
        ExpectSameAsWalk(*type, key);

    // An empty name (which the update calls refuse) gets what it got before
    // there was an index.
    const ChildPlace indexed = LocateDirectory(*type, u"");
    DropChildIndex(*type);
    type->NamedCount += 1; // an index is built only for a list that matches its counts
    const ChildPlace walked = LocateDirectory(*type, u"");
    type->NamedCount -= 1;
    EXPECT_EQ(indexed.Match, walked.Match);
    EXPECT_EQ(indexed.Insert, walked.Insert);
}

TEST(ChildIndex, InsertionsAndRemovalsKeepTheListInStrictOrder) {
    std::mt19937 random(11);
    auto type = FilledDirectory(random, 400);
    TResItem* root = type.get();
    // Remove about half of the children through RemoveChain, then add more.
    for (int i = 0; i < 300; ++i) {
        const ResourceId key = KeyOf(random);
        const ChildPlace place = LocateDirectory(*root, key);
        if (!*place.Match)
            continue;
        const TResLink chain[] = {place.Match, &type};
        RemoveChain(chain, 1);
    }
    for (int i = 0; i < 200; ++i) {
        const ResourceId key = KeyOf(random);
        const ChildPlace place = LocateDirectory(*root, key);
        if (!*place.Match)
            InsertChild(*root, place.Insert, NewDirectory(key));
    }
    std::uint32_t named = 0, ids = 0;
    const TResItem* previous = nullptr;
    for (const TResItem* child = root->FirstChild.get(); child; child = child->Next.get()) {
        (child->IsNamed() ? named : ids) += 1;
        if (previous) {
            const bool ordered = previous->IsNamed()
                                     ? (!child->IsNamed() || previous->Name < child->Name)
                                     : (!child->IsNamed() && previous->Id < child->Id);
            EXPECT_TRUE(ordered);
        }
        previous = child;
    }
    EXPECT_EQ(root->NamedCount, named);
    EXPECT_EQ(root->IdCount, ids);
    const ChildIndex* index = UsableChildIndex(*root);
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index->Size(), std::size_t{named} + ids);
    for (int i = 0; i < 200; ++i)
        ExpectSameAsWalk(*root, KeyOf(random));
}

TEST(ChildIndex, AListRelinkedByHandIsAnsweredAsTheWalkAnswers) {
    std::mt19937 random(3);
    auto type = NewDirectory(kRtIcon);
    for (std::uint16_t id = 100; id < 140; ++id)
        InsertChild(*type, LocateDirectory(*type, id).Insert, NewDirectory(id));
    ASSERT_NE(UsableChildIndex(*type), nullptr);

    // Move the first child (100) to the end of the list: the order is broken
    // and a new child 100 placed by the walk goes before 101.
    std::unique_ptr<TResItem> first = std::move(type->FirstChild);
    type->FirstChild = std::move(first->Next);
    TResItem* last = type->FirstChild.get();
    while (last->Next)
        last = last->Next.get();
    last->Next = std::move(first);
    for (const std::uint16_t id : {99, 100, 101, 120, 139, 140})
        ExpectSameAsWalk(*type, id);
    EXPECT_EQ(UsableChildIndex(*type), nullptr); // out of order: walked

    // A second directory of an existing number behind the first: the first wins.
    last->Next->Next = NewDirectory(std::uint16_t{120});
    ++type->IdCount;
    ExpectSameAsWalk(*type, std::uint16_t{120});
    EXPECT_EQ(LocateDirectory(*type, std::uint16_t{120}).Match->get()->Next.get()->Id, 121);
}

TEST(ChildIndex, LeavesAndShortListsAreNotIndexed) {
    auto type = NewDirectory(kRtRcData);
    for (std::uint16_t id = 1; id < kChildIndexMinimum; ++id)
        InsertChild(*type, LocateDirectory(*type, id).Insert, NewDirectory(id));
    EXPECT_EQ(UsableChildIndex(*type), nullptr);
    InsertChild(*type, LocateDirectory(*type, std::uint16_t{500}).Insert,
                NewDirectory(std::uint16_t{500}));
    EXPECT_NE(UsableChildIndex(*type), nullptr);
    // A leaf among the children (a module may hold one): the walk passes over
    // it, and so must every answer.
    const std::uint8_t byte = 1;
    AddLanguage(*type, 250, &byte, 1);
    EXPECT_EQ(type->Index, nullptr);
    EXPECT_EQ(UsableChildIndex(*type), nullptr);
    for (const std::uint16_t id : {0, 5, 249, 250, 251, 500, 501})
        ExpectSameAsWalk(*type, id);
}

class LongModuleTest : public TemplateUpdateTest {
protected:
    bool Put(const ResourceId& type, const ResourceId& name, std::uint8_t value) {
        const std::vector<std::uint8_t> data(1 + value % 7, value);
        return UpdateResourceItem(handle_, type, name, 1049, data.data(),
                                  static_cast<std::uint32_t>(data.size()));
    }
};

struct KeyOrder {
    bool operator()(const ResourceId& a, const ResourceId& b) const {
        if (a.IsName() != b.IsName())
            return a.IsName();
        return a.IsName() ? a.Name() < b.Name() : a.Number() < b.Number();
    }
};

TEST_F(LongModuleTest, ManyItemsAddedAndDeletedInRandomOrderAreCommittedInOrder) {
    std::mt19937 random(5);
    std::set<ResourceId, KeyOrder> expected;
    for (int i = 0; i < 1500; ++i) {
        const ResourceId key = KeyOf(random);
        if (random() % 4 == 0) {
            ASSERT_TRUE(UpdateResourceItem(handle_, kRtRcData, key, 1049, nullptr, 0));
            expected.erase(key);
        } else {
            ASSERT_TRUE(Put(kRtRcData, key, static_cast<std::uint8_t>(i)));
            expected.insert(key);
        }
    }
    std::vector<std::string> names;
    for (const ResourceId& key : expected) {
        std::string label;
        if (key.IsName()) {
            for (const char16_t c : key.Name())
                label += c < 0x80 ? static_cast<char>(c) : '?';
        } else {
            label = std::to_string(key.Number());
        }
        names.push_back(label);
    }
    std::vector<std::string> seen;
    const TResItem* type = FindDirectory(*handle_->Root, kRtRcData)->get();
    ASSERT_NE(type, nullptr);
    for (const TResItem* child = type->FirstChild.get(); child; child = child->Next.get()) {
        std::string label;
        if (child->IsNamed()) {
            for (const char16_t c : child->Name)
                label += c < 0x80 ? static_cast<char>(c) : '?';
        } else {
            label = std::to_string(child->Id);
        }
        seen.push_back(label);
    }
    EXPECT_EQ(seen, names);
    ASSERT_TRUE(EndResourceUpdate(std::exchange(handle_, nullptr), false));
    EXPECT_EQ(ksbtest::ValidateModule(ReadFile(path_)), std::vector<std::string>{});
}

TEST_F(LongModuleTest, FreeIconIdsInALongListAreTheLowestUnused) {
    std::set<std::int32_t> used;
    for (std::int32_t id = 50; id < 400; ++id) {
        if (id == 77 || (id >= 120 && id < 130) || id % 97 == 0)
            continue;
        used.insert(id);
    }
    used.insert(65535);
    for (const std::int32_t id : used)
        ASSERT_TRUE(Put(kRtIcon, static_cast<std::uint16_t>(id), 1));
    ASSERT_TRUE(Put(kRtIcon, u"NAMED", 1)); // named images take no number
    TResItem* icons = FindDirectory(*handle_->Root, kRtIcon)->get();
    ASSERT_NE(UsableChildIndex(*icons), nullptr);
    for (const std::int32_t start :
         {0, 49, 50, 76, 77, 78, 119, 125, 130, 194, 300, 399, 400, 65534, 65535}) {
        std::int32_t expected = start;
        while (used.count(expected))
            ++expected;
        std::int32_t StartId = start;
        const auto id = NextFreeIconId(*handle_, StartId);
        EXPECT_EQ(StartId, expected) << start;
        if (expected <= kLastIconId)
            EXPECT_EQ(id, std::optional<std::uint16_t>(static_cast<std::uint16_t>(expected)));
        else
            EXPECT_EQ(id, std::nullopt) << start;
    }
}

} // namespace
} // namespace acWorkRes
