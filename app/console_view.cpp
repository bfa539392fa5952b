#include "app/console_view.h"

#include "platform/platform.h"

namespace app {

void ConsoleView::AppendLogLine(std::u16string_view line) {
    lines_.emplace_back(line);
    if (out_ == nullptr)
        return;
    // On a terminal each line is flushed as it comes, so that a run that is
    // stopped midway has shown everything up to that point; into a file or a
    // pipe the stream's buffer gathers them, as any program's output. A
    // stream that cannot be written (closed, full) does not stop the run.
    std::string bytes = platform::Utf16ToUtf8(line);
    bytes.push_back('\n');
    std::fwrite(bytes.data(), 1, bytes.size(), out_);
    if (flushEachLine_)
        std::fflush(out_);
}

} // namespace app
