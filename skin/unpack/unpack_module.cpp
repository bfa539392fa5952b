#include "skin/unpack/unpack_module.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/checked_math.h"
#include "acWorkRes/icon_import.h"
#include "platform/platform.h"
#include "skin/findings.h"
#include "skin/script/script_vocabulary.h"
#include "skin/string_block.h"
#include "skin/template_module.h"
#include "skin/unpack/script_writer.h"
#include "skin/unpack/unpack_resources.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

namespace skin {

using vocabulary::FoldCase;
namespace {

using acWorkRes::ByteReader;
using namespace unpack;

constexpr std::uint32_t kStringTableName = 1; // the one block a script fills

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
            Add(text + u" cannot be written in a skin script", "unusual-tree");
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
                Add(*slot.image, u" is named by no icon group, so no ICON line can give it back",
                    "orphan-icon-image");
        for (NamedResource& named : all)
            if (named.type.IsNumber(acWorkRes::kRtIcon) && named.name.IsName())
                for (const Resource& image : named.languages)
                    Add(image, u" has a name; the build numbers every icon image",
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

    // A finding, about the module or about one resource; whether it is a
    // warning or a note is the registry's word for its name.
    static bool IsWarning(std::string_view name) {
        return FindingSeverity(name) == Severity::Warning;
    }
    void Add(std::u16string text, std::string name) {
        pending_.push_back({IsWarning(name), std::move(text), {}, {}, {}, std::move(name)});
    }
    void Add(const Resource& resource, std::u16string after, std::string name,
             std::u16string before = {}) {
        pending_.push_back({IsWarning(name),
                            std::move(before),
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
        FoldPlainLanguageNotes(folded);
        for (Pending& finding : folded) {
            std::u16string text = std::move(finding.before);
            if (!finding.subject.empty())
                text += finding.subject + LanguagesText(finding.languages) + finding.after;
            module_.findings.push_back({finding.warning, std::move(text), std::move(finding.name)});
        }
        pending_.clear();
    }

    // A module from elsewhere often holds every resource in one language that
    // is not 1049: one note for all the resources of a language that say
    // only that, in the place of the first, so that the count of findings
    // stays the count of things to think about.
    static void FoldPlainLanguageNotes(std::vector<Pending>& folded) {
        std::map<std::vector<std::uint32_t>, std::vector<std::size_t>> byLanguages;
        for (std::size_t i = 0; i < folded.size(); ++i)
            if (folded[i].name == "other-language" && folded[i].after == PlainLanguageNote())
                byLanguages[folded[i].languages].push_back(i);
        std::vector<bool> dropped(folded.size(), false);
        for (const auto& [languages, members] : byLanguages) {
            if (members.size() < 2)
                continue;
            Pending& first = folded[members.front()];
            std::u16string subjects;
            for (std::size_t k = 0; k < members.size() && k < kSubjectsShown; ++k)
                subjects += (k == 0 ? u"" : u", ") + folded[members[k]].subject;
            if (members.size() > kSubjectsShown)
                subjects +=
                    u", and " + platform::Decimal(members.size() - kSubjectsShown) + u" more";
            first.before =
                platform::Decimal(members.size()) + u" resources" +
                (languages.size() == 1 ? u" in language " + platform::Decimal(languages.front())
                                       : LanguagesText(languages)) +
                u" (" + subjects + u")";
            first.subject.clear();
            first.before +=
                u" are written; the build gives them language " + platform::Decimal(kSkinLanguage);
            for (std::size_t k = 1; k < members.size(); ++k)
                dropped[members[k]] = true;
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < folded.size(); ++i) {
            if (dropped[i])
                continue;
            if (kept != i)
                folded[kept] = std::move(folded[i]);
            ++kept;
        }
        folded.resize(kept);
    }
    static std::u16string PlainLanguageNote() {
        return u" is written; the build gives it language " + platform::Decimal(kSkinLanguage);
    }
    static constexpr std::size_t kSubjectsShown = 8;

    void ReadNamed(const NamedResource& named) {
        if (named.type.IsNumber(acWorkRes::kRtIcon))
            return;
        // A directory may list one name twice; the script can hold it once,
        // and a second line with the same key would replace the first.
        if (!seen_.insert(TypeText(named.type) + u" " + NameText(named.name)).second) {
            for (const Resource& resource : named.languages)
                Add(resource, u" is listed again under the same name; the first entry is read",
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
                Add(resource, u" cannot be written in a skin script", "unexpressible-type");
            return;
        }
        // The script holds one language of a resource; the build writes 1049.
        const std::size_t chosen = ChooseLanguage(named.languages, wanted_);
        const Resource& resource = named.languages[chosen];
        if (strings && !named.name.IsNumber(kStringTableName)) {
            for (const Resource& block : named.languages)
                Add(block, u" holds strings past 15, which a skin script cannot give",
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
            Add(other,
                written ? u" is not written: a script holds one language of a resource, and "
                          u"language " +
                              language + u" of it is written"
                        : u" is not written: a script holds one language of a resource, and "
                          u"language " +
                              language + u" of it was taken (--language N takes another)",
                "second-language");
        }
        if (written && resource.language != kSkinLanguage) {
            std::u16string text = PlainLanguageNote();
            if (others.size() == 1)
                text += u"; the module also holds language " + platform::Decimal(others[0]) +
                        u" of it (--language N takes another)";
            else if (!others.empty())
                text += u"; the module also holds" + LanguagesText(others).substr(3) +
                        u" of it (--language N takes another)";
            Add(resource, std::move(text), "other-language");
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
        Add(resource, u" has a name no key token can carry: " + problem, "unexpressible-name");
        return {};
    }

    std::u16string FilePath(std::u16string_view folder, const std::u16string& file) const {
        return stem_ + u"\\" + std::u16string(folder) + u"\\" + file;
    }

    // Whether the resource is written; one whose name no key token carries
    // stays in the model, marked, with no file.
    bool ReadData(const Resource& resource) {
        if (resource.data.empty()) {
            Add(resource, u" is empty; the build deletes a resource whose file is empty",
                "empty-data");
            return false;
        }
        UnpackedData data;
        data.key = KeyToken(resource);
        data.language = static_cast<std::uint16_t>(resource.language);
        data.kind = DataKindOf(resource.data);
        data.bytes = resource.data;
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
            Add(resource, u" lists no image, so no icon file can give it back",
                "broken-icon-group");
            return false;
        }
        const std::uint64_t size =
            acWorkRes::kIconDirSize + std::uint64_t{*count} * acWorkRes::kGroupIconEntrySize;
        if (!in.Has(0, size)) {
            Add(resource,
                u" is shorter than the " + platform::Decimal(*count) + u" entries it counts",
                "broken-icon-group");
            return false;
        }
        UnpackedIconGroup group;
        group.language = static_cast<std::uint16_t>(resource.language);
        group.header = *header;
        std::uint64_t fileSize = size + std::uint64_t{*count} * 2; // .ico entries are 16 bytes
        bool sizesDiffer = false;
        for (std::uint32_t k = 0; k < *count; ++k) {
            const std::uint64_t at =
                acWorkRes::kIconDirSize + std::uint64_t{k} * acWorkRes::kGroupIconEntrySize;
            const std::uint16_t id = *in.U16(at + acWorkRes::kGroupIconIdOffset);
            const auto slot = images_.find({id, resource.language});
            if (slot == images_.end()) {
                Add(resource,
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
            image.entry = entry;
            image.width = entry[0] == 0 ? 256 : entry[0];
            image.height = entry[1] == 0 ? 256 : entry[1];
            image.colorCount = entry[2];
            image.bitCount = *in.U16(at + 6);
            image.png = IsPng(bytes);
            image.bytes = bytes;
            sizesDiffer =
                sizesDiffer || *in.U32(at + acWorkRes::kIconBytesInResOffset) != bytes.size();
            fileSize += bytes.size();
            group.images.push_back(std::move(image));
        }
        if (fileSize > acWorkRes::kMaxU32) {
            Add(resource, u" is too large for one icon file", "broken-icon-group");
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
            Add(resource,
                u" gives an image size its image does not have; the icon file holds the images "
                u"as they are, so the rebuilt group gives their true sizes",
                "icon-size-differs");
        if (resource.data.size() != size)
            Add(resource, u" holds bytes after its entries, which an icon file cannot give back",
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
            Add(resource, u" holds text in entry 0, which the build leaves empty",
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
                Add(resource,
                    u" is not written: string " + platform::Decimal(stoppedAt) +
                        u" before it cannot be, and the build numbers strings without gaps",
                    "string-after-unwritten", what);
                string.notWritten = u"after an unwritten entry";
            } else if (firstEmpty != 0) {
                if (gapEnd == 0)
                    gapEnd = k;
                Add(resource,
                    u" follows the empty string " + platform::Decimal(firstEmpty) +
                        u"; the build numbers strings without gaps, so it is not written",
                    "string-gap", what);
                string.notWritten = u"gap before entry " + platform::Decimal(gapEnd);
            } else if (!problem.empty()) {
                Add(resource, u" cannot be written: " + problem, "unexpressible-string", what);
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
            Add(resource,
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
            Add(u"the icon images' IDs have gaps or an order that a fresh build does not give "
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
