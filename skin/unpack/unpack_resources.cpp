#include "skin/unpack/unpack_resources.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/pe_headers.h"
#include "platform/platform.h"
#include "skin/template_module.h"

#include <algorithm>

namespace skin::unpack {

using acWorkRes::ByteReader;
using acWorkRes::TResItem;

std::u16string TypeText(const Key& type) {
    static const char16_t* const kNames[] = {
        nullptr,      u"RT_CURSOR",       u"RT_BITMAP",       u"RT_ICON", u"RT_MENU",
        u"RT_DIALOG", u"RT_STRING",       u"RT_FONTDIR",      u"RT_FONT", u"RT_ACCELERATOR",
        u"RT_RCDATA", u"RT_MESSAGETABLE", u"RT_GROUP_CURSOR", nullptr,    u"RT_GROUP_ICON",
        nullptr,      u"RT_VERSION",      u"RT_DLGINCLUDE",   nullptr,    u"RT_PLUGPLAY",
        u"RT_VXD",    u"RT_ANICURSOR",    u"RT_ANIICON",      u"RT_HTML", u"RT_MANIFEST"};
    if (type.IsName())
        return u"type \"" + type.name + u"\"";
    if (type.id < std::size(kNames) && kNames[type.id] != nullptr)
        return kNames[type.id];
    return u"type " + platform::Decimal(type.id);
}

std::u16string NameText(const Key& name) {
    return name.IsName() ? u"\"" + name.name + u"\"" : platform::Decimal(name.id);
}

// How many languages a folded finding names before it cuts the list short.
constexpr std::size_t kLanguagesShown = 8;

// " (language 1033)", or " in 39 languages (1025, 1026, ...)" for several.
std::u16string LanguagesText(std::vector<std::uint32_t> languages) {
    std::sort(languages.begin(), languages.end());
    languages.erase(std::unique(languages.begin(), languages.end()), languages.end());
    if (languages.size() == 1)
        return u" (language " + platform::Decimal(languages.front()) + u")";
    std::u16string text = u" in " + platform::Decimal(languages.size()) + u" languages (";
    for (std::size_t i = 0; i < languages.size() && i < kLanguagesShown; ++i)
        text += (i == 0 ? u"" : u", ") + platform::Decimal(languages[i]);
    return text + (languages.size() > kLanguagesShown ? u", ...)" : u")");
}

constexpr std::uint32_t kPrimaryLanguageMask = 0x3FF;
constexpr std::uint32_t kPrimaryEnglish = 0x09;
constexpr std::uint32_t kPrimaryNeutral = 0x00;

// The language of a resource the script gets, where the module holds it in
// several: `wanted` where it is there, else 1049 (the build's own), else
// English (the lowest of primary language 0x09), else language-neutral
// (primary 0), else the lowest.
std::size_t ChooseLanguage(const std::vector<Resource>& languages,
                           std::optional<std::uint16_t> wanted) {
    const auto lowest = [&](auto&& fits) -> std::optional<std::size_t> {
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < languages.size(); ++i)
            if (fits(languages[i].language) &&
                (!best || languages[i].language < languages[*best].language))
                best = i;
        return best;
    };
    if (wanted)
        if (const auto i = lowest([&](std::uint32_t l) { return l == *wanted; }))
            return *i;
    if (const auto i = lowest([](std::uint32_t l) { return l == kSkinLanguage; }))
        return *i;
    if (const auto i =
            lowest([](std::uint32_t l) { return (l & kPrimaryLanguageMask) == kPrimaryEnglish; }))
        return *i;
    if (const auto i =
            lowest([](std::uint32_t l) { return (l & kPrimaryLanguageMask) == kPrimaryNeutral; }))
        return *i;
    return *lowest([](std::uint32_t) { return true; });
}

// The leaves of a parsed tree at the depth the loader reads (type, name,
// numbered language), grouped by (type, name); `odd` receives a text for
// every entry that stands elsewhere.
void CollectResources(const TResItem& root, std::vector<NamedResource>& out,
                      std::vector<std::u16string>* odd) {
    auto keyOf = [](const TResItem& node) {
        return Key{static_cast<std::uint32_t>(node.Id), node.Name};
    };
    for (const TResItem* type = root.FirstChild.get(); type; type = type->Next.get()) {
        if (!type->IsDirectory) {
            if (odd)
                odd->push_back(u"data directly under the root, as " + TypeText(keyOf(*type)));
            continue;
        }
        for (const TResItem* name = type->FirstChild.get(); name; name = name->Next.get()) {
            if (!name->IsDirectory) {
                if (odd)
                    odd->push_back(TypeText(keyOf(*type)) + u" " + NameText(keyOf(*name)) +
                                   u" without a language level");
                continue;
            }
            NamedResource named{keyOf(*type), keyOf(*name), {}};
            for (const TResItem* lang = name->FirstChild.get(); lang; lang = lang->Next.get()) {
                const Key language = keyOf(*lang);
                if (lang->IsDirectory || language.IsName() || language.id > kLastNumber) {
                    if (odd)
                        odd->push_back(TypeText(named.type) + u" " + NameText(named.name) +
                                       u" with a language entry " + NameText(language) +
                                       u" that is no language");
                    continue;
                }
                named.languages.push_back(
                    {named.type, named.name, language.id, {lang->ImageData, lang->DataSize}});
            }
            if (!named.languages.empty())
                out.push_back(std::move(named));
        }
    }
}

// The tree of a module's resource section; nullptr with `error` set when
// the bytes hold none that can be read.
std::unique_ptr<TResItem> ReadTree(std::span<const std::uint8_t> bytes, std::u16string& error) {
    const auto headers = acWorkRes::ReadPe32Headers(bytes);
    if (!headers) {
        error = u"it is no 32-bit Windows module (no PE32 headers)";
        return nullptr;
    }
    const auto section = acWorkRes::FindResourceSection(ByteReader(bytes), *headers);
    if (!section) {
        error = u"it has no resource section";
        return nullptr;
    }
    auto root = acWorkRes::ParseResourceDirectory(bytes, section->PointerToRawData,
                                                  section->VirtualAddress, section->SizeOfRawData);
    if (!root)
        error = u"its resource directory is damaged (an entry points outside the section, "
                u"loops or is out of order)";
    return root;
}

namespace {

// What the template module holds: left out of a module that still holds it
// unchanged, since every build starts from it.
const std::vector<Resource>& TemplateResources() {
    static const std::vector<Resource> resources = [] {
        std::vector<Resource> all;
        std::u16string error;
        const std::span<const std::uint8_t> bytes = TemplateModule();
        if (const auto root = ReadTree(bytes, error)) {
            std::vector<NamedResource> named;
            CollectResources(*root, named, nullptr);
            for (NamedResource& one : named)
                all.insert(all.end(), one.languages.begin(), one.languages.end());
        }
        return all;
    }();
    return resources;
}

bool SameKey(const Key& a, const Key& b) {
    return a.id == b.id && a.name == b.name;
}

} // namespace

bool FromTemplate(const Resource& resource) {
    for (const Resource& t : TemplateResources())
        if (SameKey(t.type, resource.type) && SameKey(t.name, resource.name) &&
            t.language == resource.language &&
            std::equal(t.data.begin(), t.data.end(), resource.data.begin(), resource.data.end()))
            return true;
    return false;
}

} // namespace skin::unpack
