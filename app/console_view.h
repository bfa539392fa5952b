// The view of a command-line run: no window, each log line written to a
// stream (standard output) as UTF-8 and kept, so that a window shown after an
// error can take over the log as it stood.
#pragma once

#include "app/frm_view.h"

#include <cstdio>
#include <string>
#include <vector>

namespace app {

class ConsoleView final : public FrmView {
public:
    // `out` may be null (no standard output): the lines are then only kept.
    // With `flushEachLine` (for a terminal) every line is flushed at once.
    explicit ConsoleView(std::FILE* out, bool flushEachLine = true)
        : out_(out), flushEachLine_(flushEachLine) {}

    void AppendLogLine(std::u16string_view line) override;
    void SetWaitCursor(bool) override {}

    const std::vector<std::u16string>& Lines() const { return lines_; }

private:
    std::FILE* out_;
    bool flushEachLine_;
    std::vector<std::u16string> lines_;
};

} // namespace app
