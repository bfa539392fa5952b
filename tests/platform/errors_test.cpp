// The thread's last-error code and the texts of error codes.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(Errors, LastErrorBelongsToTheThread) {
    platform::SetLastError(1234);
    std::uint32_t seenInOther = 0;
    std::thread other([&] {
        platform::SetLastError(77);
        seenInOther = platform::LastError();
    });
    other.join();
    EXPECT_EQ(seenInOther, 77u);
    EXPECT_EQ(platform::LastError(), 1234u);
    platform::SetLastError(0);
    EXPECT_EQ(platform::LastError(), 0u);
}

TEST(Errors, EveryNamedCodeHasItsOwnText) {
    const std::uint32_t codes[] = {
        platform::kErrorFileNotFound,     platform::kErrorAccessDenied,
        platform::kErrorNotEnoughMemory,  platform::kErrorInvalidData,
        platform::kErrorSharingViolation, platform::kErrorHandleEof,
        platform::kErrorBadExeFormat,     platform::kErrorFileInvalid,
    };
    std::vector<std::u16string> texts;
    for (std::uint32_t code : codes) {
        std::u16string text = platform::SystemErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        // No line break or trailing blank: the text ends a log line.
        EXPECT_NE(text.back(), u'\n') << code;
        EXPECT_NE(text.back(), u'\r') << code;
        EXPECT_NE(text.back(), u' ') << code;
        EXPECT_EQ(text.find(u'\n'), std::u16string::npos) << code;
        for (const std::u16string& earlier : texts)
            EXPECT_NE(text, earlier) << code;
        texts.push_back(text);
    }
}

TEST(Errors, UnknownCodesStillGiveAText) {
    std::u16string text = platform::SystemErrorText(0x2FFFFFFE);
    EXPECT_FALSE(text.empty());
}

#ifndef _WIN32
TEST(Errors, PosixTextsAreTheSystemsOwn) {
    EXPECT_EQ(platform::SystemErrorText(platform::kErrorFileNotFound),
              u"No such file or directory");
    EXPECT_EQ(platform::SystemErrorText(platform::kErrorAccessDenied), u"Permission denied");
    EXPECT_EQ(platform::SystemErrorText(platform::kErrorSharingViolation),
              u"The file is being used by another process");
}
#endif

} // namespace
