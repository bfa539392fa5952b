// What the Windows shell's tests need to drive the real KestoSkinBuilder.exe
// from outside, as a user or a script would: a temporary program folder with
// a copy of the program, the program started there with its standard output
// and error caught, and its windows found and read through window messages.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace shell_test {

// How long a window or a run may take before a test gives up on it.
constexpr DWORD kTimeoutMs = 60000;

// The program under test, as a Windows path.
std::wstring ProgramPath();

// A Windows path for a POSIX one ("/a/b" becomes "Z:\a\b"); others stay.
std::wstring WindowsPath(const std::string& path);

// A fresh folder under the temporary folder holding a copy of the program;
// removed with everything in it when it goes.
class ProgramFolder {
public:
    ProgramFolder() : ProgramFolder(std::wstring()) {}
    // The same below `base` (ending in "\\") instead of the temporary folder.
    explicit ProgramFolder(const std::wstring& base);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    // The folder, ending in "\".
    const std::wstring& Path() const { return path_; }
    std::wstring Exe() const { return path_ + L"KestoSkinBuilder.exe"; }
    // Writes a file (its folders made first) at a path relative to the folder.
    void Write(const std::wstring& relative, const std::string& bytes) const;
    std::string Read(const std::wstring& relative) const;
    bool Exists(const std::wstring& relative) const;

private:
    std::wstring path_;
};

// The program started in its folder. Standard output and error go to the
// files "stdout.txt" and "stderr.txt" there, or standard output to a pipe.
// A program still running when this goes is ended.
class StartedProgram {
public:
    enum class Output { Files, Pipe };
    StartedProgram(const ProgramFolder& folder, const std::wstring& arguments,
                   Output output = Output::Files);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    bool Running() const;
    // Waits for the end; false on a timeout. `exitCode` receives the code.
    bool WaitForExit(DWORD& exitCode, DWORD timeoutMs = kTimeoutMs) const;
    // Reads the pipe of standard output to its end (Output::Pipe only).
    std::string DrainPipe();
    std::string StandardOutput() const;
    std::string StandardError() const;

private:
    const ProgramFolder& folder_;
    HANDLE process_ = nullptr;
    HANDLE pipe_ = nullptr;
    DWORD id_ = 0;
};

// A top-level window of the process with this caption (and class, if given),
// waited for until it exists (and, when `visible`, is shown), or null.
HWND WaitForWindow(const StartedProgram& program, const wchar_t* className, const wchar_t* caption,
                   bool visible, DWORD timeoutMs = kTimeoutMs);
// The same, looked up once.
HWND FindProgramWindow(DWORD processId, const wchar_t* className, const wchar_t* caption);

// The children of a window in their sibling order (GW_CHILD, GW_HWNDNEXT).
std::vector<HWND> Children(HWND parent);
std::wstring ClassOf(HWND hwnd);
// A window's text through WM_GETTEXT, which crosses the process boundary.
std::wstring TextOf(HWND hwnd);
// The text of a message box that starts with `start`, or empty.
std::wstring BoxMessage(HWND box, std::wstring_view start);
// Presses a message box's OK button, without waiting for it.
void PressOk(HWND box);
// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);
SIZE ClientSize(HWND hwnd);
// Sends a message and waits for it to be handled; false on a timeout.
bool SendAndWait(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                 DWORD_PTR* result = nullptr);
// Polls `condition` every few milliseconds until it holds or time runs out.
template <typename Condition> bool WaitUntil(Condition condition, DWORD timeoutMs = kTimeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
}

// Lines of a text split at CR LF (or LF); no empty line after a final break.
std::vector<std::wstring> Lines(const std::wstring& text);
std::vector<std::wstring> Lines(const std::string& utf8);
std::wstring FromUtf8(const std::string& utf8);

// The full line height of Tahoma 8 pt on this system, as the program measures
// it for its window; 13 at 96 dots per inch.
int TahomaTextHeight();
// A design size scaled as the window is for that text height (rounded, halves up).
int Scaled(int designValue);

// What a build with no script writes: for each of the eight scripts the
// separator and the "not found" line, with the program folder as the program
// sees it.
std::vector<std::wstring> NothingToBuildLines(const ProgramFolder& folder);

inline const wchar_t kCaption[] = L"Kesto Skin Builder";
// The application's title: the program file's name up to its first full stop,
// letters after the first in lower case.
inline const wchar_t kApplicationTitle[] = L"Kestoskinbuilder";
inline const wchar_t kSeparator[] = L"=====================================";

} // namespace shell_test
