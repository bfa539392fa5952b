// The window of a start without arguments, driven from outside: the window
// table (places, sizes, captions, styles), centring, anchors on resize, tab
// order, the default and the hidden button, the keys, what clicks write to
// the log, the error box of a click, and the end of the process.
#include "shell_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace shell_test {
namespace {

constexpr int kDesignClientWidth = 552;
constexpr int kDesignClientHeight = 398;

struct Bounds {
    int left, top, width, height;
};
constexpr Bounds kBtnBuild{465, 365, 75, 25};
constexpr Bounds kLog{12, 12, 529, 343};
constexpr Bounds kBtnUsed{381, 365, 75, 25};

constexpr LPARAM kEnterKeyData = 0x001C0001; // scan code 0x1C, one repeat
constexpr LPARAM kTabKeyData = 0x000F0001;
constexpr LPARAM kEscapeKeyData = 0x00010001;

Bounds ScaledBounds(Bounds b) {
    return {Scaled(b.left), Scaled(b.top), Scaled(b.width), Scaled(b.height)};
}

::testing::AssertionResult HasBounds(HWND control, Bounds expected) {
    const RECT r = RectInParent(control);
    const Bounds actual{static_cast<int>(r.left), static_cast<int>(r.top),
                        static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
    if (actual.left == expected.left && actual.top == expected.top &&
        actual.width == expected.width && actual.height == expected.height)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "at (" << actual.left << ", " << actual.top << ") size " << actual.width << "x"
           << actual.height << ", expected (" << expected.left << ", " << expected.top << ") size "
           << expected.width << "x" << expected.height;
}

LONG StyleOf(HWND hwnd) {
    return GetWindowLongW(hwnd, GWL_STYLE);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                              : nullptr;
}

std::size_t Count(const std::vector<std::wstring>& lines, const std::wstring& line) {
    std::size_t n = 0;
    for (const std::wstring& l : lines)
        n += l == line ? 1 : 0;
    return n;
}

class ShellWindow : public ::testing::Test {
protected:
    void SetUp() override { Start(); }

    void Start() {
        program = std::make_unique<StartedProgram>(folder, L"");
        ASSERT_TRUE(program->Started()) << "cannot start " << folder.Exe().size();
        window = WaitForWindow(*program, nullptr, kCaption, true);
        ASSERT_NE(window, nullptr) << "no visible window \"Kesto Skin Builder\"";
        const std::vector<HWND> children = Children(window);
        ASSERT_EQ(children.size(), 3u);
        btnBuild = children[0];
        log = children[1];
        btnUsed = children[2];
    }

    // Closes the window as its close box does; the process ends with code 0.
    void CloseAndExpectExitCodeZero() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        DWORD code = 1234;
        ASSERT_TRUE(program->WaitForExit(code)) << "still running after WM_CLOSE";
        EXPECT_EQ(code, 0u);
    }

    std::vector<std::wstring> LogLines() const { return Lines(TextOf(log)); }

    ProgramFolder folder;
    std::unique_ptr<StartedProgram> program;
    HWND window = nullptr;
    HWND btnBuild = nullptr;
    HWND log = nullptr;
    HWND btnUsed = nullptr;
};

TEST_F(ShellWindow, ShowsTheWindowTableCentredOnTheScreen) {
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"Kesto Skin Builder");
    EXPECT_EQ(StyleOf(window) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW)
        << "a resizable frame with the usual title-bar buttons";

    const SIZE client = ClientSize(window);
    EXPECT_EQ(client.cx, Scaled(kDesignClientWidth));
    EXPECT_EQ(client.cy, Scaled(kDesignClientHeight));
    EXPECT_TRUE(HasBounds(btnBuild, ScaledBounds(kBtnBuild))) << "btnBuild";
    EXPECT_TRUE(HasBounds(log, ScaledBounds(kLog))) << "log";
    EXPECT_TRUE(HasBounds(btnUsed, ScaledBounds(kBtnUsed))) << "btnUsed";

    // Centred on the work area of its monitor (the stored 623, 270 overridden).
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor));
    const RECT& area = monitor.rcWork;
    EXPECT_NEAR(frame.left - area.left, area.right - frame.right, 1);
    EXPECT_NEAR(frame.top - area.top, area.bottom - frame.bottom, 1);
}

// Run by test_wine_shell_120dpi, in a prefix set to 120 dots per inch, where
// Tahoma 8 pt is taller than the design's 13 pixels.
TEST_F(ShellWindow, IsScaledByTheFontsTextHeightAtOtherDpi) {
    const char* wanted = std::getenv("KSB_SHELL_DPI");
    if (wanted == nullptr)
        GTEST_SKIP() << "for a prefix at other dots per inch (KSB_SHELL_DPI)";
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, std::atoi(wanted));
    const int textHeight = TahomaTextHeight();
    ASSERT_GT(textHeight, 13) << "the font is no taller here; nothing would be scaled";

    const SIZE client = ClientSize(window);
    EXPECT_EQ(client.cx, MulDiv(kDesignClientWidth, textHeight, 13));
    EXPECT_EQ(client.cy, MulDiv(kDesignClientHeight, textHeight, 13));
    EXPECT_GT(client.cx, kDesignClientWidth);
    EXPECT_TRUE(HasBounds(btnBuild, ScaledBounds(kBtnBuild))) << "btnBuild";
    EXPECT_TRUE(HasBounds(log, ScaledBounds(kLog))) << "log";
    EXPECT_TRUE(HasBounds(btnUsed, ScaledBounds(kBtnUsed))) << "btnUsed";
}

TEST_F(ShellWindow, ControlsHaveTheirKindsCaptionsAndStyles) {
    EXPECT_EQ(_wcsicmp(ClassOf(btnBuild).c_str(), L"Button"), 0);
    EXPECT_EQ(TextOf(btnBuild), L"Build");
    EXPECT_EQ(StyleOf(btnBuild) & 0x0F, BS_DEFPUSHBUTTON) << "the window's default button";
    EXPECT_TRUE(IsWindowVisible(btnBuild));

    EXPECT_EQ(_wcsicmp(ClassOf(log).c_str(), L"Edit"), 0);
    EXPECT_EQ(TextOf(log), L"") << "the log starts empty";
    const LONG logStyle = StyleOf(log);
    EXPECT_NE(logStyle & ES_MULTILINE, 0);
    EXPECT_NE(logStyle & WS_VSCROLL, 0) << "a vertical scroll bar";
    EXPECT_EQ(logStyle & WS_HSCROLL, 0) << "no horizontal scroll bar";
    EXPECT_EQ(logStyle & ES_AUTOHSCROLL, 0) << "long lines wrap";
    EXPECT_EQ(logStyle & ES_READONLY, 0) << "editable by the user";
    EXPECT_NE(logStyle & ES_WANTRETURN, 0) << "Enter is a line break in the log";
    DWORD_PTR limit = 0;
    ASSERT_TRUE(SendAndWait(log, EM_GETLIMITTEXT, 0, 0, &limit));
    EXPECT_GE(static_cast<unsigned long long>(limit), 0x7FFFFFFEull) << "no length limit";
    EXPECT_TRUE(IsWindowVisible(log));

    EXPECT_EQ(_wcsicmp(ClassOf(btnUsed).c_str(), L"Button"), 0);
    EXPECT_EQ(TextOf(btnUsed), L"Used files");
    EXPECT_EQ(StyleOf(btnUsed) & 0x0F, BS_PUSHBUTTON);
    EXPECT_FALSE(IsWindowVisible(btnUsed)) << "Used files is hidden";
}

TEST_F(ShellWindow, ControlsKeepTheirAnchoredEdgesOnResize) {
    const Bounds build = ScaledBounds(kBtnBuild);
    const Bounds logBounds = ScaledBounds(kLog);
    const Bounds used = ScaledBounds(kBtnUsed);
    const int designWidth = Scaled(kDesignClientWidth);
    const int designHeight = Scaled(kDesignClientHeight);
    // The distances each anchored edge keeps: 11 and 43 for the log's right
    // and bottom, 12 and 8 for btnBuild's, btnUsed 9 to the left of btnBuild.
    const int logRight = designWidth - logBounds.left - logBounds.width;
    const int logBottom = designHeight - logBounds.top - logBounds.height;
    const int buildRight = designWidth - build.left;
    const int usedRight = designWidth - used.left;
    const int buttonsBottom = designHeight - build.top;

    RECT frame{};
    GetWindowRect(window, &frame);
    const int outerWidth = frame.right - frame.left;
    const int outerHeight = frame.bottom - frame.top;
    for (const SIZE grow : {SIZE{137, 71}, SIZE{-300, -250}, SIZE{0, 0}}) {
        SCOPED_TRACE(::testing::Message()
                     << "outer size changed by " << grow.cx << ", " << grow.cy);
        ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, outerWidth + grow.cx, outerHeight + grow.cy,
                                 SWP_NOMOVE | SWP_NOZORDER));
        const SIZE client = ClientSize(window);
        const int cx = static_cast<int>(client.cx);
        const int cy = static_cast<int>(client.cy);
        EXPECT_TRUE(HasBounds(log, {logBounds.left, logBounds.top,
                                    std::max(0, cx - logBounds.left - logRight),
                                    std::max(0, cy - logBounds.top - logBottom)}))
            << "log";
        EXPECT_TRUE(
            HasBounds(btnBuild, {cx - buildRight, cy - buttonsBottom, build.width, build.height}))
            << "btnBuild";
        EXPECT_TRUE(
            HasBounds(btnUsed, {cx - usedRight, cy - buttonsBottom, used.width, used.height}))
            << "btnUsed";
        EXPECT_FALSE(IsWindowVisible(btnUsed)) << "a resize shows no hidden button";
    }
    // Back at the first size: the design places again, nothing drifted.
    EXPECT_EQ(ClientSize(window).cx, designWidth);
    EXPECT_TRUE(HasBounds(log, logBounds));
    EXPECT_TRUE(HasBounds(btnBuild, build));
}

TEST_F(ShellWindow, TabOrderFollowsTheTableAndSkipsTheHiddenButton) {
    // Sibling order is tab order: btnBuild 0, log 1, btnUsed 2, each a tab stop.
    for (HWND control : {btnBuild, log, btnUsed})
        EXPECT_NE(StyleOf(control) & WS_TABSTOP, 0);
    EXPECT_EQ(GetWindow(btnBuild, GW_HWNDNEXT), log);
    EXPECT_EQ(GetWindow(log, GW_HWNDNEXT), btnUsed);
    EXPECT_EQ(GetWindow(btnUsed, GW_HWNDNEXT), nullptr);

    // The first control in tab order has the focus; Tab moves on to the log
    // and from there past the hidden button back to btnBuild.
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == btnBuild; }, 5000))
        << "the focus is on " << FocusOf(window) << ", btnBuild is " << btnBuild << ", the window "
        << window;
    PostMessageW(btnBuild, WM_KEYDOWN, VK_TAB, kTabKeyData);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window) == log; }, 5000));
    PostMessageW(log, WM_KEYDOWN, VK_TAB, kTabKeyData);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window) == btnBuild; }, 5000));
}

TEST_F(ShellWindow, BuildWritesBelowWhatTheLogHoldsAndClosingEndsWithCodeZero) {
    // Text typed by hand without a final line break gets one before the run's lines.
    ASSERT_TRUE(SendAndWait(log, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed by hand")));
    ASSERT_TRUE(SendAndWait(btnBuild, BM_CLICK, 0, 0));
    std::vector<std::wstring> expected{L"typed by hand"};
    const std::vector<std::wstring> run = NothingToBuildLines(folder);
    expected.insert(expected.end(), run.begin(), run.end());
    EXPECT_EQ(LogLines(), expected);
    EXPECT_TRUE(TextOf(log).ends_with(L" not found !\r\n"));

    // A second click appends the same lines below the first run's.
    ASSERT_TRUE(SendAndWait(btnBuild, BM_CLICK, 0, 0));
    expected.insert(expected.end(), run.begin(), run.end());
    EXPECT_EQ(LogLines(), expected);
    EXPECT_TRUE(IsWindowVisible(window)) << "the window stays after a run";
    EXPECT_FALSE(folder.Exists(L"_skin")) << "nothing to build, nothing written";

    CloseAndExpectExitCodeZero();
}

TEST_F(ShellWindow, EnterClicksBuildWhereverTheLogDoesNotTakeIt) {
    // Enter on the log is a line break there, not a build.
    PostMessageW(log, WM_KEYDOWN, VK_RETURN, kEnterKeyData);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(log) == L"\r\n"; }, 10000))
        << "log holds \"" << TextOf(log).size() << "\" characters";

    // Escape in the log neither closes the window nor builds: the Enter after
    // it only arrives once the Escape has been dealt with.
    PostMessageW(log, WM_KEYDOWN, VK_ESCAPE, kEscapeKeyData);
    PostMessageW(log, WM_KEYDOWN, VK_RETURN, kEnterKeyData);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(log) == L"\r\n\r\n"; }, 10000));
    EXPECT_TRUE(IsWindow(window));

    // Enter anywhere else is the default button's click.
    PostMessageW(btnBuild, WM_KEYDOWN, VK_RETURN, kEnterKeyData);
    ASSERT_TRUE(WaitUntil([&] { return Count(LogLines(), kSeparator) == 8; }, 30000));
    std::vector<std::wstring> expected{L"", L""};
    const std::vector<std::wstring> run = NothingToBuildLines(folder);
    expected.insert(expected.end(), run.begin(), run.end());
    EXPECT_EQ(LogLines(), expected);
    CloseAndExpectExitCodeZero();
}

TEST_F(ShellWindow, TheHiddenButtonsClickRunsUsedFiles) {
    ASSERT_TRUE(SendAndWait(btnUsed, BM_CLICK, 0, 0));
    std::vector<std::wstring> expected = NothingToBuildLines(folder);
    expected.push_back(kSeparator);
    expected.push_back(L"UsedFiles.Count = 0");
    EXPECT_EQ(LogLines(), expected);
    EXPECT_TRUE(folder.Exists(L"UsedFiles"));
    EXPECT_FALSE(IsWindowVisible(btnUsed)) << "nothing ever shows Used files";
    CloseAndExpectExitCodeZero();
}

TEST_F(ShellWindow, AnErrorOfAClickShowsTheBoxAndTheWindowStays) {
    // The module folder is a file: it cannot be created, and the box says so.
    folder.Write(L"Files\\vistel.rc", "STRINGTABLE\nBEGIN\n1 one\nEND\n");
    folder.Write(L"_skin", "in the way");
    PostMessageW(btnBuild, BM_CLICK, 0, 0);
    HWND box = WaitForWindow(*program, L"#32770", kApplicationTitle, true);
    ASSERT_NE(box, nullptr) << "no error box titled \"Kestoskinbuilder\"";
    EXPECT_EQ(GetWindow(box, GW_OWNER), window) << "the box belongs to the window";

    const std::wstring message = BoxMessage(box, L"Cannot create folder");
    EXPECT_TRUE(message.starts_with(L"Cannot create folder \"" + folder.Path() + L"_skin\". "))
        << std::string(message.begin(), message.end());
    EXPECT_TRUE(message.ends_with(L".")) << "the box's text ends in a full stop";

    PressOk(box);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(LogLines(), (std::vector<std::wstring>{kSeparator, L"vistel.rc"}))
        << "the log keeps what the run wrote up to the error";
    CloseAndExpectExitCodeZero();
}

} // namespace
} // namespace shell_test
