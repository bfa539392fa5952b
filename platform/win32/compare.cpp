// Name comparisons on Windows: CompareStringW in the user's locale, ignoring
// case for keywords and with no flags for #define names.
#include "platform/win32/win32_internal.h"

#include <climits>

namespace platform {

namespace {

bool CompareEqual(std::u16string_view a, std::u16string_view b, DWORD flags) {
    if (a.size() > INT_MAX || b.size() > INT_MAX)
        return false;
    // An empty view may have no storage at all; CompareStringW wants a pointer.
    static const wchar_t kEmpty[] = L"";
    std::wstring wa = win32::Wide(a);
    std::wstring wb = win32::Wide(b);
    const wchar_t* pa = wa.empty() ? kEmpty : wa.c_str();
    const wchar_t* pb = wb.empty() ? kEmpty : wb.c_str();
    return CompareStringW(LOCALE_USER_DEFAULT, flags, pa, static_cast<int>(wa.size()), pb,
                          static_cast<int>(wb.size())) == CSTR_EQUAL;
}

} // namespace

bool KeywordEquals(std::u16string_view a, std::u16string_view b) {
    return CompareEqual(a, b, NORM_IGNORECASE);
}

bool DefineNameEquals(std::u16string_view a, std::u16string_view b) {
    return CompareEqual(a, b, 0);
}

} // namespace platform
