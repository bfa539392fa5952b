// The base of the program's windows: one static window procedure finds the
// object a window belongs to and forwards every message to its member
// WindowProc. The window class carries nothing but that procedure, the
// program's instance, its name and the arrow cursor; what a window looks like
// (icons, background, font) is set on the window itself.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace app::win32 {

class BaseWindow {
public:
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    HINSTANCE Instance() const { return instance_; }

protected:
    explicit BaseWindow(HINSTANCE instance) : instance_(instance) {}
    // A window still there is let go of first, then destroyed: a derived
    // object is already gone when this runs, so it sees none of the messages.
    // Derived windows destroy their window in their own destructor.
    virtual ~BaseWindow();

    // Registers the class (once per process) and creates the window, hidden.
    // False, with the system's last-error code, when either fails.
    bool CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                        DWORD exStyle, int left, int top);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
};

} // namespace app::win32
