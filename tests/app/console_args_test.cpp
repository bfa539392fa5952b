// The console programs' command line: help flags, unknown options (and which
// arguments only look like them), "--", too many operands, numeric values.
#include "app/console_args.h"

#include "app_test_support.h"

#include <gtest/gtest.h>

namespace {

using Outcome = app::ConsoleArguments::Outcome;

TEST(ConsoleArguments, EachCommandLineReadsAsItsOutcome) {
    struct Case {
        std::vector<std::u16string> arguments;
        bool slashSwitches;
        Outcome outcome;
        std::vector<std::u16string> operands; // for Run
        std::u16string problem;               // for Misuse
    } const cases[] = {
        {{}, false, Outcome::Run, {}, {}},
        {{u"skins"}, false, Outcome::Run, {u"skins"}, {}},
        // The help flags, on both systems, wherever they stand.
        {{u"--help"}, false, Outcome::Usage, {}, {}},
        {{u"-h"}, true, Outcome::Usage, {}, {}},
        {{u"/?"}, false, Outcome::Usage, {}, {}},
        {{u"/?"}, true, Outcome::Usage, {}, {}},
        {{u"skins", u"--help"}, false, Outcome::Usage, {}, {}},
        // Anything else that starts with "-" is an unknown option; the first
        // flag or problem decides.
        {{u"--hlep"}, false, Outcome::Misuse, {}, u"unknown option \"--hlep\""},
        {{u"-"}, false, Outcome::Misuse, {}, u"unknown option \"-\""},
        {{u"-H"}, true, Outcome::Misuse, {}, u"unknown option \"-H\""},
        {{u"-x", u"--help"}, false, Outcome::Misuse, {}, u"unknown option \"-x\""},
        // "/" and letters: a switch on Windows, a path on Linux; with a
        // further separator or another character, a path on both.
        {{u"/home"}, false, Outcome::Run, {u"/home"}, {}},
        {{u"/home"}, true, Outcome::Misuse, {}, u"unknown option \"/home\""},
        {{u"/home/x"}, true, Outcome::Run, {u"/home/x"}, {}},
        {{u"/"}, true, Outcome::Run, {u"/"}, {}},
        {{u"/h1"}, true, Outcome::Run, {u"/h1"}, {}},
        // A folder whose name starts with "-", given so that it is not one.
        {{u"./-name"}, false, Outcome::Run, {u"./-name"}, {}},
        {{u".\\-name"}, true, Outcome::Run, {u".\\-name"}, {}},
        {{u"--", u"-name"}, false, Outcome::Run, {u"-name"}, {}},
        {{u"--", u"--help"}, true, Outcome::Run, {u"--help"}, {}},
        // One folder at most.
        {{u"a", u"b"}, false, Outcome::Misuse, {}, u"unexpected argument \"b\""},
        {{u"--", u"a", u"--"}, false, Outcome::Misuse, {}, u"unexpected argument \"--\""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::u16string& a : c.arguments)
            shown += " " + app_test::Narrow(a);
        shown += c.slashSwitches ? " (Windows)" : " (Linux)";
        const app::ConsoleArguments read =
            app::ReadConsoleArguments(c.arguments, 1, c.slashSwitches);
        EXPECT_EQ(read.outcome, c.outcome) << shown;
        EXPECT_EQ(read.operands,
                  c.outcome == Outcome::Run ? c.operands : std::vector<std::u16string>{})
            << shown;
        EXPECT_EQ(app_test::Narrow(read.problem), app_test::Narrow(c.problem)) << shown;
    }
}

TEST(ConsoleArguments, TheOperandLimitIsTheProgramsOwn) {
    const std::vector<std::u16string> three{u"a", u"b", u"c"};
    EXPECT_EQ(app::ReadConsoleArguments(three, 3).operands, three);
    EXPECT_EQ(app::ReadConsoleArguments(three, 2).outcome, Outcome::Misuse);
    EXPECT_EQ(app::ReadConsoleArguments({u"a"}, 0).problem, u"unexpected argument \"a\"");
}

TEST(ConsoleArguments, AValueOptionTakesTheNextArgumentWhateverItLooksLike) {
    constexpr std::u16string_view out[] = {u"--out"};
    const auto read = [&](std::vector<std::u16string> arguments) {
        return app::ReadConsoleArguments(arguments, 1, false, out);
    };
    const app::ConsoleArguments both = read({u"_skin", u"--out", u"-x"});
    EXPECT_EQ(both.operands, std::vector<std::u16string>{u"_skin"});
    ASSERT_EQ(both.values.size(), 1u);
    EXPECT_EQ(both.values[0].second, u"-x");
    EXPECT_EQ(read({u"--out"}).problem, u"option \"--out\" needs a value");
    EXPECT_EQ(read({u"--out", u"a", u"--out", u"b"}).problem, u"option \"--out\" given twice");
    // Not taken as a value option where the program names none.
    EXPECT_EQ(app::ReadConsoleArguments({u"--out", u"a"}, 1).outcome, Outcome::Misuse);
}

TEST(ConsoleArguments, ANumberIsDecimalOrHexadecimalAndWithinItsLimit) {
    struct Case {
        std::u16string text;
        std::optional<std::uint32_t> number;
    } const cases[] = {
        {u"1049", 1049},   {u"0x419", 0x419},    {u"0X0409", 0x409}, {u"0", 0},
        {u"65535", 65535}, {u"65536", {}},       {u"0x10000", {}},   {u"", {}},
        {u"0x", {}},       {u"-1", {}},          {u"+5", {}},        {u"10 ", {}},
        {u"1e3", {}},      {u"99999999999", {}}, {u"\uff11", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::ReadNumber(c.text, 0xFFFF), c.number) << app_test::Narrow(c.text);
}

} // namespace
