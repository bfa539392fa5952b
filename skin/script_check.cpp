#include "skin/script_check.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/icon_import.h"
#include "platform/folder_list.h"
#include "platform/platform.h"
#include "skin/build_driver.h"
#include "skin/resource_key.h"
#include "skin/string_block.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace skin {
namespace {

constexpr char16_t kFilesFolder[] = u"Files\\";
constexpr std::size_t kQuotedLength = Finding::kQuotedLength;

void AppendQuoted(std::u16string& out, std::u16string_view text) {
    out += u'"';
    if (text.size() <= kQuotedLength) {
        out += text;
    } else {
        out += text.substr(0, kQuotedLength);
        out += u"...";
    }
    out += u'"';
}

std::u16string Quoted(std::u16string_view text) {
    std::u16string out;
    AppendQuoted(out, text);
    return out;
}

void AppendNoticeText(std::u16string& out, ReaderNotice notice, std::u16string_view text) {
    switch (notice) {
    case ReaderNotice::UnknownLine:
        AppendQuoted(out, text);
        out += u" starts no statement: the line asks for nothing";
        return;
    case ReaderNotice::NoKindKeyword:
        out += u"no RCDATA or ICON of its own: the line asks for nothing";
        return;
    case ReaderNotice::MissingValue:
        out += u"no file name or value after ";
        AppendQuoted(out, text);
        out += u": the line asks for nothing";
        return;
    case ReaderNotice::LoneToken:
        out += u"a single token in a string block gives no entry (a comma ends no token)";
        return;
    case ReaderNotice::EmptyString:
        out += u"an empty string gives no entry: the next entry takes its number";
        return;
    case ReaderNotice::ExtraWords:
        out += u"ignored after the value: ";
        AppendQuoted(out, text);
        return;
    case ReaderNotice::CommentInQuotes:
        out += u"\"//\" inside quotes starts a comment: the line is cut here";
        return;
    case ReaderNotice::UnclosedQuote:
        out += u"quote never closed: the value runs to the end of the line";
        return;
    case ReaderNotice::OptionWord:
        AppendQuoted(out, text);
        out += u" stands where the file name belongs: the third word is the file";
        return;
    case ReaderNotice::DefineInStrings:
        out += u"#define inside a string block defines nothing and ends the entries";
        return;
    case ReaderNotice::DefineCarried:
        AppendQuoted(out, text);
        out += u" is no #define: the line defines a name only because the state carried over "
               u"from the line before";
        return;
    case ReaderNotice::DefineNotNumber:
        AppendQuoted(out, text);
        out += u" reads as no number: the name is defined as 0";
        return;
    }
}

// Line and column (1-based) of byte `offset` of text in a single-byte code
// page, with the reader's line breaks (CR LF is one break, LF CR two).
std::pair<std::size_t, std::size_t> BytePosition(std::span<const std::uint8_t> bytes,
                                                 std::size_t offset) {
    std::size_t line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (bytes[i] == '\r' || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))) {
            ++line;
            start = i + 1;
        } else if (bytes[i] == '\n') {
            start = i + 1;
        }
    }
    return {line, offset - start + 1};
}

} // namespace

// ---------------------------------------------------------------- one script

Finding& ScriptCheck::Add(std::size_t line, std::size_t column, std::string_view name,
                          Message message, std::u16string_view word) {
    Finding& finding = findings_.emplace_back();
    finding.texts = texts_;
    finding.line = line;
    finding.column = column;
    finding.name = name;
    finding.message = message;
    // Only what the text shows is kept: a word longer than that is cut anyway.
    word = word.substr(0, message == Message::Whole ? word.size() : Finding::kQuotedWord);
    finding.wordAt = texts_->words.size();
    finding.wordLength = word.size();
    texts_->words += word;
    return finding;
}

void ScriptCheck::Notice(ReaderNotice notice, std::size_t column, std::u16string_view text) {
    Add(line_, column, ReaderNoticeName(notice), Message::Notice, text).numbers[0] =
        static_cast<std::uint64_t>(notice);
}

void ScriptCheck::Encoding(std::span<const std::uint8_t> bytes) {
    acWorkRes::ByteReader reader(bytes);
    const auto first = reader.U8(0);
    const auto second = reader.U8(1);
    if (first && second) {
        const bool marker = (*first == 0xFF && *second == 0xFE) ||
                            (*first == 0xFE && *second == 0xFF) ||
                            (*first == 0xEF && *second == 0xBB && reader.U8(2) == 0xBF);
        if (marker)
            return;
        if ((*first == 0) != (*second == 0)) {
            Add(1, 1, "utf16-no-marker", Message::Whole,
                u"looks like UTF-16 without a byte-order mark: the build reads it as ANSI text up "
                u"to the first zero byte; save it as UTF-16 with a marker");
            return;
        }
    }
    // The text ends at its first zero byte: what follows is never read.
    bytes = bytes.first(
        static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin()));
    const auto high =
        std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b > 127; });
    if (high == bytes.end())
        return;
    const auto [line, column] = BytePosition(bytes, static_cast<std::size_t>(high - bytes.begin()));
    if (IsWellFormedUtf8(bytes)) {
        Add(line, column, "utf8-no-marker", Message::Whole,
            u"UTF-8 without a byte-order mark: the build reads it in the ANSI code page (1251 on "
            u"Linux, the system's on Windows), so the text comes out garbled; save it as UTF-8 "
            u"with a marker");
    } else {
        Add(line, column, "ansi-text", Message::Whole,
            u"characters above 127 without a byte-order mark: read in the ANSI code page, 1251 on "
            u"Linux and the system's on Windows, so the two builds can differ; save it as UTF-8 "
            u"with a marker");
    }
}

void ScriptCheck::Read(std::span<const std::uint8_t> bytes) {
    Encoding(bytes);
    std::vector<std::size_t> broken;
    std::vector<std::size_t> lineStarts;
    const std::u16string text = DecodeScriptText(bytes, broken);
    const std::vector<std::u16string> lines = SplitScriptLines(text, lineStarts);

    // One finding for each line with broken UTF-8 sequences, at the first.
    std::size_t lastBrokenLine = 0;
    for (const std::size_t at : broken) {
        const auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), at);
        if (next == lineStarts.begin())
            continue;
        const auto line = static_cast<std::size_t>(next - lineStarts.begin());
        if (line == lastBrokenLine)
            continue;
        lastBrokenLine = line;
        Add(line, at - *(next - 1) + 1, "broken-utf8", Message::BrokenUtf8);
    }

    ScriptLineState state = ScriptLineState::None;
    for (line_ = 1; line_ <= lines.size(); ++line_) {
        LineRequest request = ReadScriptLine(lines[line_ - 1], state, *this);
        Apply(request);
    }
}

void ScriptCheck::Apply(LineRequest& request) {
    switch (request.kind) {
    case RequestKind::Nothing:
        return;
    case RequestKind::StringEntry: {
        ++entries_;
        if (entries_ >= kStringBlockEntries)
            Add(line_, columns_.key, "string-unreachable", Message::StringUnreachable).numbers = {
                static_cast<std::uint64_t>(entries_), 0};
        const std::int32_t key = defines_.Resolve(request.keyToken);
        if (key > 0 && key != entries_)
            Add(line_, columns_.key, "string-number", Message::StringNumber).numbers = {
                static_cast<std::uint64_t>(entries_), static_cast<std::uint64_t>(key)};
        if (request.value.size() > kMaxStringLength)
            Add(line_, columns_.value, "string-cut", Message::StringCut).numbers = {
                request.value.size(), 0};
        return;
    }
    case RequestKind::Define: {
        const std::u16string name = request.define.Name;
        const std::size_t first = defines_.AddAndFindFirst(std::move(request.define));
        defineLines_.push_back(line_);
        if (first + 1 != defineLines_.size())
            Add(line_, columns_.kind, "define-again", Message::DefineAgain, name).numbers = {
                defineLines_[first], 0};
        return;
    }
    case RequestKind::RcData:
    case RequestKind::Icon:
        break;
    }
    const std::int32_t n = defines_.Resolve(request.keyToken);
    switch (UseOfResolvedKey(n)) {
    case KeyUse::OutOfRange:
        // Kept as the 64-bit pattern of the signed value.
        Add(line_, columns_.key, "id-out-of-range", Message::IdOutOfRange, request.keyToken)
            .numbers = {static_cast<std::uint64_t>(std::int64_t{n}), 0};
        return;
    case KeyUse::StringName:
        Add(line_, columns_.key, "id-not-found", Message::IdNotFound, request.keyToken);
        break;
    case KeyUse::Number:
        break;
    }
    const bool icon = request.kind == RequestKind::Icon;
    std::size_t earlier = 0;
    if (UseOfResolvedKey(n) == KeyUse::Number) {
        // Numbered resources, the usual kind, by kind and number in one table.
        if (numberedLines_.empty())
            numberedLines_.resize(2 * 0x10000);
        std::size_t& first = numberedLines_[(icon ? 0x10000 : 0) + static_cast<std::size_t>(n)];
        earlier = std::exchange(first, first != 0 ? first : line_);
    } else {
        const auto [first, added] =
            namedLines_.try_emplace((icon ? u'I' : u'R') + request.keyToken, line_);
        earlier = added ? 0 : first->second;
    }
    if (earlier != 0)
        Add(line_, columns_.key, "written-twice", Message::WrittenTwice, request.keyToken)
            .numbers = {icon ? 1u : 0u, earlier};
    references_.push_back({line_, columns_.value, request.kind, std::move(request.value)});
}

// ---------------------------------------------------------------- the folders

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

void CheckReference(SkinFolder& folder, const FileReference& reference, const Finding& where,
                    std::set<std::u16string>& used, std::deque<Finding>& findings,
                    platform::FileBytes& buffer) {
    const auto add = [&](std::string_view name, std::u16string text) {
        Finding& finding = findings.emplace_back(where);
        finding.name = name;
        finding.wordLength = text.size();
        finding.texts =
            std::make_shared<const FindingTexts>(FindingTexts{where.File(), std::move(text)});
    };
    const std::u16string shown = platform::JoinPath(u"", kFilesFolder + reference.name);
    const Located located = folder.Locate(reference.name);
    switch (located.what) {
    case Located::What::Missing:
        add("file-not-found", u"file " + Quoted(shown) + u" not found");
        return;
    case Located::What::Folder:
        add("file-is-folder", Quoted(shown) + u" is a folder, not a file");
        return;
    case Located::What::File:
        break;
    }
    used.insert(located.onDisk);
    if (located.caseDiffers)
        add("file-case", Quoted(reference.name) + u" is " + Quoted(located.onDisk) +
                             u" on disk: found on Windows, not found on Linux");
    const std::u16string path = folder.Path(kFilesFolder + located.onDisk);
    if (!platform::ReadWholeFile(path, platform::OpenMode::ReadShareRead, buffer)) {
        add("file-unreadable", Quoted(shown) + u" cannot be read: " +
                                   platform::SystemErrorText(platform::LastError()));
        return;
    }
    if (reference.kind == RequestKind::RcData && buffer.empty())
        add("empty-data", Quoted(shown) + u" is empty: the build deletes the resource instead");
    if (reference.kind == RequestKind::Icon && !acWorkRes::ParseIconFile(buffer.Bytes()))
        add("bad-icon",
            Quoted(shown) + u" is no icon the build takes: " + IconProblem(buffer.Bytes()));
}

bool Earlier(const Finding& a, const Finding& b) {
    return std::tie(a.line, a.column) < std::tie(b.line, b.column);
}

} // namespace

std::size_t CheckReport::Count(Severity severity) const {
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const Finding& f) { return f.severity == severity; }));
}

CheckReport CheckSkin(const std::u16string& programFolder) {
    CheckReport report;
    SkinFolder folder(programFolder);
    std::set<std::u16string> used;
    std::vector<Finding> notes;
    platform::FileBytes buffer;

    for (const SkinTarget& target : kSkinTargets) {
        const Located located = folder.Locate(target.ScriptFile);
        if (located.what != Located::What::File) {
            if (platform::FileExists(folder.Path(target.OutputModule)))
                notes.push_back(
                    Finding::Whole(target.OutputModule, 0, 0, Severity::Note, "stale-module",
                                   u"no script " +
                                       Quoted(platform::JoinPath(
                                           u"", kFilesFolder + std::u16string(target.ScriptFile))) +
                                       u" builds this module: the build leaves it as it is"));
            continue;
        }
        // Checked under the name on disk, so that both systems say the same.
        const std::u16string shown = kFilesFolder + located.onDisk;
        used.insert(located.onDisk);
        if (located.caseDiffers)
            report.findings.push_back(
                Finding::Whole(shown, 0, 0, Severity::Warning, "file-case",
                               u"the builder looks for " + Quoted(target.ScriptFile) +
                                   u": found on Windows, not found on Linux"));
        if (!platform::ReadWholeFile(folder.Path(shown), platform::OpenMode::ReadShareRead,
                                     buffer)) {
            report.findings.push_back(Finding::Whole(
                shown, 0, 0, Severity::Error, "cannot-read",
                u"cannot read the script: " + platform::SystemErrorText(platform::LastError())));
            continue;
        }
        ++report.scripts;
        ScriptCheck script(shown);
        script.Read(buffer.Bytes());
        std::deque<Finding>& findings = script.Findings();
        Finding where;
        where.texts = script.Texts();
        for (const FileReference& reference : script.References()) {
            where.line = reference.line;
            where.column = reference.column;
            CheckReference(folder, reference, where, used, findings, buffer);
        }
        std::stable_sort(findings.begin(), findings.end(), Earlier);
        report.findings.insert(report.findings.end(), std::make_move_iterator(findings.begin()),
                               std::make_move_iterator(findings.end()));
    }

    // What "Used files" would leave behind, in name order.
    std::vector<std::u16string> files;
    folder.AllFiles(folder.Path(kFilesFolder), {}, files);
    std::sort(files.begin(), files.end());
    for (const std::u16string& file : files) {
        if (used.count(file) == 0)
            report.findings.push_back(
                Finding::Whole(kFilesFolder + file, 0, 0, Severity::Note, "unused-file",
                               u"no script names this file: \"Used files\" leaves it where it is"));
    }
    report.findings.insert(report.findings.end(), std::make_move_iterator(notes.begin()),
                           std::make_move_iterator(notes.end()));
    return report;
}

Finding Finding::Whole(std::u16string file, std::size_t line, std::size_t column, Severity severity,
                       std::string_view name, std::u16string text) {
    Finding finding;
    finding.wordLength = text.size();
    finding.texts =
        std::make_shared<const FindingTexts>(FindingTexts{std::move(file), std::move(text)});
    finding.line = line;
    finding.column = column;
    finding.severity = severity;
    finding.name = name;
    return finding;
}

const std::u16string& Finding::File() const {
    static const std::u16string none;
    return texts ? texts->file : none;
}

std::u16string_view Finding::Word() const {
    if (!texts)
        return {};
    return std::u16string_view(texts->words).substr(wordAt, wordLength);
}

std::u16string Finding::Text() const {
    const std::u16string_view word = Word();
    std::u16string out;
    switch (message) {
    case Message::Whole:
        return std::u16string(word);
    case Message::Notice:
        AppendNoticeText(out, static_cast<ReaderNotice>(numbers[0]), word);
        break;
    case Message::BrokenUtf8:
        out = u"bytes that are no UTF-8 character: the build reads U+FFFD in their place";
        break;
    case Message::StringUnreachable:
        out = u"string entry ";
        platform::AppendDecimal(out, numbers[0]);
        out += u": only entries 1 to ";
        platform::AppendDecimal(out, kStringBlockEntries - 1);
        out += u" can be loaded";
        break;
    case Message::StringNumber:
        out = u"this entry is string ";
        platform::AppendDecimal(out, numbers[0]);
        out += u", not ";
        platform::AppendDecimal(out, numbers[1]);
        out += u": strings are numbered in file order";
        break;
    case Message::StringCut:
        out = u"the string has ";
        platform::AppendDecimal(out, numbers[0]);
        out += u" characters: cut to ";
        platform::AppendDecimal(out, kMaxStringLength);
        break;
    case Message::DefineAgain:
        AppendQuoted(out, word);
        out += u" is already defined on line ";
        platform::AppendDecimal(out, numbers[0]);
        out += u": this value is never used";
        break;
    case Message::IdOutOfRange:
        out = u"resource id ";
        AppendQuoted(out, word);
        out += u" is ";
        out += platform::Utf8ToUtf16(std::to_string(static_cast<std::int64_t>(numbers[0])));
        out += u", outside 1 to 65535: the build skips the line";
        break;
    case Message::IdNotFound:
        out = u"resource id ";
        AppendQuoted(out, word);
        out += u" not found: written under that text as a string name";
        break;
    case Message::WrittenTwice:
        out = numbers[0] != 0 ? u"icon " : u"data ";
        AppendQuoted(out, word);
        out += u" is also written on line ";
        platform::AppendDecimal(out, numbers[1]);
        out += u": this one replaces it";
        break;
    }
    return out;
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
    line += finding.Text();
    line += u" [";
    line += platform::Utf8ToUtf16(finding.name);
    line += u']';
    return line;
}

} // namespace skin
