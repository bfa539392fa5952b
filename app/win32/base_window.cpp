#include "app/win32/base_window.h"

namespace app::win32 {

BaseWindow::~BaseWindow() {
    if (hwnd_ != nullptr) {
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
}

bool BaseWindow::CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                                DWORD exStyle, int left, int top) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance_, className, &windowClass)) {
        windowClass = WNDCLASSEXW{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = StaticWindowProc;
        windowClass.hInstance = instance_;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className;
        if (RegisterClassExW(&windowClass) == 0)
            return false;
    }
    // The size is set once the window knows its dots per inch.
    return CreateWindowExW(exStyle, className, caption, style, left, top, 0, 0, nullptr, nullptr,
                           instance_, this) != nullptr;
}

LRESULT CALLBACK BaseWindow::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    BaseWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        // The first message that can name the object: CreateWindowExW's last argument.
        self = static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and after the object let go.
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);

    const LRESULT result = self->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

} // namespace app::win32
