// The application's title and the text of its error report.
#include "app/app_title.h"
#include "app/error_report.h"
#include "skin/build_driver.h"

#include "app_test_support.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

TEST(ApplicationTitle, NameUpToTheFirstFullStopWithLaterLettersLowered) {
    app_test::ExpectEachGives(app::ApplicationTitle,
                              {
                                  {u"/opt/ksb/KestoSkinBuilder", u"Kestoskinbuilder"},
                                  {u"C:\\Tools\\KestoSkinBuilder.exe", u"Kestoskinbuilder"},
                                  {u"D:KSB.EXE", u"Ksb"},
                                  {u"C:\\x.y\\MY.APP.EXE", u"My"},
                                  {u"kSB", u"ksb"},
                                  {u"Build2Go_X.exe", u"Build2go_x"},
                                  {u"/p/\u00C9COLE.exe", u"\u00C9cole"},
                                  {u"/p/\u00D7\u00D7", u"\u00D7\u00D7"},
                                  {u"C:\\\u0421\u041A\u0418\u041D\u0429\u0418\u041A.exe",
                                   u"\u0421\u043A\u0438\u043D\u0449\u0438\u043A"},
                                  {u"/p/\u0401\u0401", u"\u0401\u0451"},
                                  {u"/p/.hidden", u""},
                                  {u"/p/", u""},
                                  {u"", u""},
                              });
}

TEST(ErrorReportText, FullStopAppendedOnlyAfterCharactersThatSortAfterIt) {
    app_test::ExpectEachGives(
        app::ErrorReportText,
        {
            {u"Cannot open file \"a.rc\". Access denied",
             u"Cannot open file \"a.rc\". Access denied."},
            {u"Ends with a full stop.", u"Ends with a full stop."},
            {u"Ends with a slash /", u"Ends with a slash /."}, // '/' is 0x2F
            {u"Ends with a digit 0", u"Ends with a digit 0."},
            {u"Ends with a bang!", u"Ends with a bang!"},   // '!' is 0x21
            {u"Ends with a dash -", u"Ends with a dash -"}, // '-' is 0x2D
            {u"Ends with a comma,", u"Ends with a comma,"},
            {u"Ends with a bracket)", u"Ends with a bracket)"},
            {u"Ends with a blank ", u"Ends with a blank "},
            {u"\u041E\u0448\u0438\u0431\u043A\u0430", u"\u041E\u0448\u0438\u0431\u043A\u0430."},
            {u"", u""},
        });
}

TEST(ErrorMessage, EachKindOfErrorGivesItsText) {
    EXPECT_EQ(app::ErrorMessage(skin::GeneralError(u"Cannot create file \"x\". Denied")),
              u"Cannot create file \"x\". Denied");
    EXPECT_EQ(app::ErrorMessage(std::bad_alloc()), u"Out of memory");
    EXPECT_EQ(app::ErrorMessage(std::runtime_error("disk on fire")), u"disk on fire");
    EXPECT_EQ(app::ErrorMessage(std::runtime_error("\xd0\x94\xd0\xb0")), u"\u0414\u0430");
}

} // namespace
