// The Windows program on a full disk: a program folder on a 2 MiB tmpfs that
// the test's fixture mounts (where root may) and Wine reaches through Z:. A
// commit that does not fit ends the run with its error box and leaves no
// module; a copy of Used files that does not fit leaves no cut copy.
#include "shell_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace shell_test {
namespace {

const std::string kBig(1200000, 'B');

// The mounted disk as a Windows path, or empty when the fixture could not mount it.
std::wstring SmallDisk() {
    const char* disk = std::getenv("KSB_SMALL_DISK");
    if (disk == nullptr)
        return {};
    const std::wstring path = WindowsPath(disk) + L"\\";
    return GetFileAttributesW((path + L".mounted").c_str()) != INVALID_FILE_ATTRIBUTES
               ? path
               : std::wstring();
}

// A program folder on the disk, with a skin of a small and a big data file.
class FullDisk : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring disk = SmallDisk();
        if (disk.empty())
            GTEST_SKIP() << "no small tmpfs: mounting one is not permitted here (needs root)";
        folder_.emplace(disk);
        folder_->Write(L"Files\\vistel.rc", "1 RCDATA small.bin\n2 RCDATA big.bin\n");
        folder_->Write(L"Files\\small.bin", std::string(110, 's'));
        folder_->Write(L"Files\\big.bin", kBig);
    }
    std::optional<ProgramFolder> folder_;
};

TEST_F(FullDisk, ACommitThatDoesNotFitEndsTheRunAndLeavesNoModule) {
    const ProgramFolder& folder = *folder_;
    StartedProgram program(folder, L"build");
    ASSERT_TRUE(program.Started());
    HWND box = WaitForWindow(program, L"#32770", kApplicationTitle, true);
    ASSERT_NE(box, nullptr) << "no error box";
    const std::wstring message = BoxMessage(box, L"Cannot");
    const std::wstring module = folder.Path() + L"_skin\\vistel.dll";
    // The system's text follows, in the prefix's language.
    const std::wstring start = L"Cannot write file \"" + module + L"\". ";
    EXPECT_TRUE(message.starts_with(start) && message.size() > start.size());
    PressOk(box);
    HWND window = WaitForWindow(program, nullptr, kCaption, true);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 1u) << "a failed build read as a success";
    EXPECT_EQ(Lines(program.StandardOutput()),
              (std::vector<std::wstring>{kSeparator, L"vistel.rc"}));
    EXPECT_FALSE(folder.Exists(L"_skin\\vistel.dll")) << "a module stayed";
}

TEST_F(FullDisk, AUsedFileThatDoesNotFitStaysInFilesWithNoCutCopy) {
    const ProgramFolder& folder = *folder_;
    StartedProgram program(folder, L"/used");
    ASSERT_TRUE(program.Started());
    DWORD code = 1234;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(folder.Read(L"UsedFiles\\small.bin"), std::string(110, 's'));
    EXPECT_EQ(folder.Read(L"Files\\big.bin"), kBig);
    EXPECT_FALSE(folder.Exists(L"UsedFiles\\big.bin")) << "a cut copy stayed";
}

} // namespace
} // namespace shell_test
