// The checker over a program folder: each script of the build's table, the
// files its lines name, what "Used files" would leave and the modules that no
// script builds any more; and a finding as one line of text.
#include "skin/check/script_check.h"
#include "skin/check/script_check_text.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/icon_import.h"
#include "platform/folder_list.h"
#include "platform/platform.h"
#include "skin/build_driver.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace skin {

using namespace check_text;

namespace {

// Where a file named by a script stands, found folder by folder so that a name
// that differs only in letter case is seen on every system.
struct Located {
    enum class What { Missing, File, Folder } what = What::Missing;
    std::u16string onDisk; // the relative path as the file system spells it
    bool caseDiffers = false;
};

class SkinFolder {
public:
    explicit SkinFolder(const std::u16string& programFolder) : program_(programFolder) {}

    std::u16string Path(std::u16string_view relative) const {
        return platform::JoinPath(program_, relative);
    }

    Located Locate(std::u16string_view relative) {
        Located located;
        std::u16string folder = Path(kFilesFolder);
        std::size_t pos = 0;
        while (true) {
            const std::size_t end = relative.find_first_of(u"\\/", pos);
            const std::u16string_view part = relative.substr(pos, end - pos);
            if (part.empty() || part == u"." || part == u"..")
                return ByExistence(relative);
            const std::vector<platform::FolderEntry>& entries = List(folder);
            auto found = std::find_if(entries.begin(), entries.end(),
                                      [&](const auto& e) { return e.name == part; });
            if (found == entries.end()) {
                found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                    return platform::KeywordEquals(e.name, part);
                });
                if (found == entries.end())
                    return located;
                located.caseDiffers = true;
            }
            located.onDisk += found->name;
            if (end == std::u16string_view::npos) {
                located.what = found->folder ? Located::What::Folder : Located::What::File;
                return located;
            }
            if (!found->folder)
                return Located{};
            located.onDisk += u'\\';
            folder = platform::JoinPath(folder, found->name + u"\\");
            pos = end + 1;
        }
    }

    // Every file below Files\, "\"-separated, relative to it (links to folders left out).
    void AllFiles(const std::u16string& folder, const std::u16string& relative,
                  std::vector<std::u16string>& files) {
        for (const platform::FolderEntry& entry : List(folder)) {
            // Links to folders are not followed: they could lead back up.
            if (!entry.folder)
                files.push_back(relative + entry.name);
            else if (!entry.link)
                AllFiles(platform::JoinPath(folder, entry.name + u"\\"),
                         relative + entry.name + u"\\", files);
        }
    }

private:
    const std::vector<platform::FolderEntry>& List(const std::u16string& folder) {
        auto found = listings_.find(folder);
        if (found == listings_.end())
            found = listings_.emplace(folder, platform::ListFolder(folder)).first;
        return found->second;
    }

    // A path with "." or ".." in it is taken as the system takes it.
    Located ByExistence(std::u16string_view relative) const {
        const std::u16string path = Path(kFilesFolder + std::u16string(relative));
        Located located;
        located.onDisk = relative;
        if (platform::FileExists(path))
            located.what = Located::What::File;
        else if (platform::FolderExists(path))
            located.what = Located::What::Folder;
        return located;
    }

    std::u16string program_;
    std::unordered_map<std::u16string, std::vector<platform::FolderEntry>> listings_;
};

// Why the icon import turns an icon file down, told from its header.
std::u16string IconProblem(std::span<const std::uint8_t> bytes) {
    const acWorkRes::ByteReader reader(bytes);
    const auto count = reader.U16(acWorkRes::kIconCountOffset);
    if (!reader.Has(0, acWorkRes::kIconDirSize) || !count)
        return u"it is shorter than the 6-byte icon header";
    if (*count == 0)
        return u"its header lists no image";
    if (!reader.Has(acWorkRes::kIconDirSize, std::uint64_t{*count} * acWorkRes::kIconDirEntrySize))
        return u"it is shorter than the " + platform::Decimal(*count) +
               u" image entries its header lists";
    return u"an image it lists lies outside the file";
}

// Files that a script names in UTF-8 without a marker, which the build reads
// garbled: the file, the script and its line.
using Garbled = std::map<std::u16string, std::pair<std::u16string, std::size_t>>;

// The findings about the file a line names, and whether the resource of
// that line is written (replacing one of an earlier line).
void CheckReference(SkinFolder& folder, const FileReference& reference, ScriptCheck& script,
                    std::set<std::u16string>& used, Garbled& garbled, platform::FileBytes& buffer) {
    const std::u16string shown =
        script.Shown(platform::JoinPath(u"", kFilesFolder + reference.name));
    const auto add = [&](std::string_view name, std::u16string text) {
        script.Add(0, 0, name, std::move(text), shown);
        Finding& finding = script.Findings().back();
        finding.line = reference.line;
        finding.column = reference.column;
    };
    // What becomes of the resource: written, deleted (an empty data file) or
    // not written at all.
    enum class Outcome { Written, Deleted, NotWritten } outcome = Outcome::NotWritten;
    const Located located = folder.Locate(reference.name);
    switch (located.what) {
    case Located::What::Missing: {
        // A name of UTF-8 bytes in a script without a marker: the build
        // looks for the name as the ANSI code page reads those bytes.
        const std::u16string meant = script.Shown(reference.name);
        const Located asMeant = meant != reference.name ? folder.Locate(meant) : Located{};
        if (asMeant.what == Located::What::File) {
            const std::u16string looked = platform::JoinPath(u"", kFilesFolder + reference.name);
            add("file-not-found",
                u"the build looks for " + QuotedPath(looked) + u", not for " + QuotedPath(shown) +
                    u": the script has no byte-order mark, so the name is read in the ANSI code "
                    u"page; save the script as UTF-8 with a marker");
            script.Findings().back().word = looked;
            garbled.emplace(asMeant.onDisk, std::make_pair(script.File(), reference.line));
            break;
        }
        if (reference.optionWordFinding != 0) {
            // The option word's finding says that it stands for the file.
            script.Findings()[reference.optionWordFinding - 1].text +=
                u", and there is no file " + QuotedPath(shown);
            break;
        }
        add("file-not-found", u"file " + QuotedPath(shown) + u" not found");
        break;
    }
    case Located::What::Folder:
        add("file-is-folder", QuotedPath(shown) + u" is a folder, not a file");
        break;
    case Located::What::File: {
        used.insert(located.onDisk);
        if (located.caseDiffers)
            add("file-case", QuotedPath(script.Shown(reference.name)) + u" is " +
                                 QuotedPath(script.Shown(located.onDisk)) +
                                 u" on disk: found on Windows, not found on Linux");
        const std::u16string path = folder.Path(kFilesFolder + located.onDisk);
        if (!platform::ReadWholeFile(path, platform::OpenMode::ReadShareRead, buffer)) {
            add("file-unreadable", QuotedPath(shown) + u" cannot be read: " +
                                       platform::SystemErrorText(platform::LastError()));
            break;
        }
        outcome = Outcome::Written;
        if (reference.kind == RequestKind::RcData && buffer.empty()) {
            add("empty-data",
                QuotedPath(shown) + u" is empty: the build deletes the resource instead");
            outcome = Outcome::Deleted;
        }
        if (reference.kind == RequestKind::Icon && !acWorkRes::ParseIconFile(buffer.Bytes())) {
            add("bad-icon",
                QuotedPath(shown) + u" is no icon the build takes: " + IconProblem(buffer.Bytes()));
            outcome = Outcome::NotWritten;
        }
        break;
    }
    }
    if (reference.previous == 0)
        return;
    std::u16string text = (reference.kind == RequestKind::Icon ? u"icon " : u"data ") +
                          Quoted(reference.key) + u" is also written on line " +
                          platform::Decimal(reference.previous);
    switch (outcome) {
    case Outcome::Written:
        text += u": this one replaces it";
        break;
    case Outcome::Deleted:
        text += u": this one deletes it";
        break;
    case Outcome::NotWritten:
        text += u": this line's file is not written, so it replaces nothing";
        break;
    }
    add("written-twice", std::move(text));
    script.Findings().back().column = reference.keyColumn;
    script.Findings().back().word = reference.key;
}

} // namespace

std::size_t FindingLimit(std::size_t lines) {
    return std::max<std::size_t>(lines / 8, 25);
}

std::size_t CheckReport::Count(Severity severity) const {
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const Finding& f) { return f.severity == severity; }));
}

CheckReport CheckSkin(const std::u16string& programFolder) {
    CheckReport report;
    SkinFolder folder(programFolder);
    std::set<std::u16string> used;
    Garbled garbled;
    std::vector<Finding> notes;
    platform::FileBytes buffer;

    for (const SkinTarget& target : kSkinTargets) {
        const Located located = folder.Locate(target.ScriptFile);
        if (located.what != Located::What::File) {
            if (platform::FileExists(folder.Path(target.OutputModule)))
                notes.push_back(
                    Finding::Whole(target.OutputModule, 0, 0, "stale-module",
                                   u"no script " +
                                       QuotedPath(platform::JoinPath(
                                           u"", kFilesFolder + std::u16string(target.ScriptFile))) +
                                       u" builds this module: the build leaves it as it is"));
            continue;
        }
        // Checked under the name on disk, so that both systems say the same.
        const std::u16string shown = kFilesFolder + located.onDisk;
        used.insert(located.onDisk);
        if (located.caseDiffers)
            report.findings.push_back(
                Finding::Whole(shown, 0, 0, "file-case",
                               u"the builder looks for " + QuotedPath(target.ScriptFile) +
                                   u": found on Windows, not found on Linux"));
        if (!platform::ReadWholeFile(folder.Path(shown), platform::OpenMode::ReadShareRead,
                                     buffer)) {
            report.findings.push_back(Finding::Whole(
                shown, 0, 0, "cannot-read",
                u"cannot read the script: " + platform::SystemErrorText(platform::LastError())));
            continue;
        }
        ++report.scripts;
        ScriptCheck script(shown);
        script.Read(buffer.Bytes());
        for (const FileReference& reference : script.References())
            CheckReference(folder, reference, script, used, garbled, buffer);
        script.Finish();
        report.findings.insert(report.findings.end(),
                               std::make_move_iterator(script.Findings().begin()),
                               std::make_move_iterator(script.Findings().end()));
    }

    // What "Used files" would leave behind, in name order.
    std::vector<std::u16string> files;
    folder.AllFiles(folder.Path(kFilesFolder), {}, files);
    std::sort(files.begin(), files.end());
    for (const std::u16string& file : files) {
        if (used.count(file) != 0)
            continue;
        const auto named = garbled.find(file);
        report.findings.push_back(Finding::Whole(
            kFilesFolder + file, 0, 0, "unused-file",
            named == garbled.end()
                ? u"no script names this file: \"Used files\" leaves it where it is"
                : u"no script names this file as the build reads it: line " +
                      platform::Decimal(named->second.second) + u" of " +
                      QuotedPath(platform::JoinPath(u"", named->second.first)) +
                      u" names it in UTF-8 without a byte-order mark, read garbled; \"Used "
                      u"files\" leaves it where it is"));
    }
    report.findings.insert(report.findings.end(), std::make_move_iterator(notes.begin()),
                           std::make_move_iterator(notes.end()));
    return report;
}

Finding Finding::Whole(std::u16string file, std::size_t line, std::size_t column,
                       std::string_view name, std::u16string text) {
    Finding finding;
    finding.file = std::move(file);
    finding.line = line;
    finding.column = column;
    finding.severity = FindingSeverity(name);
    finding.name = name;
    finding.text = std::move(text);
    return finding;
}

std::u16string FindingLine(const Finding& finding) {
    std::u16string line = platform::JoinPath(u"", finding.File());
    if (finding.line != 0) {
        line += u':';
        platform::AppendDecimal(line, finding.line);
        line += u':';
        platform::AppendDecimal(line, finding.column);
    }
    switch (finding.severity) {
    case Severity::Note:
        line += u": note: ";
        break;
    case Severity::Warning:
        line += u": warning: ";
        break;
    case Severity::Error:
        line += u": error: ";
        break;
    }
    line += finding.text;
    line += u" [";
    line += platform::Utf8ToUtf16(finding.name);
    line += u']';
    return line;
}

} // namespace skin
