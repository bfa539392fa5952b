// The window is designed for Tahoma, which every Windows system has. A Wine
// prefix may lack it and fall back to a font of another height, which makes
// the program scale its window away from the design sizes. Where Wine's own
// Tahoma lies beside Wine (KSB_WINE_TAHOMA), it is put into the prefix's
// Fonts folder before the first program starts, as a Windows system would
// have it, and loaded into this test process too, whose font list was read
// at its start.
#include "shell_harness.h"

#include <gtest/gtest.h>

namespace {

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Asked by enumeration: a font realised here would be kept by GDI for the
// same request, and the measurement after the install would get it back.
bool HaveTahoma() {
    HDC screen = GetDC(nullptr);
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(wanted.lfFaceName, L"Tahoma");
    bool found = false;
    EnumFontFamiliesExW(screen, &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

class TahomaEnvironment : public testing::Environment {
public:
    void SetUp() override {
#ifdef KSB_WINE_TAHOMA
        if (HaveTahoma())
            return;
        wchar_t windows[MAX_PATH] = {};
        GetWindowsDirectoryW(windows, MAX_PATH);
        const std::wstring installed = std::wstring(windows) + L"\\Fonts\\tahoma.ttf";
        CopyFileW(shell_test::WindowsPath(KSB_WINE_TAHOMA).c_str(), installed.c_str(), FALSE);
        AddFontResourceExW(installed.c_str(), FR_PRIVATE, nullptr);
#endif
        if (!HaveTahoma())
            std::printf("Tahoma is missing here: the window is checked scaled for the text "
                        "height of the font that stands in for it.\n");
    }
};

[[maybe_unused]] testing::Environment* const kTahoma =
    testing::AddGlobalTestEnvironment(new TahomaEnvironment);

} // namespace
