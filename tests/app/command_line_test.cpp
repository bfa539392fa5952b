#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* what;
    std::string line;
    Args expected;
};

TEST(SplitCommandLine, FollowsTheQuoteAndBlankRules) {
    const SplitCase cases[] = {
        {"empty text", "", {}},
        {"only blanks", " \t \r\n", {}},
        {"program alone", "KestoSkinBuilder", {"KestoSkinBuilder"}},
        {"one argument", "ksb /used", {"ksb", "/used"}},
        {"quoted program path with spaces",
         "\"C:\\Program Files\\KSB\\KestoSkinBuilder.exe\" /used",
         {"C:\\Program Files\\KSB\\KestoSkinBuilder.exe", "/used"}},
        {"leading and repeated blanks", "   ksb    a     b  ", {"ksb", "a", "b"}},
        {"tab separates", "ksb\t/used\tx", {"ksb", "/used", "x"}},
        {"control characters separate", "ksb\x01\x1f/used\x0b\x7fz", {"ksb", "/used", "\x7fz"}},
        {"a \"\" pair before an argument is skipped", "ksb \"\" /used", {"ksb", "/used"}},
        {"several pairs in a row", "ksb \"\"\"\" \"\" x", {"ksb", "x"}},
        {"a pair glued to the argument", "ksb \"\"x", {"ksb", "x"}},
        {"a pair at the end ends the list", "ksb a \"\"", {"ksb", "a"}},
        {"quotes group and are dropped", "ksb a\"b c\"d e", {"ksb", "ab cd", "e"}},
        {"an empty stretch inside an argument", "ksb x\"\"y", {"ksb", "xy"}},
        {"two stretches in one argument", "ksb \"a\"\"b\"", {"ksb", "ab"}},
        {"a quoted blank is an argument", "ksb \" \" x", {"ksb", " ", "x"}},
        {"an unclosed quote runs to the end", "ksb \"open end  ", {"ksb", "open end  "}},
        {"a lone quote at the end comes out empty", "ksb a \"", {"ksb", "a"}},
        {"a NUL ends the text", std::string("ksb a\0b c", 9), {"ksb", "a"}},
        {"bytes above 127 are kept",
         "ksb \xcf\xf0\xe8\xe2\xe5\xf2",
         {"ksb", "\xcf\xf0\xe8\xe2\xe5\xf2"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::SplitCommandLine(c.line), c.expected) << c.what;
}

TEST(SplitCommandLine, OddQuotesAfterSkippedPairsOpenAStretch) {
    // Pairs are taken two by two; an odd quote left over opens a stretch.
    EXPECT_EQ(app::SplitCommandLine("ksb \"\"\"\" a"), (Args{"ksb", "a"}));
    EXPECT_EQ(app::SplitCommandLine("ksb \"\"\" b"), (Args{"ksb", " b"}));
    EXPECT_EQ(app::SplitCommandLine("ksb \"\"\"\"\" b"), (Args{"ksb", " b"}));
    EXPECT_EQ(app::SplitCommandLine("ksb \"\"\"\"\""), (Args{"ksb"}));
}

TEST(CommandLineAction, OnlyTheExactSwitchRunsUsedFiles) {
    using app::StartAction;
    struct {
        Args arguments;
        StartAction expected;
    } const cases[] = {
        {{}, StartAction::ShowWindow},
        {{"ksb"}, StartAction::ShowWindow},
        {{"ksb", "/used"}, StartAction::UsedFiles},
        {{"ksb", "/used", "more", "args"}, StartAction::UsedFiles},
        {{"ksb", "/USED"}, StartAction::Build},
        {{"ksb", "/Used"}, StartAction::Build},
        {{"ksb", "-used"}, StartAction::Build},
        {{"ksb", "/used "}, StartAction::Build},
        {{"ksb", "/use"}, StartAction::Build},
        {{"ksb", "/usedx"}, StartAction::Build},
        {{"ksb", "skin.rc"}, StartAction::Build},
        {{"ksb", "x", "/used"}, StartAction::Build},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.arguments)
            shown += "[" + a + "]";
        EXPECT_EQ(app::CommandLineAction(c.arguments), c.expected) << shown;
    }
}

TEST(CommandLineAction, TakesTheArgumentsAsSplit) {
    // The whole road from the text: a "" pair first, the switch second.
    EXPECT_EQ(app::CommandLineAction(app::SplitCommandLine("ksb \"\" /used")),
              app::StartAction::UsedFiles);
    EXPECT_EQ(app::CommandLineAction(app::SplitCommandLine("ksb \"/used\"")),
              app::StartAction::UsedFiles);
    EXPECT_EQ(app::CommandLineAction(app::SplitCommandLine("ksb \"\"")),
              app::StartAction::ShowWindow);
    EXPECT_EQ(app::CommandLineAction(app::SplitCommandLine("ksb \" /used\"")),
              app::StartAction::Build);
}

} // namespace
