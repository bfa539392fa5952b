#include "app/console_view.h"

#include "platform/platform.h"

namespace app {

void ConsoleView::AppendLogLine(std::u16string_view line) {
    lines_.emplace_back(line);
    if (out_ == nullptr)
        return;
    // Written and flushed line by line, so that a run that is stopped midway
    // has shown everything up to that point. A stream that cannot be written
    // (closed, full) does not stop the run.
    std::string bytes = platform::Utf16ToUtf8(line);
    bytes.push_back('\n');
    std::fwrite(bytes.data(), 1, bytes.size(), out_);
    std::fflush(out_);
}

} // namespace app
