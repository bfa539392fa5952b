// The application's default error report: the text of an error that ends a
// run, for the error box (or standard error, when there is no display) and
// for the log line of the used-files collector.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace app {

// The message an error carries: a skin::GeneralError's own text, "Out of
// memory" for an allocation failure, the error's description otherwise.
std::u16string ErrorMessage(const std::exception& error);

// The message as the error box shows it: with a "." appended when its last
// character sorts after "." in code order.
std::u16string ErrorReportText(std::u16string_view message);

} // namespace app
