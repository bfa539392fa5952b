// Hostile scripts, data files and icons fed to a whole build: each ends with
// a clear result, a line in the log or the "Cannot open file" error, and
// every module that is written is sound.
#include "hostile_support.h"
#include "platform/platform.h"
#include "skin/build_driver.h"
#include "support/module_validator.h"
#include "support/temp_environment.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace hostile;
using ksbtest::ResourceLeaf;

class KeptLog final : public skin::BuildLog {
public:
    void AppendLine(std::u16string_view line) override { lines.emplace_back(line); }
    bool Has(const std::u16string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::u16string> lines;
};

Bytes Utf16Le(std::u16string_view text, bool marker = true) {
    Bytes bytes;
    if (marker)
        bytes = {0xFF, 0xFE};
    for (char16_t c : text)
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    return bytes;
}

Bytes Utf16Be(std::u16string_view text) {
    Bytes bytes = {0xFE, 0xFF};
    for (char16_t c : text)
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
    return bytes;
}

Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kColors = {'r', 'e', 'd', '\n'};

// A program folder whose Files\ holds one script (the first row's) and a
// data file; the build's log, used files and first module.
class BuildTest : public testing::Test {
protected:
    BuildTest() {
        fs::create_directories(scratch_.Path("Files/data"));
        fs::create_directories(scratch_.Path("Files/icons"));
        WriteFile(scratch_.Path("Files/data/colors.txt"), kColors);
    }

    std::u16string Folder() const { return U16(scratch_.Path("")); }
    std::u16string Path(const std::u16string& relative) const {
        return platform::JoinPath(Folder(), relative);
    }

    // Builds with `script` as the first row's script; the module must be
    // sound whenever the row ended with "done!".
    void Build(const Bytes& script) {
        WriteFile(scratch_.Path("Files/vistel.rc"), script);
        log_.lines.clear();
        skin::BuildSkins(false, Folder(), log_, used_);
        module_ = ReadFile(scratch_.Path("_skin/vistel.dll"));
        if (log_.Has(u"done!")) {
            for (const std::string& problem : ksbtest::ValidateModule(module_))
                ADD_FAILURE() << problem;
        }
        leaves_ = ksbtest::ListResources(module_);
    }

    const ResourceLeaf* Find(std::uint32_t type, std::uint32_t name,
                             const std::u16string& text = u"") const {
        for (const ResourceLeaf& l : leaves_)
            if (l.type == type && l.name == name && l.nameText == text)
                return &l;
        return nullptr;
    }

    Scratch scratch_;
    KeptLog log_;
    std::vector<std::u16string> used_;
    Bytes module_;
    std::vector<ResourceLeaf> leaves_;
};

TEST_F(BuildTest, Utf16ScriptsOfOddLengthLoseOnlyTheirLastByte) {
    const std::u16string text = u"1 RCDATA data\\colors.txt\r\n";
    for (Bytes script : {Utf16Le(text), Utf16Be(text)}) {
        script.push_back('2');
        Build(script);
        EXPECT_TRUE(log_.Has(u"done!"));
        ASSERT_NE(Find(10, 1), nullptr);
        EXPECT_EQ(Find(10, 1)->data, kColors);
        EXPECT_EQ(leaves_.size(), 1u);
    }
}

TEST_F(BuildTest, UnpairedSurrogatesStayInNamesTextsAndPaths) {
    const std::u16string high(1, u'\xD800');
    const std::u16string low(1, u'\xDC00');
    Build(Utf16Le(u"BEGIN\r\n1 \"a" + high + u"b\"\r\nEND\r\n" + high +
                  u"K RCDATA data\\colors.txt\r\n2 RCDATA data\\c" + low + u".txt\r\n"));
    EXPECT_TRUE(log_.Has(u"resource id \"" + high + u"K\" not found, write as string id !"));
    EXPECT_TRUE(log_.Has(u"file \"" + Path(u"Files\\data\\c" + low + u".txt") + u"\" not found"));
    EXPECT_TRUE(log_.Has(u"done!"));
    const ResourceLeaf* named = Find(10, ResourceLeaf::kNamed, high + u"K");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->data, kColors);
    const ResourceLeaf* block = Find(6, 1);
    ASSERT_NE(block, nullptr);
    const Bytes entry1 = {3, 0, 'a', 0, 0x00, 0xD8, 'b', 0};
    EXPECT_TRUE(std::equal(entry1.begin(), entry1.end(), block->data.begin() + 2));
}

TEST_F(BuildTest, ANulByteEndsTheScriptWhereverItStands) {
    const std::string text("1 RCDATA data\\colors.txt\r\n2 RCDATA data\\col\0ors.txt\r\n"
                           "3 RCDATA data\\colors.txt\r\n",
                           79);
    for (const Bytes& script : {Ascii(text), Utf16Le(platform::Utf8ToUtf16(text))}) {
        Build(script);
        EXPECT_TRUE(log_.Has(u"file \"" + Path(u"Files\\data\\col") + u"\" not found"));
        EXPECT_NE(Find(10, 1), nullptr);
        EXPECT_EQ(Find(10, 3), nullptr);
        EXPECT_EQ(used_,
                  (std::vector<std::u16string>{u"vistel.rc", u"data\\colors.txt", u"data\\col"}));
    }
}

TEST_F(BuildTest, NumbersThatOverflowNameTheResourceOrSkipTheLine) {
    Build(Ascii("#define BIG 4294967296\r\n"
                "#define NEG -5\r\n"
                "BIG RCDATA data\\colors.txt\r\n"
                "99999999999 RCDATA data\\colors.txt\r\n"
                "70000 RCDATA data\\colors.txt\r\n"
                "NEG RCDATA data\\colors.txt\r\n"
                "$FFFFFFFF ICON icons\\none.ico\r\n"));
    // Not a number at all: written under the key's text, with the warning.
    EXPECT_TRUE(log_.Has(u"resource id \"BIG\" not found, write as string id !"));
    EXPECT_NE(Find(10, ResourceLeaf::kNamed, u"BIG"), nullptr);
    EXPECT_TRUE(log_.Has(u"resource id \"99999999999\" not found, write as string id !"));
    EXPECT_NE(Find(10, ResourceLeaf::kNamed, u"99999999999"), nullptr);
    // Numbers a resource cannot carry: the line is skipped and says why.
    EXPECT_TRUE(log_.Has(u"resource id \"70000\" is out of range (70000), line skipped !"));
    EXPECT_TRUE(log_.Has(u"resource id \"NEG\" is out of range (-5), line skipped !"));
    EXPECT_TRUE(log_.Has(u"resource id \"$FFFFFFFF\" is out of range (-1), line skipped !"));
    EXPECT_EQ(leaves_.size(), 2u);
    EXPECT_EQ(used_.size(), 3u); // the script and the two lines written
}

TEST_F(BuildTest, TenMegabyteLines) {
    const std::string huge(10 * 1024 * 1024, 'x');
    Build(Ascii("BEGIN\r\n1 \"" + huge + "\"\r\nEND\r\n" + huge + " RCDATA data\\colors.txt\r\n" +
                "2 RCDATA data\\" + huge + "\r\n3 RCDATA data\\colors.txt\r\n"));
    // The string is cut to what its length word can say.
    EXPECT_TRUE(log_.Has(u"string 1 is longer than 65535 characters, cut !"));
    const ResourceLeaf* block = Find(6, 1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->data[2] | (block->data[3] << 8), 0xFFFF);
    // A name too long for the section is refused by the updater, silently.
    const std::u16string key(huge.size(), u'x');
    EXPECT_TRUE(log_.Has(u"resource id \"" + key + u"\" not found, write as string id !"));
    // A path too long for the file system is a file that is not there.
    EXPECT_TRUE(log_.Has(u"file \"" + Path(u"Files\\data\\" + key) + u"\" not found"));
    // The lines after them still count.
    EXPECT_NE(Find(10, 3), nullptr);
    EXPECT_EQ(leaves_.size(), 2u);
    EXPECT_TRUE(log_.Has(u"done!"));
}

TEST_F(BuildTest, IconFilesThatHoldNoIconAreLoggedAndLeaveTheModuleSound) {
    const auto icon = [](std::uint16_t count, std::uint32_t size, std::uint32_t offset) {
        Bytes bytes = {0, 0, 1, 0};
        Put16(bytes, 4, count);
        Put32(bytes, 6 + 8, size);
        Put32(bytes, 6 + 12, offset);
        bytes.resize(6 + 16 + 8, 0x55);
        return bytes;
    };
    const std::pair<const char*, Bytes> bad[] = {
        {"count0", icon(0, 8, 22)},
        {"countFFFF", icon(0xFFFF, 8, 22)},
        {"offset", icon(1, 8, 0x1000)},
        {"size2g", icon(1, 0x80000000u, 22)},
        {"sizeFFFFFFFF", icon(1, 0xFFFFFFFFu, 22)},
    };
    std::string script;
    for (const auto& [name, bytes] : bad) {
        WriteFile(scratch_.Path(std::string("Files/icons/") + name + ".ico"), bytes);
        script += std::string(name) + " ICON icons\\" + name + ".ico\r\n";
    }
    WriteFile(scratch_.Path("Files/icons/good.ico"), icon(1, 8, 22));
    Build(Ascii(script + "GOOD ICON icons\\good.ico\r\n"));
    for (const auto& [name, bytes] : bad) {
        const std::u16string path = Path(u"Files\\icons\\" + platform::Utf8ToUtf16(name) + u".ico");
        EXPECT_TRUE(log_.Has(u"file \"" + path + u"\" is not a valid icon")) << name;
    }
    EXPECT_TRUE(log_.Has(u"done!"));
    EXPECT_NE(Find(14, ResourceLeaf::kNamed, u"GOOD"), nullptr);
    EXPECT_EQ(leaves_.size(), 2u); // the good icon's image and group
}

// A folder is no file: where a data file or an icon belongs it is "not found",
// like a name that does not exist, and the row goes on.
TEST_F(BuildTest, FoldersWhereFilesBelongAreNotFound) {
    fs::create_directories(scratch_.Path("Files/data/sub"));
    fs::create_directories(scratch_.Path("Files/icons/sub.ico"));
    Build(Ascii("1 RCDATA data\\sub\r\n2 ICON icons\\sub.ico\r\n3 RCDATA data\\colors.txt\r\n"
                "4 RCDATA data\\missing.bin\r\n"));
    EXPECT_TRUE(log_.Has(u"file \"" + Path(u"Files\\data\\sub") + u"\" not found"));
    EXPECT_TRUE(log_.Has(u"file \"" + Path(u"Files\\icons\\sub.ico") + u"\" not found"));
    EXPECT_TRUE(log_.Has(u"file \"" + Path(u"Files\\data\\missing.bin") + u"\" not found"));
    EXPECT_TRUE(log_.Has(u"done!"));
    // Only the real file became a resource.
    std::vector<ResourceLeaf> data;
    for (const ResourceLeaf& leaf : ksbtest::ListResources(module_)) {
        if (leaf.type == 10 || leaf.type == 14)
            data.push_back(leaf);
    }
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0].type, 10u);
    EXPECT_EQ(data[0].name, 3u);
    EXPECT_EQ(data[0].data, kColors);
}

#ifndef _WIN32

// What exists but cannot be opened ends the build with "Cannot open file".
TEST_F(BuildTest, FilesThatExistButCannotBeOpenedEndTheBuild) {
    const auto expectCannotOpen = [&](const std::u16string& relative) {
        try {
            skin::BuildSkins(false, Folder(), log_, used_);
            ADD_FAILURE() << "the build ended normally";
        } catch (const skin::GeneralError& error) {
            EXPECT_TRUE(
                error.Message().starts_with(u"Cannot open file \"" + Path(relative) + u"\". "))
                << platform::Utf16ToUtf8(error.Message());
        }
    };
    // A data file held by another opener.
    WriteFile(scratch_.Path("Files/vistel.rc"), Ascii("1 RCDATA data\\colors.txt\r\n"));
    {
        platform::File holder = platform::OpenExisting(Path(u"Files\\data\\colors.txt"),
                                                       platform::OpenMode::ExclusiveReadWrite);
        ASSERT_TRUE(holder.IsOpen());
        expectCannotOpen(u"Files\\data\\colors.txt");
    }
    // A FIFO where the data file belongs: refused without waiting for a writer.
    fs::remove(scratch_.Path("Files/data/colors.txt"));
    ASSERT_EQ(mkfifo(scratch_.Path("Files/data/colors.txt").c_str(), 0666), 0);
    expectCannotOpen(u"Files\\data\\colors.txt");
    // A FIFO in the place of the script.
    fs::remove(scratch_.Path("Files/vistel.rc"));
    ASSERT_EQ(mkfifo(scratch_.Path("Files/vistel.rc").c_str(), 0666), 0);
    expectCannotOpen(u"Files\\vistel.rc");
}

#endif

} // namespace
