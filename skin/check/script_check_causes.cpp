// The checker's second pass, its causes: a script copied from a program's
// resource file has blocks, statements, comments and preprocessor lines that
// the build reads as skin lines; each of them is told once, over its span of
// lines, and the symptoms it leaves on the lines inside that span go.
#include "skin/check/script_check.h"
#include "skin/check/script_check_text.h"
#include "skin/check/script_check_words.h"
#include "skin/findings.h"
#include "skin/script/script_vocabulary.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace skin {

using namespace check_text;

namespace {

using vocabulary::IsKeyword;
using vocabulary::kBegin;
using vocabulary::kEnd;
using vocabulary::kIcon;
using vocabulary::kRcData;
using vocabulary::kStringTable;

// Statements of the resource language that a skin script does not have.
constexpr std::u16string_view kStatements[] = {
    u"DIALOG",       u"DIALOGEX",    u"MENU",       u"MENUEX",     u"VERSIONINFO",
    u"ACCELERATORS", u"BITMAP",      u"CURSOR",     u"FONT",       u"HTML",
    u"MESSAGETABLE", u"TEXTINCLUDE", u"DESIGNINFO", u"GUIDELINES", u"TOOLBAR"};

// The lines that may follow a statement before its block: its options.
constexpr std::u16string_view kOptionLines[] = {
    u"STYLE",     u"CAPTION",     u"FONT",           u"EXSTYLE",
    u"CLASS",     u"MENU",        u"LANGUAGE",       u"CHARACTERISTICS",
    u"VERSION",   u"FILEVERSION", u"PRODUCTVERSION", u"FILEFLAGSMASK",
    u"FILEFLAGS", u"FILEOS",      u"FILETYPE",       u"FILESUBTYPE"};

constexpr std::u16string_view kPreprocessor[] = {u"#include", u"#if",     u"#ifdef",
                                                 u"#ifndef",  u"#elif",   u"#else",
                                                 u"#endif",   u"#pragma", u"#undef"};

// Lines between two preprocessor lines of one run, at most.
constexpr std::size_t kPreprocessorGap = 2;

template <std::size_t N>
bool IsOneOf(std::u16string_view word, const std::u16string_view (&words)[N]) {
    return std::any_of(std::begin(words), std::end(words),
                       [&](std::u16string_view w) { return IsKeyword(word, w); });
}

// A type name of a resource the language would define: letters, digits, "_".
bool IsTypeName(std::u16string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
    });
}

} // namespace

std::u16string_view ScriptCheck::Code(std::size_t line) const {
    return vocabulary::CodeOfLine(lines_[line - 1]);
}

bool ScriptCheck::InCause(std::size_t line) const {
    return line < covered_.size() && covered_[line];
}

Finding& ScriptCheck::AddSpan(Span span, std::string_view name, std::u16string text) {
    const std::u16string_view code = Code(span.first);
    const auto lead = static_cast<std::size_t>(code.data() - lines_[span.first - 1].data());
    Finding& finding = Add(span.first, lead + 1, name, std::move(text));
    finding.lastLine = span.last > span.first ? span.last : 0;
    return finding;
}

// The line of the statement that a block at `line` belongs to: the nearest
// line above it that is neither empty nor one of the statement's options.
std::size_t ScriptCheck::Opener(std::size_t line) const {
    while (--line > 0) {
        const std::u16string_view code = Code(line);
        if (code.empty())
            continue;
        if (!IsOneOf(NextToken(code, 1).text, kOptionLines))
            return line;
    }
    return 0;
}

// What the build makes of the lines of spans: its string entries, its
// #define records and the resources it asks for; empty when nothing.
std::u16string ScriptCheck::Effect(std::span<const Span> spans) const {
    std::int32_t first = 0, last = 0;
    std::size_t defines = 0, resources = 0;
    std::u16string firstName;
    for (const Span& span : spans)
        for (std::size_t line = span.first; line <= span.last; ++line) {
            const LineRecord& record = records_[line - 1];
            if (record.entry != 0) {
                first = first == 0 ? record.entry : first;
                last = record.entry;
            }
            if (record.define != 0 && defines++ == 0)
                firstName = defines_.Records()[record.define - 1].Name;
            resources +=
                record.request == RequestKind::Icon || record.request == RequestKind::RcData;
        }
    std::u16string out;
    const auto part = [&](std::u16string text) { out += (out.empty() ? u"" : u", and ") + text; };
    if (first != 0)
        part(first == last ? u"string entry " + Dec(static_cast<std::uint64_t>(first))
                           : u"string entries " + Dec(static_cast<std::uint64_t>(first)) + u"-" +
                                 Dec(static_cast<std::uint64_t>(last)));
    if (defines != 0)
        part(u"a #define of " + Quoted(Shown(firstName)) +
             (defines > 1 ? u" and " + Dec(defines - 1) + u" more" : u""));
    if (resources != 0)
        part(Dec(resources) + (resources == 1 ? u" resource" : u" resources"));
    return out;
}

void ScriptCheck::FindBlocks() {
    inBlock_.assign(lines_.size() + 1, false);
    const auto take = [&](std::size_t first, std::size_t last, bool braces) {
        for (std::size_t line = first; line <= last; ++line)
            inBlock_[line] = true;
        blocks_.push_back({{first, last}, braces});
    };
    std::size_t depth = 0;
    std::size_t start = 0;
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        const std::u16string_view code = Code(line);
        if (code.size() == kBegin.size() && IsKeyword(code, kBegin)) {
            if (depth++ == 0)
                start = line;
        } else if (code.size() == kEnd.size() && IsKeyword(code, kEnd) && depth > 0) {
            if (--depth == 0)
                take(start, line, false);
        }
    }
    if (depth > 0)
        take(start, lines_.size(), false);
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        if (Code(line) != u"{" || inBlock_[line])
            continue;
        std::size_t end = line;
        for (std::size_t braces = 0; end <= lines_.size(); ++end) {
            const std::u16string_view code = Code(end);
            braces += code == u"{";
            if (code == u"}" && --braces == 0)
                break;
        }
        end = std::min(end, lines_.size());
        take(line, end, true);
        line = end;
    }
    std::sort(blocks_.begin(), blocks_.end(),
              [](const Block& a, const Block& b) { return a.span.first < b.span.first; });
}

// The block that starts on `line`, or null.
ScriptCheck::Block* ScriptCheck::BlockAt(std::size_t line) {
    const auto found =
        std::lower_bound(blocks_.begin(), blocks_.end(), line,
                         [](const Block& block, std::size_t at) { return block.span.first < at; });
    return found != blocks_.end() && found->span.first == line ? &*found : nullptr;
}

// The blocks that no statement took: a BEGIN block that no STRINGTABLE line
// opened, braces in place of BEGIN and END.
void ScriptCheck::BlockFindings() {
    for (const Block& block : blocks_) {
        if (block.statement != 0 || InCause(block.span.first))
            continue;
        const auto [start, end] = block.span;
        const std::size_t opener = Opener(start);
        const std::u16string_view openerCode = opener != 0 ? Code(opener) : u"";
        const Token first = NextToken(openerCode, 1);
        // A string table (misspelt or not), or a block that nothing stands
        // before, as in a skin script of a few strings.
        const bool strings = opener == 0 || IsKeyword(first.text, kStringTable) ||
                             KeywordTypo(first.text) == kStringTable;
        const std::u16string effect = Effect({start, end});
        if (block.braces) {
            std::u16string text;
            if (strings) {
                // The lines of two words or more, which a BEGIN block would have made entries.
                std::size_t lostFirst = 0, lostLast = 0, lost = 0;
                for (std::size_t inner = start + 1; inner < end; ++inner) {
                    const std::u16string_view code = Code(inner);
                    const Token key = NextToken(code, 1);
                    if (records_[inner - 1].entry == 0 &&
                        !NextToken(code, key.finish + 1).text.empty()) {
                        lostFirst = lostFirst == 0 ? inner : lostFirst;
                        lostLast = inner;
                        ++lost;
                    }
                }
                text = u"braces in place of BEGIN and END (" + Lines(start, end) +
                       u"): the build knows no braces; write BEGIN and END";
                if (lost != 0)
                    text += u": the " + Dec(lost) + (lost == 1 ? u" entry on " : u" entries on ") +
                            Lines(lostFirst, lostLast) + (lost == 1 ? u" is lost" : u" are lost");
                if (!effect.empty())
                    text += u"; the lines give " + effect;
            } else {
                text = u"the block in braces after " + Shown(AsWritten(openerCode)) + u" on line " +
                       Dec(opener) + u" (" + Lines(start, end) +
                       u"): the build knows no braces, and its lines " +
                       (effect.empty() ? u"ask for nothing" : u"give " + effect);
            }
            AddSpan({start, end}, "braces", std::move(text));
            Cover({start, end});
            continue;
        }
        if (strings)
            continue;
        AddSpan({start, end}, "block-as-strings",
                u"the BEGIN block after " + Shown(AsWritten(openerCode)) + u" on line " +
                    Dec(opener) + u" (" + Lines(start, end) + u") " +
                    (effect.empty() ? u"gives no string entry"
                                    : u"becomes " + effect +
                                          u": the build takes the lines of "
                                          u"every BEGIN block as entries"));
        Cover({start, end});
    }
}

namespace {

// A line of a statement's header that goes on onto the next: it ends in "|",
// "," or an operator, or the next line starts with one.
bool Continues(std::u16string_view code, std::u16string_view next) {
    constexpr std::u16string_view kEnds = u"|,+-*/&(";
    constexpr std::u16string_view kStarts = u"|,+-*/&)";
    return (!code.empty() && kEnds.find(code.back()) != std::u16string_view::npos) ||
           (!next.empty() && kStarts.find(next.front()) != std::u16string_view::npos);
}

bool IsDirective(std::u16string_view code) {
    return code.starts_with(u'#') && IsOneOf(NextToken(code, 1).text, kPreprocessor);
}

} // namespace

void ScriptCheck::Statements() {
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        // A statement asks for nothing, or for a #define by accident.
        const RequestKind request = records_[line - 1].request;
        if (inBlock_[line] || (request != RequestKind::Nothing && request != RequestKind::Define))
            continue;
        const std::u16string_view code = Code(line);
        if (code.empty())
            continue;
        const Token key = NextToken(code, 1);
        if (key.text.empty() || key.text.front() == u'#' || IsKeyword(key.text, kStringTable))
            continue;
        const Token kind = NextToken(code, key.finish + 1);
        const Token value = NextToken(code, kind.finish + 1);

        std::u16string word;
        if (IsOneOf(kind.text, kStatements))
            word = kind.text;
        else if (IsKeyword(key.text, u"LANGUAGE"))
            word = key.text;
        // Or a type of the program's own, with its data in a file or in a block.
        const bool ownType = word.empty() && IsTypeName(kind.text) &&
                             !IsKeyword(kind.text, kIcon) && !IsKeyword(kind.text, kRcData) &&
                             !NearMiss(kind.text, kIcon) && !NearMiss(kind.text, kRcData);
        if (word.empty() && !ownType)
            continue;

        // The header: its option lines, the lines it goes on over, and the
        // preprocessor lines among them, up to its block, if it has one.
        std::size_t last = line;
        Block* block = nullptr;
        std::u16string_view previous = code;
        for (std::size_t next = line + 1; next <= lines_.size(); ++next) {
            const std::u16string_view nextCode = Code(next);
            if (nextCode.empty() || IsDirective(nextCode))
                continue;
            block = BlockAt(next);
            // A line that asks for a resource is the author's own, whatever stands before it.
            const RequestKind asks = records_[next - 1].request;
            if (block != nullptr || inBlock_[next] || asks == RequestKind::Icon ||
                asks == RequestKind::RcData ||
                (!Continues(previous, nextCode) &&
                 !IsOneOf(NextToken(nextCode, 1).text, kOptionLines)))
                break;
            last = next;
            previous = nextCode;
        }
        if (block != nullptr && block->statement != 0)
            block = nullptr;
        if (ownType && (block != nullptr || (!value.text.empty() && value.text.front() == u'"')))
            word = kind.text;
        if (word.empty())
            continue;
        const std::size_t end = block != nullptr ? block->span.last : last;
        std::u16string text =
            u"the " + (ownType ? Quoted(Shown(word)) + u" resource" : Shown(word) + u" statement") +
            u" (" + Lines(line, end) +
            u") is not part of a skin script: the build writes no resource of it";
        const std::u16string effect =
            Effect({line, block != nullptr ? block->span.first - 1 : last});
        if (!effect.empty())
            text += u"; read as skin lines, " +
                    std::u16string(line == last ? u"its line gives " : u"its header gives ") +
                    effect;
        if (block != nullptr) {
            block->statement = line;
            const std::u16string blockEffect = Effect(block->span);
            if (block->braces)
                text += u"; its block in braces (" + Lines(block->span.first, block->span.last) +
                        u"), which the build does not know, " +
                        (blockEffect.empty() ? u"asks for nothing" : u"gives " + blockEffect) +
                        u": delete the statement with its block";
            else
                text += u"; its BEGIN block (" + Lines(block->span.first, block->span.last) +
                        u") " +
                        (blockEffect.empty() ? u"gives no string entry"
                                             : u"becomes " + blockEffect +
                                                   u", as the build takes the lines of every "
                                                   u"BEGIN block as entries");
        }
        Finding& finding = AddSpan({line, end}, "unsupported-statement", std::move(text));
        finding.word = Shown(word);
        Cover({line, end});
        line = end;
    }
}

void ScriptCheck::Comments() {
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        const std::u16string_view code = Code(line);
        const std::size_t open = code.find(u"/*");
        if (open == std::u16string_view::npos ||
            std::count(code.begin(), code.begin() + static_cast<std::ptrdiff_t>(open), u'"') % 2 !=
                0)
            continue;
        const auto lead = static_cast<std::size_t>(code.data() - lines_[line - 1].data());
        std::size_t end = line;
        std::size_t from = lead + open + 2;
        while (end <= lines_.size() && lines_[end - 1].find(u"*/", from) == std::u16string::npos) {
            ++end;
            from = 0;
        }
        end = std::min(end, lines_.size());
        if (InCause(line) && InCause(end)) {
            line = end;
            continue; // its block's finding already names these lines
        }
        std::u16string text = u"a /* */ comment (" + Lines(line, end) +
                              u"): the build knows only // comments and reads these lines as "
                              u"skin lines";
        const std::u16string effect = Effect({line, end});
        text += effect.empty() ? u": they ask for nothing" : u", which gives " + effect;
        Finding& finding = AddSpan({line, end}, "block-comment", std::move(text));
        finding.column = EditorColumn(line, lead + open + 1);
        Cover({line, end});
        line = end;
    }
}

void ScriptCheck::Preprocessor() {
    const auto directive = [&](std::size_t line) {
        const std::u16string_view code = Code(line);
        return code.starts_with(u'#') && IsOneOf(NextToken(code, 1).text, kPreprocessor);
    };
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        if (!directive(line) || InCause(line))
            continue;
        // A run goes on over a line or two between its directives, as in
        // "#ifdef X", one line, "#endif".
        std::size_t last = line;
        for (std::size_t next = line + 1;
             next <= lines_.size() && next <= last + kPreprocessorGap + 1 && !InCause(next);
             ++next) {
            if (directive(next))
                last = next;
        }
        std::vector<std::u16string> acts;
        bool branches = false, include = false;
        std::size_t count = 0;
        for (std::size_t at = line; at <= last; ++at) {
            if (!directive(at))
                continue;
            ++count;
            const std::u16string_view code = Code(at);
            const std::u16string word = NextToken(code, 1).text;
            include = include || IsKeyword(word, u"#include");
            branches =
                branches || IsOneOf(word, {u"#if", u"#ifdef", u"#ifndef", u"#elif", u"#else"});
            if (IsKeyword(word, u"#include")) {
                // A project's own header in quotes, a system header in <>.
                std::size_t& first = NextToken(code, 1 + word.size()).text.starts_with(u'<')
                                         ? includeSystem_
                                         : includeQuoted_;
                first = first == 0 ? at : first;
            }
            Cover({at, at});
            const LineRecord& record = records_[at - 1];
            if (record.entry != 0) {
                // The entry holds the word after the directive, as any entry does.
                const Token key = NextToken(code, 1);
                acts.push_back(Shown(AsWritten(code)) + u" becomes string entry " +
                               Dec(static_cast<std::uint64_t>(record.entry)) + u", " +
                               Quoted(Shown(ReduceBackslashes(
                                   UnquoteToken(NextToken(code, key.finish + 1).text)))));
            } else if (record.define != 0)
                acts.push_back(Shown(AsWritten(code)) + u" defines " +
                               Quoted(Shown(defines_.Records()[record.define - 1].Name)));
        }
        std::u16string text =
            count == 1 ? Shown(AsWritten(Code(line))) + u" is not read as a preprocessor line: "
                       : u"the " + Dec(count) + u" preprocessor lines on " + Lines(line, last) +
                             u" are not read as such: ";
        if (acts.empty()) {
            text += count == 1 ? u"the build does nothing with it"
                               : u"the build does nothing with them";
        } else {
            for (std::size_t i = 0; i < acts.size() && i < kRunWords; ++i)
                text += (i == 0 ? u"" : u", ") + acts[i];
            if (acts.size() > kRunWords)
                text += u", and " + Dec(acts.size() - kRunWords) + u" more do the same";
            if (acts.size() < count)
                text += u"; the others do nothing";
        }
        if (branches)
            text += u"; both branches of an #if are read";
        if (include)
            text += u"; no #include'd file is read";
        AddSpan({line, last}, "preprocessor-line", std::move(text));
        line = last;
    }
}

void ScriptCheck::Unreachable() {
    std::size_t firstLine = 0, lastLine = 0;
    std::int32_t first = 0, last = 0;
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        const std::int32_t entry = records_[line - 1].entry;
        if (entry <= vocabulary::kLastLoadableEntry || InCause(line))
            continue;
        if (first == 0) {
            first = entry;
            firstLine = line;
        }
        last = entry;
        lastLine = line;
    }
    if (first == 0)
        return;
    const std::u16string entries = first == last
                                       ? u"entry " + Dec(static_cast<std::uint64_t>(first))
                                       : u"entries " + Dec(static_cast<std::uint64_t>(first)) +
                                             u"-" + Dec(static_cast<std::uint64_t>(last));
    AddSpan({firstLine, lastLine}, "unreachable-strings",
            entries + u" (" + Lines(firstLine, lastLine) +
                u") cannot be loaded: only entries 1 to " + Dec(vocabulary::kLastLoadableEntry) +
                u" of a module can");
}

void ScriptCheck::Absorb() {
    std::erase_if(findings_, [&](const Finding& f) {
        return f.lastLine == 0 && InCause(f.line) && FindFinding(f.name) != nullptr &&
               FindFinding(f.name)->symptom;
    });
}

// A string block's key alone on a line and its text alone on the next, as
// some resource editors write them: one finding for the two.
void ScriptCheck::KeyAndText() {
    std::vector<bool> gone(findings_.size(), false);
    std::map<std::size_t, std::size_t> loneAt; // line -> finding, in line order
    for (std::size_t i = 0; i < findings_.size(); ++i) {
        if (findings_[i].name == "lone-token" && findings_[i].lastLine == 0)
            loneAt.emplace(findings_[i].line, i);
    }
    for (auto& [line, index] : loneAt) {
        const auto next = loneAt.find(line + 1);
        const std::u16string_view key = Code(line);
        if (next == loneAt.end() || gone[index] || gone[next->second] || key.empty() ||
            key.front() == u'"' || !Code(line + 1).starts_with(u'"'))
            continue;
        Finding& finding = findings_[index];
        finding.lastLine = line + 1;
        finding.text = u"the key " + Quoted(Shown(key)) +
                       u" and its text on the next line give no "
                       u"entry: the build reads a string entry from one line; join them on one "
                       u"line";
        gone[next->second] = true;
    }
    std::size_t index = 0;
    std::erase_if(findings_, [&](const Finding&) { return gone[index++]; });
}

} // namespace skin
