// Where the template module's bytes come from: the program's own resource on
// Windows, an array compiled in elsewhere.
#include "skin/template_module.h"

#ifdef _WIN32
#include "platform/platform.h"

#include <vector>
#endif

namespace skin {

#ifdef _WIN32

std::span<const std::uint8_t> TemplateModule() {
    // Read once; a resource of any other size is not the template.
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> found = platform::ReadOwnResource(u"DLL", u"#1");
        if (found.size() != kTemplateModuleSize)
            found.clear();
        return found;
    }();
    return bytes;
}

#else

namespace detail {
extern const std::uint8_t kTemplateModuleBytes[kTemplateModuleSize];
}

std::span<const std::uint8_t> TemplateModule() {
    return detail::kTemplateModuleBytes;
}

#endif

} // namespace skin
