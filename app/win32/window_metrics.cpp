#include "app/win32/window_metrics.h"

#include "app/win32/win32_text.h"

namespace app::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

// A function of user32 that older systems lack; null there.
template <typename Fn> Fn User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC found = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(found));
}

// The screen's dots per inch, for systems that know no other.
UINT ScreenDpi() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return kDesignDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

int SystemMetric(int index, UINT dpi) {
    static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(index, dpi) : GetSystemMetrics(index);
}

} // namespace

UINT WindowDpi(HWND hwnd) {
    static const auto forWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow != nullptr && hwnd != nullptr) {
        const UINT dpi = forWindow(hwnd);
        if (dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}

UniqueFont CreateDesignFont(UINT dpi) {
    // A negative height asks for the character height without internal leading.
    const int height = -MulDiv(kFrmDesign.FontPointSize, static_cast<int>(dpi), 72);
    const std::wstring face = Wide(kFrmDesign.FontName);
    return UniqueFont(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

int TextHeightOf(HFONT font) {
    if (font == nullptr)
        return 0;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return 0;
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    const bool measured = GetTextMetricsW(screen, &metrics) != FALSE;
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return measured ? static_cast<int>(metrics.tmHeight) : 0;
}

Size OuterSizeFor(Size client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto forDpi =
        User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, client.Width, client.Height};
    const BOOL adjusted = forDpi != nullptr ? forDpi(&frame, style, FALSE, exStyle, dpi)
                                            : AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    if (!adjusted)
        return client;
    return {static_cast<int>(frame.right - frame.left), static_cast<int>(frame.bottom - frame.top)};
}

POINT CentredPosition(HWND hwnd, Size outer) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT area{};
    if (GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        area = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const long width = area.right - area.left;
    const long height = area.bottom - area.top;
    return {area.left + (width - outer.Width) / 2, area.top + (height - outer.Height) / 2};
}

UniqueIcon LoadMainIcon(HINSTANCE instance, bool small, UINT dpi) {
    const int width = SystemMetric(small ? SM_CXSMICON : SM_CXICON, dpi);
    const int height = SystemMetric(small ? SM_CYSMICON : SM_CYICON, dpi);
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, width, height, 0)));
}

} // namespace app::win32
