#include "app/error_report.h"

#include "platform/platform.h"
#include "skin/build_driver.h"

#include <new>

namespace app {

std::u16string ErrorMessage(const std::exception& error) {
    if (const auto* general = dynamic_cast<const skin::GeneralError*>(&error))
        return general->Message();
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
        return u"Out of memory";
    return platform::Utf8ToUtf16(error.what());
}

std::u16string ErrorReportText(std::u16string_view message) {
    std::u16string text(message);
    if (!text.empty() && text.back() > u'.')
        text.push_back(u'.');
    return text;
}

} // namespace app
