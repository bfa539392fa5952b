#include "app/app_title.h"

#include "platform/platform.h"

namespace app {

namespace {

char16_t ToLower(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 0x20);
    // Latin-1 capitals, the multiplication sign excepted.
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)
        return static_cast<char16_t>(c + 0x20);
    // Cyrillic: А..Я, then Ѐ..Џ.
    if (c >= 0x0410 && c <= 0x042F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

} // namespace

std::u16string ApplicationTitle(std::u16string_view programPath) {
    std::u16string title = platform::FileNamePart(programPath);
    title = title.substr(0, title.find(u'.'));
    for (std::size_t i = 1; i < title.size(); ++i)
        title[i] = ToLower(title[i]);
    return title;
}

} // namespace app
