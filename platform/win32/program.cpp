// The running program on Windows: its file name, its own resources and its command line.
#include "platform/win32/win32_internal.h"

#include <cstring>

namespace platform {

namespace {

// The buffer GetModuleFileNameW is given: a longer path is cut to this length.
constexpr DWORD kExeNameBuffer = 261;

// A resource type or name in its textual form: "#123" is the number 123,
// anything else a name. `storage` keeps a name alive for the call.
LPCWSTR ResourceId(std::u16string_view text, std::wstring& storage) {
    if (text.size() > 1 && text.size() <= 6 && text[0] == u'#') {
        unsigned value = 0;
        bool digits = true;
        for (char16_t c : text.substr(1)) {
            digits = digits && c >= u'0' && c <= u'9';
            value = value * 10 + static_cast<unsigned>(c - u'0');
        }
        if (digits && value <= 0xFFFF)
            return MAKEINTRESOURCEW(value);
    }
    storage = win32::Wide(text);
    return storage.c_str();
}

} // namespace

std::u16string GetExeFileName() {
    wchar_t buffer[kExeNameBuffer] = {};
    DWORD length = GetModuleFileNameW(nullptr, buffer, kExeNameBuffer);
    if (length == 0)
        return {};
    // Older systems leave a cut name without its terminating NUL.
    std::size_t end = 0;
    while (end < kExeNameBuffer && buffer[end] != L'\0')
        ++end;
    return win32::FromWide(buffer, end);
}

std::vector<std::uint8_t> ReadOwnResource(std::u16string_view type, std::u16string_view name) {
    std::wstring typeStorage;
    std::wstring nameStorage;
    LPCWSTR typeId = ResourceId(type, typeStorage);
    LPCWSTR nameId = ResourceId(name, nameStorage);
    HRSRC found = FindResourceW(nullptr, nameId, typeId);
    if (found == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    DWORD size = SizeofResource(nullptr, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0)
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

std::string CommandLineBytes() {
    const char* line = GetCommandLineA();
    return line != nullptr ? std::string(line) : std::string();
}

} // namespace platform
