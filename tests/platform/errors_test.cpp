// The thread's last-error code and the texts of error codes.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(Errors, LastErrorBelongsToTheThread) {
    // Each thread sets its own code, then waits until the other has set its
    // code too, and only then reads: a shared code would show the other's.
    // The threads only spin in between, so that no system call of the
    // waiting itself can touch the codes.
    std::atomic<int> step{0};
    std::uint32_t seenFirst = 0;
    std::uint32_t seenSecond = 0;
    std::thread first([&] {
        platform::SetLastError(1111);
        step = 1;
        while (step.load() != 2) {
        }
        seenFirst = platform::LastError();
        step = 3;
    });
    std::thread second([&] {
        while (step.load() != 1) {
        }
        platform::SetLastError(2222);
        step = 2;
        while (step.load() != 3) {
        }
        seenSecond = platform::LastError();
    });
    first.join();
    second.join();
    EXPECT_EQ(seenFirst, 1111u);
    EXPECT_EQ(seenSecond, 2222u);
    platform::SetLastError(0);
    EXPECT_EQ(platform::LastError(), 0u);
    platform::SetLastError(4321);
    EXPECT_EQ(platform::LastError(), 4321u);
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
