// load_strings MODULE FIRST LAST: loads MODULE as a data file and prints the
// strings FIRST..LAST as the loader gives them (LoadStringW, the thread's UI
// language set to 1049), one UTF-8 line each. Exit code 2 when the module
// cannot be loaded.
#include "platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    SetThreadUILanguage(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return 2;
    const int first = _wtoi(argv[2]);
    const int last = _wtoi(argv[3]);
    for (int id = first; id <= last; ++id) {
        const wchar_t* text = nullptr;
        // With a buffer size of 0 LoadStringW hands out a pointer into the
        // resource and the length, so no text is cut.
        int length = LoadStringW(module, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
        std::u16string line(reinterpret_cast<const char16_t*>(text), length > 0 ? length : 0);
        std::string utf8 = platform::Utf16ToUtf8(line);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fputc('\n', stdout);
    }
    FreeLibrary(module);
    return 0;
}
