// What the main window's logic needs from the toolkit that shows it. The Qt
// window, the Win32 window and the console of a command-line run implement it.
#pragma once

#include <string_view>

namespace app {

class FrmView {
public:
    virtual ~FrmView() = default;
    // Adds one line at the end of the log: the text becomes its new last line.
    virtual void AppendLogLine(std::u16string_view line) = 0;
    // The application's screen cursor: the hourglass while `busy`, the default
    // cursor otherwise.
    virtual void SetWaitCursor(bool busy) = 0;
};

} // namespace app
