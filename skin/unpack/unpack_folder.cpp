#include "skin/unpack/unpack_folder.h"

#include "platform/folder_list.h"
#include "platform/platform.h"
#include "skin/build_driver.h"
#include "skin/findings.h"
#include "skin/script/script_vocabulary.h"
#include "skin/unpack/script_writer.h"
#include "skin/unpack/unpack_module.h"

#include <algorithm>
#include <set>

namespace skin {
namespace {

constexpr std::u16string_view kModuleExtension = u".dll";
// What follows the target's name in the temporary folder beside it, before
// the process number: "Unpacked.unpacking-18293".
constexpr std::u16string_view kTemporaryMark = u".unpacking-";

using vocabulary::FoldCase;

bool HasModuleExtension(std::u16string_view name) {
    return name.size() > kModuleExtension.size() &&
           FoldCase(name.substr(name.size() - kModuleExtension.size())) == kModuleExtension;
}

// The row of the build's table whose module has this file name, or -1.
int TableRow(std::u16string_view fileName) {
    const std::u16string folded = FoldCase(fileName);
    for (int row = 0; row < static_cast<int>(std::size(kSkinTargets)); ++row)
        if (FoldCase(platform::FileNamePart(kSkinTargets[row].OutputModule)) == folded)
            return row;
    return -1;
}

std::u16string Separator() {
    return platform::JoinPath(u"", u"\\");
}

[[noreturn]] void Fail(const char16_t* what, const std::u16string& path) {
    throw FileError(what, path);
}

// The module's bytes, mapped where the file can be: its pages are read as
// they are touched and can be let go between uses. A file that cannot be
// mapped (an empty one) is read instead.
std::shared_ptr<const ModuleBytes> ReadModuleBytes(const std::u16string& path) {
    auto bytes = std::make_shared<ModuleBytes>();
    platform::File file = platform::OpenExisting(path, platform::OpenMode::ReadShareRead);
    if (file)
        bytes->mapping = platform::MapWholeFile(file, false);
    if (!bytes->mapping &&
        !platform::ReadWholeFile(path, platform::OpenMode::ReadShareRead, bytes->copy))
        Fail(u"Cannot open file", path);
    return bytes;
}

class FolderWriter {
public:
    explicit FolderWriter(std::u16string root) : root_(std::move(root)) {}

    void File(const std::u16string& relative, std::span<const std::uint8_t> bytes) {
        Stream(relative, [&bytes](const auto& write) { write(bytes); });
    }

    // A file written a part at a time: `fill` hands each part to its writer.
    template <typename Fill> void Stream(const std::u16string& relative, const Fill& fill) {
        const std::u16string path = platform::JoinPath(root_, relative);
        const std::u16string folder = platform::FolderPart(path);
        if (!created_.contains(folder)) {
            if (!platform::CreateFolders(folder))
                Fail(u"Cannot create folder", folder);
            created_.insert(folder);
        }
        // Every file is new: two that met under one name would be a fault,
        // never a silent overwrite.
        platform::File file = platform::CreateNew(path);
        if (!file)
            Fail(u"Cannot create file", path);
        std::uint64_t offset = 0;
        fill([&](std::span<const std::uint8_t> part) {
            if (!file.WriteAt(offset, part))
                Fail(u"Cannot write file", path);
            offset += part.size();
        });
    }

private:
    std::u16string root_;
    std::set<std::u16string> created_;
};

void WriteContents(const UnpackedSkin& skin, const std::u16string& root, const SheetWriter& sheet,
                   const FilesWritten& filesWritten) {
    FolderWriter out(root);
    for (std::size_t index = 0; index < skin.modules.size(); ++index) {
        const UnpackedModule& module = skin.modules[index];
        out.File(u"Files\\" + module.script, WriteSkinScript(module));
        // What the script does not hold stays on the sheet only.
        for (const UnpackedIconGroup& group : module.icons)
            if (group.notWritten.empty())
                out.File(u"Files\\" + group.file, IconFileBytes(group));
        for (const UnpackedData& data : module.data)
            if (data.notWritten.empty())
                out.File(u"Files\\" + data.file, data.bytes);
        ReleaseModuleBytes(module);
        if (filesWritten)
            filesWritten(index);
    }
    out.Stream(u"skin.html", [&sheet](const auto& write) {
        sheet([&write](std::string_view part) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(part.data());
            write(std::span<const std::uint8_t>(bytes, part.size()));
        });
    });
}

} // namespace

std::vector<ModuleFile> ModulesInFolder(const std::u16string& folder) {
    std::vector<std::pair<int, std::u16string>> found;
    for (const platform::FolderEntry& entry : platform::ListFolder(folder)) {
        if (entry.folder || !HasModuleExtension(entry.name))
            continue;
        const int row = TableRow(entry.name);
        found.emplace_back(row < 0 ? static_cast<int>(std::size(kSkinTargets)) : row, entry.name);
    }
    std::sort(found.begin(), found.end());
    std::vector<ModuleFile> modules;
    for (const auto& [row, name] : found)
        modules.push_back({folder + name, u"_skin\\" + name});
    return modules;
}

std::u16string ScriptForModule(std::u16string_view moduleFileName, bool& known) {
    const int row = TableRow(moduleFileName);
    known = row >= 0;
    if (known)
        return kSkinTargets[row].ScriptFile;
    std::u16string_view stem = moduleFileName;
    if (HasModuleExtension(stem))
        stem.remove_suffix(kModuleExtension.size());
    // The script's name is also its folder's: kept to what any system takes.
    std::u16string script;
    for (const char16_t c : stem) {
        const bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        script.push_back(keep ? c : u'_');
    }
    return (script.empty() ? u"_" : script) + u".rc";
}

UnpackedSkin UnpackModules(const std::vector<ModuleFile>& modules,
                           std::optional<std::uint16_t> language) {
    UnpackedSkin skin;
    std::set<std::u16string> scripts;
    for (const ModuleFile& file : modules) {
        UnpackedModule module;
        module.source = ReadModuleBytes(file.path);
        module.moduleFile = file.shown;
        bool known = false;
        const std::u16string script = ScriptForModule(platform::FileNamePart(file.path), known);
        module.script = script;
        for (std::uint64_t n = 2; !scripts.insert(FoldCase(module.script)).second; ++n)
            module.script =
                script.substr(0, script.size() - 3) + u"_" + platform::Decimal(n) + u".rc";
        std::u16string error;
        if (!UnpackModule(module.source->Bytes(), module, error, language))
            throw GeneralError(u"Cannot read module \"" + file.path + u"\": " + error + u".");
        ReleaseModuleBytes(module);
        if (!known || module.script != script)
            module.findings.insert(
                module.findings.begin(),
                {FindingSeverity("unknown-module") == Severity::Warning,
                 u"written as " + module.script +
                     u", which the build does not read: it reads only the eight scripts of its "
                     u"table (vistel.rc, tavo.rc, brel.rc, quon.rc, zelma.rc, oxin.rc, "
                     u"marvet.rc, polden.rc)",
                 "unknown-module"});
        skin.modules.push_back(std::move(module));
    }
    return skin;
}

std::vector<StaleFolder> ClearStaleFolders(const std::u16string& parent) {
    std::vector<StaleFolder> removed;
    const std::u16string listed = parent.empty() ? u"." : parent;
    for (const platform::FolderEntry& entry : platform::ListFolder(listed)) {
        if (!entry.folder || entry.link)
            continue;
        const std::size_t at = entry.name.rfind(kTemporaryMark);
        if (at == std::u16string::npos || at == 0)
            continue;
        const std::u16string_view digits =
            std::u16string_view(entry.name).substr(at + kTemporaryMark.size());
        // Decimal as the unpacker writes it: no sign, no leading zero, 32 bits.
        if (digits.empty() || digits.size() > 10 || digits.front() == u'0')
            continue;
        std::uint64_t id = 0;
        bool number = true;
        for (const char16_t c : digits) {
            if (c < u'0' || c > u'9') {
                number = false;
                break;
            }
            id = id * 10 + static_cast<std::uint64_t>(c - u'0');
        }
        if (!number || id > 0xFFFFFFFFu)
            continue;
        const auto process = static_cast<std::uint32_t>(id);
        if (process == platform::ProcessId() || platform::ProcessRuns(process))
            continue;
        const std::u16string path = parent + entry.name;
        // Only what an unpack writes there: a folder that holds anything
        // else is somebody's own, whatever its name says.
        bool ours = true;
        for (const platform::FolderEntry& inside : platform::ListFolder(path))
            ours = ours && ((inside.folder && !inside.link && inside.name == u"Files") ||
                            (!inside.folder && !inside.link && inside.name == u"skin.html"));
        if (!ours)
            continue;
        if (platform::RemoveTree(path))
            removed.push_back({path, process});
    }
    std::sort(removed.begin(), removed.end(),
              [](const StaleFolder& a, const StaleFolder& b) { return a.path < b.path; });
    return removed;
}

std::vector<StaleFolder> WriteUnpackedFolder(const UnpackedSkin& skin, const std::u16string& target,
                                             std::string_view sheetHtml) {
    return WriteUnpackedFolder(skin, target, [sheetHtml](const auto& write) { write(sheetHtml); });
}

void ReleaseModuleBytes(const UnpackedModule& module) {
    if (module.source)
        module.source->mapping.ReleasePages();
}

std::vector<StaleFolder> WriteUnpackedFolder(const UnpackedSkin& skin, const std::u16string& target,
                                             const SheetWriter& sheet,
                                             const FilesWritten& filesWritten) {
    std::u16string folder = target;
    while (folder.size() > 1 && (folder.back() == u'\\' || folder.back() == u'/'))
        folder.pop_back();
    const bool exists = platform::FolderExists(folder);
    if (!exists && platform::FileExists(folder))
        throw GeneralError(u"Cannot write into \"" + folder + u"\": it is a file.");
    if (exists && !platform::ListFolder(folder).empty())
        throw GeneralError(u"Cannot write into \"" + folder +
                           u"\": the folder holds files already, and the unpacker writes only "
                           u"into a new or empty folder.");
    std::vector<StaleFolder> stale = ClearStaleFolders(platform::FolderPart(folder));
    const std::u16string temporary =
        folder + std::u16string(kTemporaryMark) + platform::Decimal(platform::ProcessId());
    if (platform::FolderExists(temporary))
        platform::RemoveTree(temporary);
    if (!platform::CreateFolders(temporary))
        Fail(u"Cannot create folder", temporary);
    try {
        WriteContents(skin, temporary + Separator(), sheet, filesWritten);
        if (exists && !platform::RemoveEmptyFolder(folder))
            Fail(u"Cannot replace folder", folder);
        if (!platform::RenameFolder(temporary, folder))
            Fail(u"Cannot create folder", folder);
    } catch (...) {
        platform::RemoveTree(temporary);
        throw;
    }
    return stale;
}

} // namespace skin
