#include "skin/unpack_module.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/checked_math.h"
#include "acWorkRes/icon_import.h"
#include "acWorkRes/pe_headers.h"
#include "acWorkRes/resource_tree.h"
#include "platform/platform.h"
#include "skin/script_writer.h"
#include "skin/string_block.h"
#include "skin/template_module.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

namespace skin {
namespace {

using acWorkRes::ByteReader;
using acWorkRes::TResItem;

constexpr std::uint32_t kStringTableName = 1; // the one block a script fills
constexpr std::uint32_t kLastNumber = 0xFFFF;

// A type, name or language as the directory gives it: a number (any 32-bit
// value the entry holds) or a name.
struct Key {
    std::uint32_t id = 0;
    std::u16string name;

    bool IsName() const { return !name.empty(); }
    bool IsNumber(std::uint32_t n) const { return !IsName() && id == n; }
};

struct Resource {
    Key type;
    Key name;
    std::uint32_t language = 0;
    std::span<const std::uint8_t> data;
};

// The languages of one (type, name), in the directory's order.
struct NamedResource {
    Key type;
    Key name;
    std::vector<Resource> languages;
};

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

bool FromTemplate(const Resource& resource) {
    for (const Resource& t : TemplateResources())
        if (SameKey(t.type, resource.type) && SameKey(t.name, resource.name) &&
            t.language == resource.language &&
            std::equal(t.data.begin(), t.data.end(), resource.data.begin(), resource.data.end()))
            return true;
    return false;
}

bool IsPng(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return bytes.size() >= std::size(kSignature) &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

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

std::u16string FoldCase(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return text;
}

// File names of one folder, unique when letter case is ignored.
class FileNames {
public:
    std::u16string Take(std::u16string_view name, std::u16string_view extension) {
        const std::u16string stem = SafeFileStem(name);
        std::u16string file = stem + std::u16string(extension);
        for (std::uint64_t n = 2; !taken_.insert(FoldCase(file)).second; ++n)
            file = stem + u"_" + platform::Decimal(n) + std::u16string(extension);
        return file;
    }

private:
    std::set<std::u16string> taken_;
};

// "it holds a line break" as the few words beside a string: "holds a line break".
std::u16string Reason(std::u16string problem) {
    if (problem.starts_with(u"it "))
        problem.erase(0, 3);
    return problem;
}

class ModuleReader {
public:
    ModuleReader(UnpackedModule& module, std::optional<std::uint16_t> language)
        : module_(module), wanted_(language) {
        std::u16string script = module.script;
        if (script.size() > 3 && FoldCase(script.substr(script.size() - 3)) == u".rc")
            script.resize(script.size() - 3);
        stem_ = script;
    }

    void Read(std::vector<NamedResource>& all, const std::vector<std::u16string>& odd) {
        for (const std::u16string& text : odd)
            Warn(text + u" cannot be written in a skin script", "unusual-tree");
        // RT_ICON images are found through their groups; the rest are listed after.
        for (NamedResource& named : all)
            if (named.type.IsNumber(acWorkRes::kRtIcon) && !named.name.IsName())
                for (const Resource& image : named.languages)
                    images_.emplace(std::make_pair(image.name.id, image.language),
                                    ImageSlot{&image, false});
        for (NamedResource& named : all)
            ReadNamed(named);
        for (const auto& [key, slot] : images_)
            if (!slot.consumed)
                Warn(*slot.image, u" is named by no icon group, so no ICON line can give it back",
                     "orphan-icon-image");
        for (NamedResource& named : all)
            if (named.type.IsNumber(acWorkRes::kRtIcon) && named.name.IsName())
                for (const Resource& image : named.languages)
                    Warn(image, u" has a name; the build numbers every icon image",
                         "orphan-icon-image");
        OrderIcons();
        FoldFindings();
    }

private:
    struct ImageSlot {
        const Resource* image;
        bool consumed;
    };

    // A finding before the languages of one resource are folded into one
    // line: the resource, when it is about one, stands between `before` and
    // `after` with its languages.
    struct Pending {
        bool warning = true;
        std::u16string before;
        std::u16string subject; // "RT_MENU \"MENU_001\""; empty: `before` is the whole text
        std::vector<std::uint32_t> languages;
        std::u16string after;
        std::string name;
    };

    void Warn(std::u16string text, std::string name) {
        pending_.push_back({true, std::move(text), {}, {}, {}, std::move(name)});
    }
    void Note(std::u16string text, std::string name) {
        pending_.push_back({false, std::move(text), {}, {}, {}, std::move(name)});
    }
    void Warn(const Resource& resource, std::u16string after, std::string name,
              std::u16string before = {}) {
        pending_.push_back({true,
                            std::move(before),
                            TypeText(resource.type) + u" " + NameText(resource.name),
                            {resource.language},
                            std::move(after),
                            std::move(name)});
    }
    void Note(const Resource& resource, std::u16string after, std::string name) {
        pending_.push_back({false,
                            {},
                            TypeText(resource.type) + u" " + NameText(resource.name),
                            {resource.language},
                            std::move(after),
                            std::move(name)});
    }

    // One finding for all the languages of a resource that say the same, in
    // the place of the first.
    void FoldFindings() {
        std::map<std::tuple<bool, std::u16string, std::u16string, std::u16string, std::string>,
                 std::size_t>
            first;
        std::vector<Pending> folded;
        for (Pending& finding : pending_) {
            if (!finding.subject.empty()) {
                const auto [at, inserted] =
                    first.emplace(std::make_tuple(finding.warning, finding.before, finding.subject,
                                                  finding.after, finding.name),
                                  folded.size());
                if (!inserted) {
                    folded[at->second].languages.push_back(finding.languages.front());
                    continue;
                }
            }
            folded.push_back(std::move(finding));
        }
        for (Pending& finding : folded) {
            std::u16string text = std::move(finding.before);
            if (!finding.subject.empty())
                text += finding.subject + LanguagesText(finding.languages) + finding.after;
            module_.findings.push_back({finding.warning, std::move(text), std::move(finding.name)});
        }
        pending_.clear();
    }

    void ReadNamed(const NamedResource& named) {
        if (named.type.IsNumber(acWorkRes::kRtIcon))
            return;
        // A directory may list one name twice; the script can hold it once,
        // and a second line with the same key would replace the first.
        if (!seen_.insert(TypeText(named.type) + u" " + NameText(named.name)).second) {
            for (const Resource& resource : named.languages)
                Warn(resource, u" is listed again under the same name; the first entry is read",
                     "duplicate-name");
            if (named.type.IsNumber(acWorkRes::kRtGroupIcon))
                for (const Resource& resource : named.languages)
                    ConsumeGroupImages(resource);
            return;
        }
        const bool strings = named.type.IsNumber(acWorkRes::kRtString);
        const bool known = named.type.IsNumber(acWorkRes::kRtRcData) ||
                           named.type.IsNumber(acWorkRes::kRtGroupIcon) || strings;
        if (!known) {
            for (const Resource& resource : named.languages)
                Warn(resource, u" cannot be written in a skin script", "unexpressible-type");
            return;
        }
        // The script holds one language of a resource; the build writes 1049.
        const std::size_t chosen = ChooseLanguage(named.languages, wanted_);
        const Resource& resource = named.languages[chosen];
        if (strings && !named.name.IsNumber(kStringTableName)) {
            for (const Resource& block : named.languages)
                Warn(block, u" holds strings past 15, which a skin script cannot give",
                     "strings-past-15");
            ListLaterStrings(resource);
            return;
        }
        bool written = false;
        if (strings)
            written = ReadStrings(resource);
        else if (named.type.IsNumber(acWorkRes::kRtRcData))
            written = ReadData(resource);
        else
            written = ReadGroup(resource);
        const std::u16string language = platform::Decimal(resource.language);
        std::vector<std::uint32_t> others;
        for (std::size_t i = 0; i < named.languages.size(); ++i) {
            if (i == chosen)
                continue;
            const Resource& other = named.languages[i];
            others.push_back(other.language);
            if (named.type.IsNumber(acWorkRes::kRtGroupIcon))
                ConsumeGroupImages(other);
            Warn(other,
                 written ? u" is not written: a script holds one language of a resource, and "
                           u"language " +
                               language + u" of it is written"
                         : u" is not written: a script holds one language of a resource, and "
                           u"language " +
                               language + u" of it was taken (--language N takes another)",
                 "second-language");
        }
        if (written && resource.language != kSkinLanguage) {
            std::u16string text =
                u" is written; the build gives it language " + platform::Decimal(kSkinLanguage);
            if (others.size() == 1)
                text += u"; the module also holds language " + platform::Decimal(others[0]) +
                        u" of it (--language N takes another)";
            else if (!others.empty())
                text += u"; the module also holds" + LanguagesText(others).substr(3) +
                        u" of it (--language N takes another)";
            Note(resource, std::move(text), "other-language");
        }
    }

    // The key token the resource's name is written as; empty (and listed)
    // when no key token can carry it.
    std::u16string KeyToken(const Resource& resource) {
        std::u16string problem;
        if (!resource.name.IsName()) {
            if (resource.name.id == 0)
                problem = u"the number 0 reads as no number";
            else if (resource.name.id > kLastNumber)
                problem = u"it is larger than 65535";
            else
                return platform::Decimal(resource.name.id);
        } else {
            problem = KeyNameProblem(resource.name.name);
            if (problem.empty())
                return resource.name.name;
        }
        Warn(resource, u" has a name no key token can carry: " + problem, "unexpressible-name");
        return {};
    }

    std::u16string FilePath(std::u16string_view folder, const std::u16string& file) const {
        return stem_ + u"\\" + std::u16string(folder) + u"\\" + file;
    }

    // Whether the resource is written; one whose name no key token carries
    // stays in the model, marked, with no file.
    bool ReadData(const Resource& resource) {
        if (resource.data.empty()) {
            Warn(resource, u" is empty; the build deletes a resource whose file is empty",
                 "empty-data");
            return false;
        }
        UnpackedData data;
        data.key = KeyToken(resource);
        data.language = static_cast<std::uint16_t>(resource.language);
        data.kind = DataKindOf(resource.data);
        data.bytes.assign(resource.data.begin(), resource.data.end());
        const bool written = !data.key.empty();
        if (written) {
            data.file = FilePath(u"data", dataFiles_.Take(data.key, ExtensionOf(data.kind)));
        } else {
            data.key = NameText(resource.name);
            data.notWritten = kUnwritableName;
        }
        module_.data.push_back(std::move(data));
        return written;
    }

    // Marks the images a group in another language names as covered by the
    // group's own finding.
    void ConsumeGroupImages(const Resource& group) {
        for (const std::uint16_t id : acWorkRes::GroupIconIds(group.data)) {
            const auto slot = images_.find({id, group.language});
            if (slot != images_.end())
                slot->second.consumed = true;
        }
    }

    bool ReadGroup(const Resource& resource) {
        ConsumeGroupImages(resource);
        const ByteReader in(resource.data);
        const auto header = in.Slice(0, acWorkRes::kIconDirSize);
        const auto count = in.U16(acWorkRes::kIconCountOffset);
        if (!header || !count || *count == 0) {
            Warn(resource, u" lists no image, so no icon file can give it back",
                 "broken-icon-group");
            return false;
        }
        const std::uint64_t size =
            acWorkRes::kIconDirSize + std::uint64_t{*count} * acWorkRes::kGroupIconEntrySize;
        if (!in.Has(0, size)) {
            Warn(resource,
                 u" is shorter than the " + platform::Decimal(*count) + u" entries it counts",
                 "broken-icon-group");
            return false;
        }
        UnpackedIconGroup group;
        group.language = static_cast<std::uint16_t>(resource.language);
        group.header.assign(header->begin(), header->end());
        std::uint64_t fileSize = size + std::uint64_t{*count} * 2; // .ico entries are 16 bytes
        bool sizesDiffer = false;
        for (std::uint32_t k = 0; k < *count; ++k) {
            const std::uint64_t at =
                acWorkRes::kIconDirSize + std::uint64_t{k} * acWorkRes::kGroupIconEntrySize;
            const std::uint16_t id = *in.U16(at + acWorkRes::kGroupIconIdOffset);
            const auto slot = images_.find({id, resource.language});
            if (slot == images_.end()) {
                Warn(resource,
                     u" names RT_ICON " + platform::Decimal(id) +
                         u", which the module does not hold in its language; the group is not "
                         u"written",
                     "missing-icon-image");
                return false;
            }
            const std::span<const std::uint8_t> bytes = slot->second.image->data;
            UnpackedIconImage image;
            image.iconId = id;
            const auto entry = *in.Slice(at, acWorkRes::kIconEntrySharedSize);
            image.entry.assign(entry.begin(), entry.end());
            image.width = entry[0] == 0 ? 256 : entry[0];
            image.height = entry[1] == 0 ? 256 : entry[1];
            image.colorCount = entry[2];
            image.bitCount = *in.U16(at + 6);
            image.png = IsPng(bytes);
            image.bytes.assign(bytes.begin(), bytes.end());
            sizesDiffer =
                sizesDiffer || *in.U32(at + acWorkRes::kIconBytesInResOffset) != bytes.size();
            fileSize += bytes.size();
            group.images.push_back(std::move(image));
        }
        if (fileSize > acWorkRes::kMaxU32) {
            Warn(resource, u" is too large for one icon file", "broken-icon-group");
            return false;
        }
        group.key = KeyToken(resource);
        if (group.key.empty()) {
            group.key = NameText(resource.name);
            group.notWritten = kUnwritableName;
            module_.icons.push_back(std::move(group));
            return false;
        }
        if (sizesDiffer)
            Warn(resource,
                 u" gives an image size its image does not have; the icon file holds the images "
                 u"as they are, so the rebuilt group gives their true sizes",
                 "icon-size-differs");
        if (resource.data.size() != size)
            Warn(resource, u" holds bytes after its entries, which an icon file cannot give back",
                 "icon-group-extra-bytes");
        group.file = FilePath(u"icons", iconFiles_.Take(group.key, u".ico"));
        module_.icons.push_back(std::move(group));
        return true;
    }

    // Whether any string of the first block is written.
    bool ReadStrings(const Resource& resource) {
        const std::vector<StringBlockEntry> entries = ReadStringBlock(resource.data);
        const std::size_t findingsBefore = pending_.size();
        if (!entries.empty() && !entries[0].text.empty())
            Warn(resource, u" holds text in entry 0, which the build leaves empty",
                 "string-entry-zero");
        std::uint32_t firstEmpty = 0;
        std::uint32_t gapEnd = 0;    // the first entry after the first gap
        std::uint32_t stoppedAt = 0; // the first entry not written, when it is no gap
        StringBlock rebuilt;
        for (std::uint32_t k = 1; k < entries.size(); ++k) {
            const StringBlockEntry& entry = entries[k];
            if (entry.text.empty()) {
                if (firstEmpty == 0)
                    firstEmpty = k;
                continue;
            }
            UnpackedString string{k, entry.text, entry.cut, false, {}};
            const std::u16string what = u"string " + platform::Decimal(k) + u" of ";
            const std::u16string problem =
                entry.cut ? u"the block ends inside it" : StringTextProblem(entry.text);
            if (stoppedAt != 0) {
                Warn(resource,
                     u" is not written: string " + platform::Decimal(stoppedAt) +
                         u" before it cannot be, and the build numbers strings without gaps",
                     "string-after-unwritten", what);
                string.notWritten = u"after an unwritten entry";
            } else if (firstEmpty != 0) {
                if (gapEnd == 0)
                    gapEnd = k;
                Warn(resource,
                     u" follows the empty string " + platform::Decimal(firstEmpty) +
                         u"; the build numbers strings without gaps, so it is not written",
                     "string-gap", what);
                string.notWritten = u"gap before entry " + platform::Decimal(gapEnd);
            } else if (!problem.empty()) {
                Warn(resource, u" cannot be written: " + problem, "unexpressible-string", what);
                string.notWritten = Reason(problem);
                stoppedAt = k;
            } else {
                string.written = true;
                rebuilt.Add(entry.text);
            }
            module_.strings.push_back(std::move(string));
        }
        const bool written = rebuilt.EntryCount() != 0;
        const std::vector<std::uint8_t> bytes = rebuilt.Finish();
        const bool same = written && std::equal(bytes.begin(), bytes.end(), resource.data.begin(),
                                                resource.data.end());
        if (!same && pending_.size() == findingsBefore)
            Warn(resource,
                 written ? u" is not laid out as the build lays out its strings; they are "
                           u"written, and the rebuilt block differs"
                         : u" holds no string the build could write",
                 "string-block-form");
        return written;
    }

    // The strings of a later block (IDs 16 and up), in the model for the
    // sheet, none of them written.
    void ListLaterStrings(const Resource& resource) {
        if (resource.name.IsName() || resource.name.id == 0 || resource.name.id > kLastNumber)
            return;
        const std::vector<StringBlockEntry> entries = ReadStringBlock(resource.data);
        const std::uint32_t first = (resource.name.id - 1) * kStringsPerBlock;
        for (std::uint32_t k = 0; k < entries.size() && k < kStringsPerBlock; ++k)
            if (!entries[k].text.empty())
                module_.strings.push_back(
                    {first + k, entries[k].text, entries[k].cut, false, u"past entry 15"});
    }

    // Orders the ICON lines so that a fresh build, which hands out RT_ICON
    // IDs from 50 upward in line order, gives each image its ID again; where
    // no order can, says so.
    void OrderIcons() {
        std::vector<UnpackedIconGroup>& icons = module_.icons;
        std::stable_sort(icons.begin(), icons.end(), [](const auto& a, const auto& b) {
            return a.images.front().iconId < b.images.front().iconId;
        });
        std::int32_t next = acWorkRes::kFirstIconId;
        bool renumbered = false;
        for (const UnpackedIconGroup& group : icons)
            if (group.notWritten.empty())
                for (const UnpackedIconImage& image : group.images)
                    renumbered = renumbered || image.iconId != next++;
        if (renumbered)
            Note(u"the icon images' IDs have gaps or an order that a fresh build does not give "
                 u"(a group replaced inside one script, images of other tools); the rebuilt "
                 u"module holds the same icons under IDs from 50 upward",
                 "icon-ids-renumbered");
    }

    static constexpr std::uint32_t kStringsPerBlock = kStringBlockEntries;
    static constexpr std::u16string_view kUnwritableName = u"name no key token can carry";

    UnpackedModule& module_;
    std::optional<std::uint16_t> wanted_;
    std::u16string stem_;
    std::map<std::pair<std::uint32_t, std::uint32_t>, ImageSlot> images_;
    std::set<std::u16string> seen_; // the (type, name) pairs read, as the findings name them
    FileNames iconFiles_;
    FileNames dataFiles_;
    std::vector<Pending> pending_;
};

} // namespace

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

bool UnpackModule(std::span<const std::uint8_t> bytes, UnpackedModule& module,
                  std::u16string& error, std::optional<std::uint16_t> language) {
    module.icons.clear();
    module.strings.clear();
    module.data.clear();
    module.findings.clear();
    const auto root = ReadTree(bytes, error);
    if (!root)
        return false;
    std::vector<NamedResource> all;
    std::vector<std::u16string> odd;
    CollectResources(*root, all, &odd);
    for (NamedResource& named : all)
        std::erase_if(named.languages, FromTemplate);
    std::erase_if(all, [](const NamedResource& named) { return named.languages.empty(); });
    ModuleReader(module, language).Read(all, odd);
    return true;
}

std::u16string UnpackFindingLine(const UnpackedModule& module, const UnpackedFinding& finding) {
    return module.moduleFile + (finding.warning ? u": warning: " : u": note: ") + finding.text +
           u" [" + platform::Utf8ToUtf16(finding.name) + u"]";
}

} // namespace skin
