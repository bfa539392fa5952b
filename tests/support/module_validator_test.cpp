#include "support/module_validator.h"

#include "skin/template_module.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::uint8_t> Template() {
    auto t = skin::TemplateModule();
    return {t.begin(), t.end()};
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

bool Mentions(const std::vector<std::string>& problems, const std::string& word) {
    for (const std::string& p : problems)
        if (p.find(word) != std::string::npos)
            return true;
    return false;
}

// The template carries a CheckSum that is not its own; everything else in it
// is sound, so the validator must tell exactly that.
TEST(ModuleValidator, TemplateIsSoundButForItsChecksum) {
    std::vector<std::uint8_t> t = Template();
    ASSERT_EQ(t.size(), 1024u);
    EXPECT_TRUE(ksbtest::ValidateModule(t, {.checkChecksum = false}).empty());
    std::vector<std::string> problems = ksbtest::ValidateModule(t);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(Mentions(problems, "CheckSum"));
    Put32(t, 0x110, ksbtest::ComputeImageChecksum(t));
    EXPECT_TRUE(ksbtest::ValidateModule(t).empty());
}

TEST(ModuleValidator, FindsBrokenStructures) {
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        const char* expected;
    };
    const Case cases[] = {
        {"raw data past the end", 0x1C0, 0x400, "outside the file"},
        {"SizeOfImage off", 0x108, 0x3000, "SizeOfImage"},
        {"root with an entry pointing at itself", 0x20C, 0x00010000, "points back"},
        {"file alignment 0", 0xF4, 0, "power of two"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> t = Template();
        if (c.at == 0x20C) {
            Put32(t, 0x20C, 0x00010000); // one numbered entry
            Put32(t, 0x210, 3);
            Put32(t, 0x214, 0x80000000u); // its table is the root itself
            Put32(t, 0x140 + 4, 0x18);    // the directory now holds 24 bytes
            Put32(t, 0x1B8, 0x18);
        } else {
            Put32(t, c.at, c.value);
        }
        Put32(t, 0x110, ksbtest::ComputeImageChecksum(t));
        EXPECT_TRUE(Mentions(ksbtest::ValidateModule(t), c.expected)) << c.what;
    }
}

} // namespace

namespace {

// The template's resource section at file offset 0x200 replaced by `entries`
// (offset, value) and a table size of `size` bytes.
std::vector<std::uint8_t>
TemplateWithDirectory(const std::vector<std::pair<std::size_t, std::uint32_t>>& entries,
                      std::uint32_t size) {
    std::vector<std::uint8_t> t = Template();
    std::fill(t.begin() + 0x200, t.end(), 0);
    for (const auto& [at, value] : entries)
        Put32(t, 0x200 + at, value);
    Put32(t, 0x144, size); // DataDirectory[2].Size
    Put32(t, 0x1B8, size); // the section's VirtualSize
    Put32(t, 0x110, ksbtest::ComputeImageChecksum(t));
    return t;
}

TEST(ModuleValidator, ListsLeavesWithTheirPathAndFindsMisplacedLevels) {
    // root -> type 10 -> name 1 -> language 1049 -> 4 bytes "data" at 0x58.
    const std::vector<std::pair<std::size_t, std::uint32_t>> tree = {
        {0x0C, 0x00010000}, {0x10, 10},   {0x14, 0x80000018},               // root
        {0x24, 0x00010000}, {0x28, 1},    {0x2C, 0x80000030},               // type
        {0x3C, 0x00010000}, {0x40, 1049}, {0x44, 0x48},                     // name
        {0x48, 0x1058},     {0x4C, 4},    {0x58, 0x61746164} /* "data" */}; // leaf
    const auto sound = TemplateWithDirectory(tree, 0x5C);
    EXPECT_TRUE(ksbtest::ValidateModule(sound).empty());
    const auto leaves = ksbtest::ListResources(sound);
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0].type, 10u);
    EXPECT_EQ(leaves[0].name, 1u);
    EXPECT_EQ(leaves[0].language, 1049u);
    EXPECT_EQ(leaves[0].data, (std::vector<std::uint8_t>{'d', 'a', 't', 'a'}));

    // The language entry leads to an empty directory instead of data.
    auto misplaced = tree;
    misplaced[8].second = 0x80000048;
    misplaced[9].second = 0;
    misplaced[10].second = 0;
    const auto directoryAsLanguage = TemplateWithDirectory(misplaced, 0x5C);
    EXPECT_TRUE(Mentions(ksbtest::ValidateModule(directoryAsLanguage), "language belongs"));
    EXPECT_TRUE(ksbtest::ListResources(directoryAsLanguage).empty());

    // The type entry leads straight to data.
    auto shallow = tree;
    shallow[2].second = 0x48;
    EXPECT_TRUE(Mentions(ksbtest::ValidateModule(TemplateWithDirectory(shallow, 0x5C)),
                         "data entry at depth 0"));
}

} // namespace
