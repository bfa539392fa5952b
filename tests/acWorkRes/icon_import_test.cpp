// Importing .ico files as RT_ICON images and RT_GROUP_ICON directories: the
// IDs the images get, replacing groups (from the module and from earlier in
// the same update), languages, and icon files that must be turned down.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/icon_import.h"
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/update_ops.h"
#include "platform/platform.h"
#include "support/module_validator.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

constexpr std::uint16_t kRu = 1049;
constexpr std::uint16_t kEn = 1033;

// One image of a test icon: the ICONDIRENTRY fields and its bytes.
struct Image {
    std::uint8_t Width = 16;
    std::uint8_t Height = 16;
    std::uint8_t ColorCount = 0;
    std::uint8_t Reserved = 0;
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 32;
    std::vector<std::uint8_t> Bytes;
};

// `count` images whose entries and bytes all differ, so that a mix-up shows.
std::vector<Image> Images(int count, int seed) {
    std::vector<Image> images;
    for (int k = 0; k < count; ++k) {
        Image image;
        image.Width = static_cast<std::uint8_t>(16 * (k + 1));
        image.Height = static_cast<std::uint8_t>(16 * (k + 1) + 1);
        image.ColorCount = static_cast<std::uint8_t>(seed);
        image.Reserved = static_cast<std::uint8_t>(k + 0xA0);
        image.Planes = static_cast<std::uint16_t>(0x0100 + k);
        image.BitCount = static_cast<std::uint16_t>(0x2000 + seed);
        image.Bytes.resize(40 + 8 * static_cast<std::size_t>(seed) + static_cast<std::size_t>(k));
        for (std::size_t i = 0; i < image.Bytes.size(); ++i)
            image.Bytes[i] = static_cast<std::uint8_t>(seed * 31 + k * 7 + i);
        images.push_back(std::move(image));
    }
    return images;
}

// The 12 bytes an ICONDIRENTRY and a GRPICONDIRENTRY share.
void PutEntryStart(ByteImage& out, std::size_t at, const Image& image) {
    out.U8(at, image.Width);
    out.U8(at + 1, image.Height);
    out.U8(at + 2, image.ColorCount);
    out.U8(at + 3, image.Reserved);
    out.U16(at + 4, image.Planes);
    out.U16(at + 6, image.BitCount);
    out.U32(at + 8, static_cast<std::uint32_t>(image.Bytes.size()));
}

// An .ico file: header, entries, then the images back to back.
std::vector<std::uint8_t> IcoFile(const std::vector<Image>& images, std::uint16_t reserved = 0,
                                  std::uint16_t type = 1) {
    ByteImage out;
    out.U16(0, reserved);
    out.U16(2, type);
    out.U16(4, static_cast<std::uint16_t>(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    for (std::size_t k = 0; k < images.size(); ++k) {
        PutEntryStart(out, 6 + 16 * k, images[k]);
        out.U32(6 + 16 * k + 12, static_cast<std::uint32_t>(offset));
        out.Put(offset, images[k].Bytes);
        offset += images[k].Bytes.size();
    }
    out.Data.resize(offset);
    return out.Data;
}

// The group directory that names `images` under `ids`.
std::vector<std::uint8_t> GroupDirectory(const std::vector<Image>& images,
                                         const std::vector<std::uint16_t>& ids,
                                         std::uint16_t reserved = 0, std::uint16_t type = 1) {
    ByteImage out;
    out.U16(0, reserved);
    out.U16(2, type);
    out.U16(4, static_cast<std::uint16_t>(images.size()));
    for (std::size_t k = 0; k < images.size(); ++k) {
        PutEntryStart(out, 6 + 14 * k, images[k]);
        out.U16(6 + 14 * k + 12, ids[k]);
    }
    out.Data.resize(6 + 14 * images.size());
    return out.Data;
}

// A group directory listing `ids` for images that have no entry data.
std::vector<std::uint8_t> GroupListing(const std::vector<std::uint16_t>& ids) {
    std::vector<Image> images(ids.size());
    return GroupDirectory(images, ids);
}

// A line of pecheck.py's resource walk.
std::string Res(const std::string& type, const std::string& name, int language, std::size_t size) {
    return "res " + type + " " + name + " " + std::to_string(language) + " " + std::to_string(size);
}
std::string Res(int type, const std::string& name, int language, std::size_t size) {
    return Res(std::to_string(type), name, language, size);
}
std::string Res(const std::string& type, int name, int language, std::size_t size) {
    return Res(type, std::to_string(name), language, size);
}

class IconImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = scratch_.Path("module.dll");
        WriteFile(module_, TemplateModule().Bytes());
        Open();
        // pefile warns about a file that is mostly zero bytes, as the bare
        // template is; a filler of evenly spread byte values keeps the
        // checked modules clear of that heuristic.
        std::vector<std::uint8_t> filler(kFillerSize);
        for (std::size_t i = 0; i < filler.size(); ++i)
            filler[i] = static_cast<std::uint8_t>(i * 131 + 7);
        ASSERT_TRUE(Put(u"FILLER", std::uint16_t{1}, kRu, filler));
    }
    void TearDown() override {
        if (handle_) {
            EXPECT_TRUE(EndResourceUpdate(handle_, true));
        }
    }

    void Open() {
        handle_ = BeginResourceUpdate(U16(module_), false);
        ASSERT_NE(handle_, nullptr);
    }
    void Commit() {
        ASSERT_TRUE(EndResourceUpdate(handle_, false));
        handle_ = nullptr;
    }
    void CommitAndReopen() {
        Commit();
        Open();
    }

    // Writes the icon file and imports it.
    std::uint32_t Import(const ResourceId& name, const std::vector<std::uint8_t>& ico,
                         std::uint16_t language = kRu) {
        const fs::path path = scratch_.Path("icon" + std::to_string(files_++) + ".ico");
        WriteFile(path, ico);
        return AddIconFromFile(handle_, name, language, U16(path));
    }
    std::uint32_t Import(const ResourceId& name, const std::vector<Image>& images,
                         std::uint16_t language = kRu) {
        return Import(name, IcoFile(images), language);
    }

    bool Put(const ResourceId& type, const ResourceId& name, std::uint16_t language,
             const std::vector<std::uint8_t>& data) {
        return UpdateResourceItem(handle_, type, name, language, data.data(),
                                  static_cast<std::uint32_t>(data.size()));
    }

    std::vector<std::uint8_t> Data(const ResourceId& type, const ResourceId& name,
                                   std::uint16_t language = kRu) {
        std::vector<std::uint8_t> data;
        EXPECT_TRUE(FindResourceData(*handle_, type, name, language, data))
            << "no resource " << (name.IsName() ? "(named)" : std::to_string(name.Number()));
        return data;
    }

    // The group holds exactly `ids` for `images`, and each image is stored
    // unchanged under its ID.
    void ExpectGroup(const ResourceId& name, const std::vector<Image>& images,
                     const std::vector<std::uint16_t>& ids, std::uint16_t language = kRu) {
        EXPECT_TRUE(SameBytes(GroupDirectory(images, ids), Data(kRtGroupIcon, name, language)));
        for (std::size_t k = 0; k < images.size(); ++k)
            EXPECT_TRUE(SameBytes(images[k].Bytes, Data(kRtIcon, ids[k], language)))
                << "image " << k << " under ID " << ids[k];
    }

    // Every leaf as "type/name/language:size:hash", in list order.
    std::vector<std::string> Snapshot() const {
        std::vector<std::string> out;
        Collect(*handle_->Root, "", out);
        return out;
    }
    static void Collect(const TResItem& dir, const std::string& path,
                        std::vector<std::string>& out) {
        for (const TResItem* child = dir.FirstChild.get(); child; child = child->Next.get()) {
            const std::string here = path.empty() ? Label(*child) : path + "/" + Label(*child);
            if (child->IsDirectory) {
                Collect(*child, here, out);
                continue;
            }
            std::vector<std::uint8_t> data;
            if (!ReadLeafData(*child, data)) {
                out.push_back(here + ":" + std::to_string(child->DataSize) + ":unreadable");
                continue;
            }
            std::uint32_t hash = 2166136261u;
            for (std::uint8_t b : data)
                hash = (hash ^ b) * 16777619u;
            out.push_back(here + ":" + std::to_string(child->DataSize) + ":" +
                          std::to_string(hash));
        }
    }

    // The committed module, through pefile and through the module validator.
    void ExpectModule(std::vector<std::string> resources) {
        resources.insert(resources.begin(), Res("\"FILLER\"", 1, kRu, kFillerSize));
        EXPECT_TRUE(PassesPeCheck(module_, resources));
        const std::vector<std::string> problems = ksbtest::ValidateModule(ReadFile(module_));
        EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
    }

    static constexpr std::size_t kFillerSize = 2048;

    ScratchFolder scratch_;
    fs::path module_;
    ResourceUpdateHandle* handle_ = nullptr;
    int files_ = 0;
};

TEST_F(IconImportTest, ImagesTakeTheLowestFreeIdsFrom50) {
    const auto first = Images(3, 1);
    const auto second = Images(2, 2);
    ASSERT_EQ(Import(u"MAIN", first), 0u);
    ASSERT_EQ(Import(std::uint16_t{7}, second), 0u);
    ExpectGroup(u"MAIN", first, {50, 51, 52});
    ExpectGroup(std::uint16_t{7}, second, {53, 54});

    Commit();
    ExpectModule(
        {Res(3, "50", kRu, first[0].Bytes.size()), Res(3, "51", kRu, first[1].Bytes.size()),
         Res(3, "52", kRu, first[2].Bytes.size()), Res(3, "53", kRu, second[0].Bytes.size()),
         Res(3, "54", kRu, second[1].Bytes.size()), Res(14, "\"MAIN\"", kRu, 6 + 3 * 14),
         Res(14, "7", kRu, 6 + 2 * 14)});
    Open();
    ExpectGroup(u"MAIN", first, {50, 51, 52});
    ExpectGroup(std::uint16_t{7}, second, {53, 54});
}

TEST_F(IconImportTest, IdsTakenInTheModuleInAnyLanguageArePassedOver) {
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{50}, kRu, {1, 2, 3}));
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{52}, kEn, {4, 5}));
    CommitAndReopen();

    const auto images = Images(3, 3);
    ASSERT_EQ(Import(std::uint16_t{1}, images), 0u);
    ExpectGroup(std::uint16_t{1}, images, {51, 53, 54});
    Commit();
    ExpectModule({Res(3, "50", kRu, 3), Res(3, "51", kRu, images[0].Bytes.size()),
                  Res(3, "52", kEn, 2), Res(3, "53", kRu, images[1].Bytes.size()),
                  Res(3, "54", kRu, images[2].Bytes.size()), Res(14, "1", kRu, 6 + 3 * 14)});
}

TEST_F(IconImportTest, AReplacedGroupHandsItsIdsOnInOrderAndFurtherImagesCountFromItsLowest) {
    const auto old = Images(3, 4);
    const std::vector<std::uint16_t> oldIds = {7, 3, 9};
    for (std::size_t k = 0; k < 3; ++k)
        ASSERT_TRUE(Put(kRtIcon, oldIds[k], kRu, old[k].Bytes));
    ASSERT_TRUE(Put(kRtGroupIcon, u"APP", kRu, GroupDirectory(old, oldIds)));
    CommitAndReopen();

    const auto images = Images(5, 5);
    ASSERT_EQ(Import(u"APP", images), 0u);
    ExpectGroup(u"APP", images, {7, 3, 9, 4, 5});
    Commit();
    ExpectModule(
        {Res(3, "3", kRu, images[1].Bytes.size()), Res(3, "4", kRu, images[3].Bytes.size()),
         Res(3, "5", kRu, images[4].Bytes.size()), Res(3, "7", kRu, images[0].Bytes.size()),
         Res(3, "9", kRu, images[2].Bytes.size()), Res(14, "\"APP\"", kRu, 6 + 5 * 14)});
}

TEST_F(IconImportTest, AGroupOfFourReplacedByTwoKeepsTheFirstTwoIdsAndDropsTheRest) {
    ASSERT_EQ(Import(std::uint16_t{20}, Images(4, 6)), 0u);
    CommitAndReopen();

    const auto images = Images(2, 7);
    ASSERT_EQ(Import(std::uint16_t{20}, images), 0u);
    ExpectGroup(std::uint16_t{20}, images, {50, 51});
    Commit();
    ExpectModule({Res(3, "50", kRu, images[0].Bytes.size()),
                  Res(3, "51", kRu, images[1].Bytes.size()), Res(14, "20", kRu, 6 + 2 * 14)});
}

TEST_F(IconImportTest, TheSameNameTwiceInOneUpdateReplacesTheFirstImportWithoutOrphans) {
    ASSERT_EQ(Import(u"TWICE", Images(3, 8)), 0u);
    const auto images = Images(2, 9);
    ASSERT_EQ(Import(u"TWICE", images), 0u);
    ExpectGroup(u"TWICE", images, {50, 51});
    Commit();
    ExpectModule({Res(3, "50", kRu, images[0].Bytes.size()),
                  Res(3, "51", kRu, images[1].Bytes.size()),
                  Res(14, "\"TWICE\"", kRu, 6 + 2 * 14)});
}

TEST_F(IconImportTest, AnEarlierGroupKeptInATemporaryFileIsReadFromThere) {
    // 2400 entries make a directory of 33606 bytes, beyond the in-memory limit.
    std::vector<Image> many(2400);
    for (auto& image : many)
        image.Bytes = {0x42};
    ASSERT_EQ(Import(u"BIG", many), 0u);
    const TResItem* group = FindResourceLeaf(*handle_, kRtGroupIcon, u"BIG", kRu);
    ASSERT_NE(group, nullptr);
    ASSERT_TRUE(group->TempFile.IsOpen());
    EXPECT_EQ(scratch_.TempFileCount(), 1u);

    const auto images = Images(3, 10);
    ASSERT_EQ(Import(u"BIG", images), 0u);
    ExpectGroup(u"BIG", images, {50, 51, 52});
    const std::vector<std::string> tree = Snapshot();
    // The filler, three images and the group: none of the 2400 is left.
    EXPECT_EQ(tree.size(), 5u) << ::testing::PrintToString(tree);
    EXPECT_EQ(scratch_.TempFileCount(), 0u);
}

TEST_F(IconImportTest, AGroupWhoseStoredBytesAreLostIsNotReplacedBlindly) {
    ASSERT_EQ(Import(u"LOST", Images(2, 11)), 0u);
    // A leaf that claims data it no longer has.
    TResItem* group = FindResourceLeaf(*handle_, kRtGroupIcon, u"LOST", kRu);
    ASSERT_NE(group, nullptr);
    group->DataCopy.clear();
    const std::vector<std::string> before = Snapshot();

    EXPECT_NE(Import(u"LOST", Images(1, 12)), 0u);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(RemoveIconGroup(*handle_, u"LOST", kRu));
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(IconImportTest, GroupsOfOtherLanguagesAreNeitherFoundNorRemoved) {
    const auto english = Images(2, 13);
    ASSERT_EQ(Import(u"APP", english, kEn), 0u);
    const auto russian = Images(2, 14);
    ASSERT_EQ(Import(u"APP", russian, kRu), 0u);
    ExpectGroup(u"APP", english, {50, 51}, kEn);
    ExpectGroup(u"APP", russian, {52, 53}, kRu);

    // Replacing the Russian group leaves the English one and its images.
    const auto again = Images(1, 15);
    ASSERT_EQ(Import(u"APP", again, kRu), 0u);
    ExpectGroup(u"APP", english, {50, 51}, kEn);
    ExpectGroup(u"APP", again, {52}, kRu);
    Commit();
    ExpectModule({Res(3, "50", kEn, english[0].Bytes.size()),
                  Res(3, "51", kEn, english[1].Bytes.size()),
                  Res(3, "52", kRu, again[0].Bytes.size()), Res(14, "\"APP\"", kEn, 6 + 2 * 14),
                  Res(14, "\"APP\"", kRu, 6 + 1 * 14)});
}

TEST_F(IconImportTest, ALanguageNeutralGroupRemovesOnlyItsOwnLanguagesImages) {
    // A language-0 deletion that finds no leaf would take every language of
    // the name; the image of language 1049 under the group's ID must stay.
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{60}, kRu, {9, 9, 9}));
    ASSERT_TRUE(Put(kRtGroupIcon, u"NEUTRAL", 0, GroupListing({60})));
    const auto images = Images(1, 16);
    ASSERT_EQ(Import(u"NEUTRAL", images, 0), 0u);
    ExpectGroup(u"NEUTRAL", images, {60}, 0);
    EXPECT_EQ(Data(kRtIcon, std::uint16_t{60}, kRu), (std::vector<std::uint8_t>{9, 9, 9}));
}

TEST_F(IconImportTest, StringAndNumericNamesAreAlikeAndNamesKeepTheirCase) {
    const auto lower = Images(1, 17);
    const auto upper = Images(1, 18);
    const auto number = Images(1, 19);
    ASSERT_EQ(Import(u"logo", lower), 0u);
    ASSERT_EQ(Import(u"LOGO", upper), 0u);
    ASSERT_EQ(Import(std::uint16_t{101}, number), 0u);
    ExpectGroup(u"logo", lower, {50});
    ExpectGroup(u"LOGO", upper, {51});
    ExpectGroup(std::uint16_t{101}, number, {52});
    Commit();
    ExpectModule({Res(3, "50", kRu, lower[0].Bytes.size()),
                  Res(3, "51", kRu, upper[0].Bytes.size()),
                  Res(3, "52", kRu, number[0].Bytes.size()), Res(14, "\"LOGO\"", kRu, 20),
                  Res(14, "\"logo\"", kRu, 20), Res(14, "101", kRu, 20)});
}

TEST_F(IconImportTest, TheHeaderIsCopiedWhateverItHolds) {
    const auto images = Images(2, 20);
    ASSERT_EQ(Import(u"ODD", IcoFile(images, 0xBEEF, 0x1234)), 0u);
    EXPECT_TRUE(
        SameBytes(GroupDirectory(images, {50, 51}, 0xBEEF, 0x1234), Data(kRtGroupIcon, u"ODD")));
}

TEST_F(IconImportTest, OldGroupsThatListNothingOrTooLittleAreReadAsFarAsTheyGo) {
    // No images listed: the new images count from 50.
    ASSERT_TRUE(Put(kRtGroupIcon, u"EMPTY", kRu, GroupListing({})));
    // Shorter than its header: nothing listed either.
    ASSERT_TRUE(Put(kRtGroupIcon, u"STUB", kRu, {0, 0, 1, 0}));
    // Says three entries but holds two whole ones and a piece of the third.
    std::vector<std::uint8_t> cut = GroupListing({8, 9, 12});
    cut.resize(6 + 2 * 14 + 5);
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{8}, kRu, {8}));
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{9}, kRu, {9}));
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{12}, kRu, {12}));
    ASSERT_TRUE(Put(kRtGroupIcon, u"CUT", kRu, cut));
    // Lists one image twice: each ID is handed on once.
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{30}, kRu, {30}));
    ASSERT_TRUE(Put(kRtGroupIcon, u"TWICE", kRu, GroupListing({30, 30})));
    CommitAndReopen();

    const auto empty = Images(2, 21);
    ASSERT_EQ(Import(u"EMPTY", empty), 0u);
    ExpectGroup(u"EMPTY", empty, {50, 51});
    const auto stub = Images(1, 22);
    ASSERT_EQ(Import(u"STUB", stub), 0u);
    ExpectGroup(u"STUB", stub, {52});
    const auto replaced = Images(3, 23);
    ASSERT_EQ(Import(u"CUT", replaced), 0u);
    ExpectGroup(u"CUT", replaced, {8, 9, 10});
    // ID 12 was not readable as part of the group, so it stays.
    EXPECT_EQ(Data(kRtIcon, std::uint16_t{12}), (std::vector<std::uint8_t>{12}));
    const auto twice = Images(2, 24);
    ASSERT_EQ(Import(u"TWICE", twice), 0u);
    ExpectGroup(u"TWICE", twice, {30, 31});
    Commit();
    const std::vector<std::string> problems = ksbtest::ValidateModule(ReadFile(module_));
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(IconImportTest, IdsStayWithinSixteenBitsOrTheImportChangesNothing) {
    ASSERT_TRUE(Put(kRtIcon, std::uint16_t{65534}, kRu, {1}));
    ASSERT_TRUE(Put(kRtGroupIcon, u"TOP", kRu, GroupListing({65534})));
    const std::vector<std::string> before = Snapshot();

    EXPECT_EQ(Import(u"TOP", Images(3, 25)), kErrorNoFreeIconId);
    EXPECT_EQ(Snapshot(), before);

    const auto fits = Images(2, 26);
    ASSERT_EQ(Import(u"TOP", fits), 0u);
    ExpectGroup(u"TOP", fits, {65534, 65535});
    Commit();
    ExpectModule({Res(3, "65534", kRu, fits[0].Bytes.size()),
                  Res(3, "65535", kRu, fits[1].Bytes.size()), Res(14, "\"TOP\"", kRu, 34)});
}

TEST_F(IconImportTest, NextFreeIconIdFindsTheLowestFreeIdEvenInAnUnsortedList) {
    std::int32_t start = 50;
    EXPECT_EQ(NextFreeIconId(*handle_, start), std::optional<std::uint16_t>(50));
    for (std::uint16_t id : {50, 51, 52, 65535})
        ASSERT_TRUE(Put(kRtIcon, id, kRu, {1}));
    start = 51;
    EXPECT_EQ(NextFreeIconId(*handle_, start), std::optional<std::uint16_t>(53));
    EXPECT_EQ(start, 53);
    start = 65535;
    EXPECT_EQ(NextFreeIconId(*handle_, start), std::nullopt);

    // A module may list its IDs out of order: 52, 51, 50, 65535.
    TResItem& icons = **FindDirectory(*handle_->Root, kRtIcon);
    std::unique_ptr<TResItem> a = std::move(icons.FirstChild);
    std::unique_ptr<TResItem> b = std::move(a->Next);
    std::unique_ptr<TResItem> c = std::move(b->Next);
    a->Next = std::move(c->Next);
    b->Next = std::move(a);
    c->Next = std::move(b);
    icons.FirstChild = std::move(c);
    start = 50;
    EXPECT_EQ(NextFreeIconId(*handle_, start), std::optional<std::uint16_t>(53));
}

struct BadIcon {
    const char* what;
    std::vector<std::uint8_t> bytes;
};

// A valid one-image file with its entry fields changed.
std::vector<std::uint8_t> Patched(std::uint16_t count, std::uint32_t size, std::uint32_t offset,
                                  std::size_t fileSize = 6 + 16 + 8) {
    ByteImage out;
    out.U16(2, 1);
    out.U16(4, count);
    out.U8(6, 16);
    out.U32(6 + 8, size);
    out.U32(6 + 12, offset);
    out.Data.resize(fileSize, 0x55);
    return out.Data;
}

TEST_F(IconImportTest, FilesThatHoldNoUsableIconAreTurnedDownBeforeAnythingChanges) {
    // An existing group of the same name must survive every refusal.
    ASSERT_EQ(Import(u"KEEP", Images(2, 27)), 0u);
    const std::vector<std::string> before = Snapshot();

    const std::vector<BadIcon> cases = {
        {"empty file", {}},
        {"shorter than the header", {0, 0, 1, 0, 1}},
        {"header without its entry", Patched(1, 8, 22, 6 + 15)},
        {"count 0", Patched(0, 8, 22)},
        {"count 0xFFFF with one entry", Patched(0xFFFF, 8, 22)},
        {"image one byte past the end", Patched(1, 9, 22)},
        {"offset past the end", Patched(1, 0, 31)},
        {"offset at 0xFFFFFFFF", Patched(1, 2, 0xFFFFFFFF)},
        {"offset + size wraps 32 bits", Patched(1, 0x20, 0xFFFFFFF0)},
        {"size 2^31", Patched(1, 0x80000000, 22)},
        {"size 0xFFFFFFFF", Patched(1, 0xFFFFFFFF, 0)},
    };
    for (const BadIcon& bad : cases) {
        EXPECT_EQ(Import(u"KEEP", bad.bytes), platform::kErrorInvalidData) << bad.what;
        EXPECT_EQ(Import(u"NEW", bad.bytes), platform::kErrorInvalidData) << bad.what;
        EXPECT_EQ(Snapshot(), before) << bad.what;
    }
    // The limits themselves: an image that ends exactly at the end of the file.
    EXPECT_EQ(Import(u"EDGE", Patched(1, 8, 22)), 0u);
}

TEST_F(IconImportTest, AFileThatCannotBeReadGivesZeroAndChangesNothing) {
    ASSERT_EQ(Import(u"KEEP", Images(1, 28)), 0u);
    const std::vector<std::string> before = Snapshot();
    EXPECT_EQ(AddIconFromFile(handle_, u"KEEP", kRu, U16(scratch_.Path("missing.ico"))), 0u);
    EXPECT_EQ(AddIconFromFile(handle_, u"KEEP", kRu, U16(scratch_.TempFolder())), 0u);
    EXPECT_EQ(Snapshot(), before);
    // Neither a nil handle nor an empty name reaches the tree.
    EXPECT_EQ(AddIconFromFile(nullptr, u"KEEP", kRu, U16(scratch_.Path("missing.ico"))), 0u);
    EXPECT_EQ(Import(u"", Images(1, 29)), platform::kErrorInvalidData);
    EXPECT_EQ(Snapshot(), before);
}

// A group's directory and images written as an .ico file: imported, it gives
// the same group and images back; parsed, the same header, entries and images.
TEST_F(IconImportTest, IconFileBytesWritesTheFileThatGivesTheGroupBack) {
    const auto images = Images(3, 31);
    const std::vector<std::uint16_t> ids = {50, 51, 52};
    const std::vector<std::uint8_t> group = GroupDirectory(images, ids);
    IconFile icon{std::span(group).first(kIconDirSize), {}};
    for (std::size_t k = 0; k < images.size(); ++k)
        icon.Images.push_back({std::span(group).subspan(kIconDirSize + k * kGroupIconEntrySize, 12),
                               images[k].Bytes});
    const std::vector<std::uint8_t> file = IconFileBytes(icon);
    const auto parsed = ParseIconFile(file);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(SameBytes(parsed->Header, icon.Header));
    ASSERT_EQ(parsed->Images.size(), images.size());
    for (std::size_t k = 0; k < images.size(); ++k) {
        EXPECT_TRUE(SameBytes(parsed->Images[k].Entry, icon.Images[k].Entry)) << k;
        EXPECT_TRUE(SameBytes(parsed->Images[k].Bytes, images[k].Bytes)) << k;
    }
    ASSERT_EQ(Import(u"BACK", file), 0u);
    ExpectGroup(u"BACK", images, ids);
    icon.Images[1].Entry = icon.Images[1].Entry.first(11);
    EXPECT_TRUE(IconFileBytes(icon).empty());
}

TEST(ParseIconFile, PointsAtTheHeaderEntriesAndImagesInsideTheFile) {
    const auto images = Images(2, 30);
    const std::vector<std::uint8_t> file = IcoFile(images, 7, 2);
    const auto icon = ParseIconFile(file);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->Header.data(), file.data());
    EXPECT_EQ(icon->Header.size(), 6u);
    ASSERT_EQ(icon->Images.size(), 2u);
    EXPECT_EQ(icon->Images[1].Entry.data(), file.data() + 6 + 16);
    EXPECT_EQ(icon->Images[1].Entry.size(), 12u);
    EXPECT_EQ(icon->Images[1].Bytes.data(), file.data() + 6 + 32 + images[0].Bytes.size());
    EXPECT_TRUE(SameBytes(images[1].Bytes, icon->Images[1].Bytes));
}

} // namespace
} // namespace acWorkRes
