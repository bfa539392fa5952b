// The view of a command-line run: every log line goes to the window's log
// (hidden, so that a window shown after an error holds what the run wrote)
// and to standard output, when that leads to a file, a pipe or a console.
#pragma once

#include "app/frm_view.h"
#include "app/win32/standard_stream.h"

namespace app::win32 {

class EchoView final : public FrmView {
public:
    // `window` may be null: a run whose window could not be created still
    // writes its lines to standard output.
    EchoView(FrmView* window, StandardStream output) : window_(window), output_(output) {}

    void AppendLogLine(std::u16string_view line) override {
        if (window_ != nullptr)
            window_->AppendLogLine(line);
        output_.WriteLine(line);
    }
    void SetWaitCursor(bool busy) override {
        if (window_ != nullptr)
            window_->SetWaitCursor(busy);
    }

private:
    FrmView* window_;
    StandardStream output_;
};

} // namespace app::win32
