// Runs with a command-line argument: the window is created hidden and never
// shown, the log goes to standard output when that is a file or a pipe, the
// exit code is 0; an error that escapes the run shows the error box and then
// the window with the log as the run left it, and the exit code is 1 when that
// window is closed.
#include "shell_harness.h"

#include <gtest/gtest.h>

#include <string>

namespace shell_test {
namespace {

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(CommandLineRun, BuildWritesItsLogToAFileWithoutShowingAWindow) {
    ProgramFolder folder;
    StartedProgram program(folder, L"build");
    ASSERT_TRUE(program.Started());
    bool shown = false;
    WaitUntil([&] {
        HWND window = FindProgramWindow(program.Id(), nullptr, kCaption);
        shown = shown || (window != nullptr && IsWindowVisible(window));
        return !program.Running();
    });
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(shown);
    EXPECT_EQ(Lines(program.StandardOutput()), NothingToBuildLines(folder));
    EXPECT_EQ(program.StandardError(), "");
}

TEST(CommandLineRun, UsedFilesSwitchIgnoresFurtherArguments) {
    ProgramFolder folder;
    StartedProgram program(folder, L"/used and more");
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 0u);
    std::vector<std::wstring> expected = NothingToBuildLines(folder);
    expected.push_back(kSeparator);
    expected.push_back(L"UsedFiles.Count = 0");
    EXPECT_EQ(Lines(program.StandardOutput()), expected);
    EXPECT_TRUE(folder.Exists(L"UsedFiles"));
}

TEST(CommandLineRun, TheWindowExistsHiddenWhileTheRunWritesToAPipe) {
    // Ten thousand lines skipped with a message each: more than a pipe holds,
    // so the run waits inside its writes until the pipe is read, and its
    // window can be looked at meanwhile.
    ProgramFolder folder;
    std::string script;
    for (int i = 0; i < 10000; ++i)
        script += "70000 RCDATA d.bin\n";
    folder.Write(L"Files\\vistel.rc", script);
    folder.Write(L"Files\\d.bin", "d");
    StartedProgram program(folder, L"b", StartedProgram::Output::Pipe);
    ASSERT_TRUE(program.Started());

    HWND window = WaitForWindow(program, nullptr, kCaption, false);
    ASSERT_NE(window, nullptr) << "no window, hidden or shown, during the run";
    // The controls come a moment after the window itself.
    EXPECT_TRUE(WaitUntil([&] { return Children(window).size() == 3u; }, 10000))
        << "the hidden window has no controls";
    EXPECT_TRUE(program.Running()) << "the run ended before its output was read";
    EXPECT_FALSE(IsWindowVisible(window));

    const std::vector<std::wstring> lines = Lines(program.DrainPipe());
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 0u);
    ASSERT_EQ(lines.size(), 2u + 10000u + 1u + 14u);
    EXPECT_EQ(lines[0], kSeparator);
    EXPECT_EQ(lines[1], L"vistel.rc");
    for (std::size_t i = 2; i < 10002; ++i)
        ASSERT_EQ(lines[i], L"resource id \"70000\" is out of range (70000), line skipped !")
            << "line " << i;
    EXPECT_EQ(lines[10002], L"done!");
}

TEST(CommandLineRun, AnErrorShowsTheBoxThenTheWindowWithTheLog) {
    ProgramFolder folder;
    folder.Write(L"Files\\vistel.rc", "STRINGTABLE\nBEGIN\n1 one\nEND\n");
    folder.Write(L"_skin", "a file where the module folder should be");
    StartedProgram program(folder, L"build");
    ASSERT_TRUE(program.Started());

    HWND box = WaitForWindow(program, L"#32770", kApplicationTitle, true);
    ASSERT_NE(box, nullptr) << "no error box titled \"Kestoskinbuilder\"";
    HWND window = FindProgramWindow(program.Id(), nullptr, kCaption);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window)) << "the box comes before the window";

    const std::wstring message = BoxMessage(box, L"Cannot create folder");
    const std::wstring start = L"Cannot create folder \"" + folder.Path() + L"_skin\". ";
    EXPECT_TRUE(message.starts_with(start)) << Narrow(message);
    EXPECT_TRUE(message.ends_with(L".")) << Narrow(message);

    // The hidden window's log already holds what the run wrote.
    const std::vector<std::wstring> written{kSeparator, L"vistel.rc"};
    const std::vector<HWND> controls = Children(window);
    ASSERT_EQ(controls.size(), 3u);
    EXPECT_EQ(Lines(TextOf(controls[1])), written);

    PressOk(box);
    ASSERT_NE(WaitForWindow(program, nullptr, kCaption, true), nullptr)
        << "the window is not shown after the box";
    EXPECT_TRUE(program.Running()) << "the process goes on after an error";
    EXPECT_EQ(Lines(TextOf(controls[1])), written);

    // Standard output got the same lines; standard error the box's text.
    EXPECT_EQ(Lines(program.StandardOutput()), written);
    EXPECT_EQ(Lines(program.StandardError()), std::vector<std::wstring>{message});

    // Closing the window ends the process with status 1: a batch file that
    // called the build reads the failure.
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 1u);
}

// A module held open with share mode 0 by another process keeps the build out:
// the run ends with "Cannot create file" and writes nothing after it, and the
// held file keeps its bytes.
TEST(CommandLineRun, AModuleHeldWithoutSharingEndsTheRun) {
    ProgramFolder folder;
    folder.Write(L"Files\\vistel.rc", "STRINGTABLE\nBEGIN\n1 one\nEND\n");
    folder.Write(L"Files\\tavo.rc", "STRINGTABLE\nBEGIN\n1 two\nEND\n");
    folder.Write(L"_skin\\vistel.dll", "held");
    const std::wstring held = folder.Path() + L"_skin\\vistel.dll";
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    StartedProgram program(folder, L"build");
    ASSERT_TRUE(program.Started());
    HWND box = WaitForWindow(program, L"#32770", kApplicationTitle, true);
    ASSERT_NE(box, nullptr) << "no error box";
    const std::wstring message = BoxMessage(box, L"Cannot create file");
    EXPECT_TRUE(message.starts_with(L"Cannot create file \"" + held + L"\". ")) << Narrow(message);
    PressOk(box);
    HWND window = WaitForWindow(program, nullptr, kCaption, true);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Lines(program.StandardOutput()),
              (std::vector<std::wstring>{kSeparator, L"vistel.rc"}));
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 1u);

    char bytes[8] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(holder, bytes, sizeof bytes, &read, nullptr));
    CloseHandle(holder);
    EXPECT_EQ(std::string(bytes, read), "held");
    EXPECT_FALSE(folder.Exists(L"_skin\\tavo_pics.dll")) << "a row after the error was built";
}

} // namespace
} // namespace shell_test
