#include "skin/unpack/unpack_files.h"

#include "acWorkRes/icon_import.h"
#include "platform/platform.h"
#include "skin/script/script_vocabulary.h"

#include <algorithm>

namespace skin {

using vocabulary::FoldCase;
namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view text, std::size_t at = 0) {
    return bytes.size() >= at + text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

// Text: no byte of a control character but TAB, LF, FF, CR and ESC, and no
// DEL; a UTF-8 marker may lead. Windows-1251 text and UTF-8 both pass.
bool LooksLikeText(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) {
        const bool control =
            b < 0x20 && b != '\t' && b != '\n' && b != '\f' && b != '\r' && b != 0x1B;
        if (control || b == 0x7F)
            return false;
    }
    return !bytes.empty();
}

// A name made safe as one file name on Windows and Linux alike: ASCII
// letters, digits, "-", "_" and "." only, no dot at the end, no device name.
std::u16string SafeFileStem(std::u16string_view name) {
    std::u16string stem;
    for (const char16_t c : name) {
        const bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u'.';
        stem.push_back(keep ? c : u'_');
    }
    while (!stem.empty() && stem.back() == u'.')
        stem.back() = u'_';
    if (stem.empty())
        stem = u"_";
    static constexpr std::u16string_view kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL"};
    std::u16string upper = stem.substr(0, stem.find(u'.'));
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    const bool numbered = upper.size() == 4 &&
                          (upper.starts_with(u"COM") || upper.starts_with(u"LPT")) &&
                          upper[3] >= u'0' && upper[3] <= u'9';
    if (numbered ||
        std::find(std::begin(kDevices), std::end(kDevices), upper) != std::end(kDevices))
        stem.insert(0, 1, u'_');
    return stem;
}

} // namespace

bool IsPng(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return bytes.size() >= std::size(kSignature) &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

std::u16string FileNames::Take(std::u16string_view name, std::u16string_view extension) {
    const std::u16string stem = SafeFileStem(name);
    std::u16string file = stem + std::u16string(extension);
    for (std::uint64_t n = 2; !taken_.insert(FoldCase(file)).second; ++n)
        file = stem + u"_" + platform::Decimal(n) + std::u16string(extension);
    return file;
}

DataKind DataKindOf(std::span<const std::uint8_t> bytes) {
    if (IsPng(bytes))
        return DataKind::Png;
    if (StartsWith(bytes, "BM") && bytes.size() >= 26)
        return DataKind::Bmp;
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a"))
        return DataKind::Gif;
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return DataKind::Jpeg;
    if (StartsWith(bytes, "RIFF") && StartsWith(bytes, "WAVE", 8))
        return DataKind::Wav;
    if (LooksLikeText(bytes))
        return DataKind::Text;
    return DataKind::Binary;
}

std::u16string_view ExtensionOf(DataKind kind) {
    // In the order of DataKind.
    static constexpr std::u16string_view kExtensions[] = {u".png", u".bmp", u".gif", u".jpg",
                                                          u".wav", u".txt", u".bin"};
    return kExtensions[static_cast<std::size_t>(kind)];
}

std::vector<std::uint8_t> IconFileBytes(const UnpackedIconGroup& group) {
    acWorkRes::IconFile icon{group.header, {}};
    for (const UnpackedIconImage& image : group.images)
        icon.Images.push_back({image.entry, image.bytes});
    return acWorkRes::IconFileBytes(icon);
}

} // namespace skin
