// The running program: its file name, its own resources, its command line,
// the temporary folder and process numbers.
#include "platform/platform.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/posix/posix_internal.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

TEST(Program, ExeFileNameNamesThisTestProgram) {
    std::u16string exe = platform::GetExeFileName();
    ASSERT_FALSE(exe.empty());
    EXPECT_LE(exe.size(), 261u);
    EXPECT_TRUE(platform::FileExists(exe));
    std::u16string name = platform::FileNamePart(exe);
    EXPECT_EQ(name.rfind(u"test_platform", 0), 0u) << platform::Utf16ToUtf8(exe);
    std::u16string folder = platform::FolderPart(exe);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(platform::FolderExists(folder));
}

TEST(Program, CommandLineStartsWithTheProgram) {
    std::string line = platform::CommandLineBytes();
    ASSERT_FALSE(line.empty());
    EXPECT_NE(line.find("test_platform"), std::string::npos) << line;
    EXPECT_NE(line.front(), ' ');
}

#ifndef _WIN32
TEST(Program, PosixArgumentsAreJoinedAsOneCommandLine) {
    using platform::posix::JoinCommandLine;
    using namespace std::string_literals;
    EXPECT_EQ(JoinCommandLine("/opt/kesto/kesto\0/used\0"s), "/opt/kesto/kesto /used");
    EXPECT_EQ(JoinCommandLine("/my skins/kesto\0a b\0c\td\0\0x\0"s),
              "\"/my skins/kesto\" \"a b\" \"c\td\" \"\" x");
    EXPECT_EQ(JoinCommandLine("kesto\0"s), "kesto");
    EXPECT_EQ(JoinCommandLine("kesto"s), "kesto"); // a last argument without its NUL
    EXPECT_EQ(JoinCommandLine(""s), "");
}
#endif

TEST(Program, OwnResources) {
#ifdef _WIN32
    // The test program carries a resource of type "DLL", name 1 (see test_resource.rc).
    std::vector<std::uint8_t> data = platform::ReadOwnResource(u"DLL", u"#1");
    EXPECT_EQ(std::string(data.begin(), data.end()), "KSB test resource");
#else
    EXPECT_TRUE(platform::ReadOwnResource(u"DLL", u"#1").empty());
#endif
    EXPECT_TRUE(platform::ReadOwnResource(u"DLL", u"#2").empty());
    EXPECT_TRUE(platform::ReadOwnResource(u"NOSUCHTYPE", u"#1").empty());
}

TEST(Program, TemporaryFolderEndsInItsSeparatorAndExists) {
    std::string folder = platform::TempFolderAnsi();
    ASSERT_FALSE(folder.empty());
#ifdef _WIN32
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(platform::TempNameSeparator(), '\\');
#else
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(platform::TempNameSeparator(), '/');
#endif
    EXPECT_TRUE(platform::FolderExists(platform::AnsiToUtf16(folder)));
}

#ifndef _WIN32
TEST(Program, TemporaryFolderFollowsTmpdir) {
    const char* saved = std::getenv("TMPDIR");
    std::string keep = saved != nullptr ? saved : "";
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(platform::TempFolderAnsi(), "/var/tmp/");
    setenv("TMPDIR", "/var/tmp/", 1);
    EXPECT_EQ(platform::TempFolderAnsi(), "/var/tmp/");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(platform::TempFolderAnsi(), "/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(platform::TempFolderAnsi(), "/tmp/");
    if (saved != nullptr)
        setenv("TMPDIR", keep.c_str(), 1);
}
#endif

TEST(Program, ProcessIdIsTheSystems) {
#ifdef _WIN32
    EXPECT_EQ(platform::ProcessId(), GetCurrentProcessId());
#else
    EXPECT_EQ(platform::ProcessId(), static_cast<std::uint32_t>(getpid()));
#endif
}

// This process runs; one that has ended and been waited for does not.
TEST(Program, ProcessRunsTellsARunningProcessFromAnEndedOne) {
    EXPECT_TRUE(platform::ProcessRuns(platform::ProcessId()));
    EXPECT_FALSE(platform::ProcessRuns(0));
#ifdef _WIN32
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    wchar_t command[] = L"cmd.exe /c exit";
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &info));
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_FALSE(platform::ProcessRuns(info.dwProcessId));
#else
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_FALSE(platform::ProcessRuns(static_cast<std::uint32_t>(child)));
    EXPECT_FALSE(platform::ProcessRuns(0xFFFFFFFFu));
#endif
}

} // namespace
