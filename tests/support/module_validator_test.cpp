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
