// What the console programs' lines become before they reach a terminal: a
// text from a module or a script can move no cursor and split no line.
#include "app/console/console.h"

#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(ConsoleText, ControlsAreShownEscapedAndNothingElseChanges) {
    app_test::ExpectEachGives(
        app::console::TerminalText,
        {
            {u"_skin\\vistel.dll: RT_MENU \"M\"", u"_skin\\vistel.dll: RT_MENU \"M\""},
            {u"a\nb\r\n\tc", u"a\\nb\\r\\n\\tc"},
            {u"\a\b\v\f", u"\\a\\b\\v\\f"},
            {u"\x1b[31mX", u"\\x1b[31mX"},
            {std::u16string(u"N\0L", 3), u"N\\x00L"},
            {u"\x01\x1f\x7f", u"\\x01\\x1f\\x7f"},
            {u"\x80\x85\x9f\xa0", u"\\x80\\x85\\x9f\xa0"},
            {u"\u2028\u2029", u"\\u2028\\u2029"},
            {u"Сообщение \U0001F600", u"Сообщение \U0001F600"},
            {u"\xd800x", u"\\xd800x"},
            {u"\xdc00\xd83d", u"\\xdc00\\xd83d"},
        });
}

} // namespace
