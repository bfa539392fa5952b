// UTF-16 text between the shell's strings and the W functions of Windows,
// whose wchar_t is 16 bits wide.
#pragma once

#include <string>
#include <string_view>

namespace app::win32 {

inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace app::win32
