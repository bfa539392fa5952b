// Name comparisons on POSIX: keywords ignore the case of ASCII letters, the
// names of #define lines compare code unit by code unit.
#include "platform/platform.h"

namespace platform {

namespace {

char16_t FoldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

} // namespace

bool KeywordEquals(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

bool DefineNameEquals(std::u16string_view a, std::u16string_view b) {
    return a == b;
}

} // namespace platform
