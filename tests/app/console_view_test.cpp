// The log of a command-line run: each line written to the stream as UTF-8
// and kept for the caller.
#include "app/console_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST(ConsoleView, WritesEachLineAsUtf8AndKeepsIt) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        app::ConsoleView console(out);
        console.SetWaitCursor(true);
        console.AppendLogLine(u"=====");
        console.AppendLogLine(u"\u041A\u043E\u043D\u0442\u0430\u043A\u0442\u044B");
        console.AppendLogLine(u"");
        console.SetWaitCursor(false);
        EXPECT_EQ(console.Lines(),
                  (std::vector<std::u16string>{
                      u"=====", u"\u041A\u043E\u043D\u0442\u0430\u043A\u0442\u044B", u""}));
    }
    std::rewind(out);
    std::string written;
    for (int c; (c = std::fgetc(out)) != EOF;)
        written.push_back(static_cast<char>(c));
    std::fclose(out);
    EXPECT_EQ(written,
              "=====\n\xD0\x9A\xD0\xBE\xD0\xBD\xD1\x82\xD0\xB0\xD0\xBA\xD1\x82\xD1\x8B\n\n");
}

TEST(ConsoleView, WithoutAStreamTheLinesAreOnlyKept) {
    app::ConsoleView console(nullptr);
    console.AppendLogLine(u"a");
    EXPECT_EQ(console.Lines(), (std::vector<std::u16string>{u"a"}));
}

} // namespace
