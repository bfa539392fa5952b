// What the main window needs to know of the system it runs on: its dots per
// inch, the design font made for them and that font's text height, the frame
// around a client area, and the centre of the screen. The calls that newer
// systems added (per-monitor dots per inch) are looked up at run time, so the
// program still starts where they are missing.
#pragma once

#include "app/window_layout.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <type_traits>

namespace app::win32 {

// An owned GDI font, deleted when it goes.
struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// An owned icon, destroyed when it goes.
struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// The design dots per inch, for which the window table gives its sizes.
inline constexpr UINT kDesignDpi = 96;

// The dots per inch the window is shown at: its monitor's where the system
// tells them per window, the screen's otherwise.
UINT WindowDpi(HWND hwnd);

// The window's font at `dpi`: "Tahoma", 8 points (11 pixels of character
// height at 96 dpi), regular, default character set.
UniqueFont CreateDesignFont(UINT dpi);

// The full line height of `font` (TEXTMETRIC's tmHeight); 0 when it cannot be
// measured, which leaves the design sizes as they are.
int TextHeightOf(HFONT font);

// The outer size of a window with these styles whose client area is `client`,
// with the frame the system draws at `dpi`.
Size OuterSizeFor(Size client, DWORD style, DWORD exStyle, UINT dpi);

// Where a window of `outer` size goes to stand in the middle of the work area
// of the monitor that `hwnd` is on (the primary one when it is on none).
POINT CentredPosition(HWND hwnd, Size outer);

// The small (16 by 16 at 96 dpi) and the large form of the program's main
// icon, resource 1, for the window's caption and the task bar.
UniqueIcon LoadMainIcon(HINSTANCE instance, bool small, UINT dpi);

} // namespace app::win32
