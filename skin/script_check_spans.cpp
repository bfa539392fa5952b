// The checker's second pass: the findings of one line each are folded into one
// finding per cause. A script copied from a program's resource file has
// blocks, statements, comments and preprocessor lines that the build reads
// as skin lines; each of them is told once, over its span of lines, and the
// symptoms it leaves on the lines inside that span go. What stays and still
// repeats (300 keys without a #define) becomes a run: one finding with its
// span, its count and its first few words.
#include "platform/platform.h"
#include "skin/script_check.h"
#include "skin/string_block.h"

#include <algorithm>
#include <array>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace skin {
namespace {

constexpr std::u16string_view kBegin = u"BEGIN";
constexpr std::u16string_view kEnd = u"END";
constexpr std::u16string_view kStringTable = u"STRINGTABLE";

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

// The findings a cause leaves on the lines of its span: they name symptoms.
constexpr std::string_view kSymptoms[] = {
    "unknown-line",   "no-kind-keyword",      "missing-value",     "lone-token",
    "empty-string",   "extra-words",          "comment-in-quotes", "unclosed-quote",
    "option-word",    "define-carried",       "define-not-number", "string-number",
    "literal-escape", "value-not-one-string", "backslash-at-end"};

// The findings of one cause each, over its span: folded into runs only as
// the last resort against a flood.
constexpr std::string_view kCauses[] = {
    "block-as-strings", "unsupported-statement", "block-comment",   "preprocessor-line",
    "braces",           "unreachable-strings",   "backslash-at-end"};

// Each finding's run form, which stands for many of them.
constexpr std::pair<std::string_view, std::string_view> kRunNames[] = {
    {"unknown-line", "unknown-line-run"},
    {"no-kind-keyword", "no-kind-keyword-run"},
    {"missing-value", "missing-value-run"},
    {"lone-token", "lone-token-run"},
    {"empty-string", "empty-string-run"},
    {"extra-words", "extra-words-run"},
    {"comment-in-quotes", "comment-in-quotes-run"},
    {"unclosed-quote", "unclosed-quote-run"},
    {"option-word", "option-word-run"},
    {"define-in-strings", "define-in-strings-run"},
    {"define-carried", "define-carried-run"},
    {"define-not-number", "define-not-number-run"},
    {"define-again", "define-again-run"},
    {"string-number", "string-number-run"},
    {"string-cut", "string-cut-run"},
    {"id-out-of-range", "id-out-of-range-run"},
    {"id-not-found", "id-not-found-run"},
    {"written-twice", "written-twice-run"},
    {"file-not-found", "file-not-found-run"},
    {"file-case", "file-case-run"},
    {"file-is-folder", "file-is-folder-run"},
    {"file-unreadable", "file-unreadable-run"},
    {"empty-data", "empty-data-run"},
    {"bad-icon", "bad-icon-run"},
    {"broken-utf8", "broken-utf8-run"},
    {"literal-escape", "literal-escape-run"},
    {"value-not-one-string", "value-not-one-string-run"},
    {"backslash-at-end", "backslash-at-end-run"},
    {"block-as-strings", "block-as-strings-run"},
    {"unsupported-statement", "unsupported-statement-run"},
    {"block-comment", "block-comment-run"},
    {"preprocessor-line", "preprocessor-line-run"},
    {"braces", "braces-run"},
};

// The name of a finding whose run form is `name`, or `name` itself.
std::string_view BaseName(std::string_view name) {
    for (const auto& [base, run] : kRunNames) {
        if (run == name)
            return base;
    }
    return name;
}

// A run stands for this many findings of one name or more, each at most
// kRunGap lines after the one before; fewer stay one finding each.
constexpr std::size_t kRunLeast = 4;
constexpr std::size_t kRunGap = 10;
// Words a run lists before "...".
constexpr std::size_t kRunWords = 3;
// Lines between two preprocessor lines of one run, at most.
constexpr std::size_t kPreprocessorGap = 2;

template <std::size_t N>
bool IsOneOf(std::u16string_view word, const std::u16string_view (&words)[N]) {
    return std::any_of(std::begin(words), std::end(words),
                       [&](std::u16string_view w) { return platform::KeywordEquals(word, w); });
}

std::u16string Dec(std::uint64_t n) {
    return platform::Decimal(n);
}

std::u16string Lines(std::size_t first, std::size_t last) {
    return first == last ? u"line " + Dec(first) : u"lines " + Dec(first) + u"-" + Dec(last);
}

// A free word in quotes, cut after Finding::kQuotedLength characters.
std::u16string Cut(std::u16string_view text) {
    if (text.size() <= Finding::kQuotedLength)
        return u"\"" + std::u16string(text) + u"\"";
    return u"\"" + std::u16string(text.substr(0, Finding::kQuotedLength)) + u"...\"";
}

// A line's code as it stands, cut the same way: it may hold quotes of its own.
std::u16string AsWritten(std::u16string_view code) {
    if (code.size() <= Finding::kQuotedLength)
        return std::u16string(code);
    return std::u16string(code.substr(0, Finding::kQuotedLength)) + u"...";
}

// Edit distance of at most 2 (a typo of a keyword), in ASCII letters of either case.
bool NearMiss(std::u16string_view a, std::u16string_view b) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()] <= 2;
}

// A type name of a resource the language would define: letters, digits, "_".
bool IsTypeName(std::u16string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
    });
}

bool Earlier(const Finding& a, const Finding& b) {
    return std::tie(a.line, a.column) < std::tie(b.line, b.column);
}

} // namespace

std::u16string_view ScriptCheck::Code(std::size_t line) const {
    std::u16string_view code = lines_[line - 1];
    code = code.substr(0, code.find(u"//"));
    while (!code.empty() && code.front() <= u' ')
        code.remove_prefix(1);
    while (!code.empty() && code.back() <= u' ')
        code.remove_suffix(1);
    return code;
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

// What the build makes of the lines of a span: its string entries, its
// #define records and the resources it asks for; empty when nothing.
std::u16string ScriptCheck::Effect(Span span) const {
    std::int32_t first = 0, last = 0;
    std::size_t defines = 0, resources = 0;
    std::u16string firstName;
    for (std::size_t line = span.first; line <= span.last; ++line) {
        const LineRecord& record = records_[line - 1];
        if (record.entry != 0) {
            first = first == 0 ? record.entry : first;
            last = record.entry;
        }
        if (record.define != 0 && defines++ == 0)
            firstName = defines_.Records()[record.define - 1].Name;
        resources += record.request == RequestKind::Icon || record.request == RequestKind::RcData;
    }
    std::u16string out;
    const auto part = [&](std::u16string text) { out += (out.empty() ? u"" : u", and ") + text; };
    if (first != 0)
        part(first == last ? u"string entry " + Dec(static_cast<std::uint64_t>(first))
                           : u"string entries " + Dec(static_cast<std::uint64_t>(first)) + u"-" +
                                 Dec(static_cast<std::uint64_t>(last)));
    if (defines != 0)
        part(u"a #define of " + Cut(Shown(firstName)) +
             (defines > 1 ? u" and " + Dec(defines - 1) + u" more" : u""));
    if (resources != 0)
        part(Dec(resources) + (resources == 1 ? u" resource" : u" resources"));
    return out;
}

void ScriptCheck::Blocks() {
    inBlock_.assign(lines_.size() + 1, false);
    std::size_t depth = 0;
    std::size_t start = 0;
    const auto close = [&](std::size_t end) {
        for (std::size_t line = start; line <= end; ++line)
            inBlock_[line] = true;
        const std::size_t opener = Opener(start);
        const std::u16string_view openerCode = opener != 0 ? Code(opener) : u"";
        const Token first = NextToken(openerCode, 1);
        // A string table, or a block that nothing stands before, as in a
        // skin script of a few strings.
        if (opener == 0 || platform::KeywordEquals(first.text, kStringTable))
            return;
        const Token second = NextToken(openerCode, first.finish + 1);
        std::u16string what;
        if (IsOneOf(second.text, kStatements) ||
            (IsTypeName(second.text) && !platform::KeywordEquals(second.text, u"ICON") &&
             !platform::KeywordEquals(second.text, u"RCDATA")))
            what = u"the BEGIN block of the " + Shown(second.text) + u" statement on line " +
                   Dec(opener);
        else
            what = u"the BEGIN block after " + Shown(AsWritten(openerCode)) + u" on line " +
                   Dec(opener);
        const std::u16string effect = Effect({start, end});
        AddSpan({start, end}, "block-as-strings",
                what + u" (" + Lines(start, end) + u") " +
                    (effect.empty() ? u"gives no string entry"
                                    : u"becomes " + effect +
                                          u": the build takes the lines of "
                                          u"every BEGIN block as entries"));
        Cover({start, end});
    };
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        const std::u16string_view code = Code(line);
        if (code.size() == kBegin.size() && platform::KeywordEquals(code, kBegin)) {
            if (depth++ == 0)
                start = line;
        } else if (code.size() == kEnd.size() && platform::KeywordEquals(code, kEnd) && depth > 0) {
            if (--depth == 0)
                close(line);
        }
    }
    if (depth > 0)
        close(lines_.size());
}

void ScriptCheck::Braces() {
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        if (Code(line) != u"{" || inBlock_[line])
            continue;
        std::size_t depth = 0;
        std::size_t end = line;
        for (; end <= lines_.size(); ++end) {
            const std::u16string_view code = Code(end);
            depth += code == u"{";
            if (code == u"}" && --depth == 0)
                break;
        }
        end = std::min(end, lines_.size());
        // The lines of two words or more, which a BEGIN block would have made entries.
        std::size_t lostFirst = 0, lostLast = 0, lost = 0;
        for (std::size_t inner = line + 1; inner < end; ++inner) {
            const std::u16string_view code = Code(inner);
            const Token key = NextToken(code, 1);
            if (records_[inner - 1].entry == 0 && !NextToken(code, key.finish + 1).text.empty()) {
                lostFirst = lostFirst == 0 ? inner : lostFirst;
                lostLast = inner;
                ++lost;
            }
        }
        std::u16string text = u"braces in place of BEGIN and END (" + Lines(line, end) +
                              u"): the build knows no braces; write BEGIN and END";
        if (lost != 0)
            text += u": the " + Dec(lost) + (lost == 1 ? u" entry on " : u" entries on ") +
                    Lines(lostFirst, lostLast) + (lost == 1 ? u" is lost" : u" are lost");
        const std::u16string effect = Effect({line, end});
        if (!effect.empty())
            text += u"; the lines give " + effect;
        AddSpan({line, end}, "braces", std::move(text));
        Cover({line, end});
        line = end;
    }
}

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
        if (key.text.empty() || key.text.front() == u'#' ||
            platform::KeywordEquals(key.text, kStringTable))
            continue;
        const Token kind = NextToken(code, key.finish + 1);
        const Token value = NextToken(code, kind.finish + 1);
        std::u16string word;
        if (IsOneOf(kind.text, kStatements)) {
            word = kind.text;
        } else if (platform::KeywordEquals(key.text, u"LANGUAGE")) {
            word = key.text;
        } else if (IsTypeName(kind.text) && !platform::KeywordEquals(kind.text, u"ICON") &&
                   !platform::KeywordEquals(kind.text, u"RCDATA") &&
                   !NearMiss(kind.text, u"ICON") && !NearMiss(kind.text, u"RCDATA")) {
            // A type of the program's own: its data in a file or in a block.
            std::size_t next = line + 1;
            while (next <= lines_.size() && Code(next).empty())
                ++next;
            const bool block = next <= lines_.size() && platform::KeywordEquals(Code(next), kBegin);
            if (block || (!value.text.empty() && value.text.front() == u'"'))
                word = u"\"" + kind.text + u"\" resource";
        }
        if (word.empty())
            continue;
        std::size_t last = line;
        for (std::size_t next = line + 1; next <= lines_.size() && !inBlock_[next]; ++next) {
            const std::u16string_view nextCode = Code(next);
            if (nextCode.empty())
                continue;
            if (!IsOneOf(NextToken(nextCode, 1).text, kOptionLines))
                break;
            last = next;
        }
        std::u16string text = u"the " + Shown(word) + u" statement (" + Lines(line, last) +
                              u") is not part of a skin script: the build writes nothing for it";
        const std::u16string effect = Effect({line, last});
        if (!effect.empty())
            text += u"; read as skin lines, " +
                    std::u16string(line == last ? u"it gives " : u"they give ") + effect;
        AddSpan({line, last}, "unsupported-statement", std::move(text));
        Cover({line, last});
        line = last;
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
            include = include || platform::KeywordEquals(word, u"#include");
            branches =
                branches || IsOneOf(word, {u"#if", u"#ifdef", u"#ifndef", u"#elif", u"#else"});
            if (includeLine_ == 0 && platform::KeywordEquals(word, u"#include"))
                includeLine_ = at;
            Cover({at, at});
            const LineRecord& record = records_[at - 1];
            if (record.entry != 0) {
                // The entry holds the word after the directive, as any entry does.
                const Token key = NextToken(code, 1);
                acts.push_back(Shown(AsWritten(code)) + u" becomes string entry " +
                               Dec(static_cast<std::uint64_t>(record.entry)) + u", " +
                               Cut(Shown(ReduceBackslashes(
                                   UnquoteToken(NextToken(code, key.finish + 1).text)))));
            } else if (record.define != 0)
                acts.push_back(Shown(AsWritten(code)) + u" defines " +
                               Cut(Shown(defines_.Records()[record.define - 1].Name)));
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
        if (entry < kStringBlockEntries || InCause(line))
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
                u") cannot be loaded: only entries 1 to " + Dec(kStringBlockEntries - 1) +
                u" of a module can");
}

void ScriptCheck::Absorb() {
    std::erase_if(findings_, [&](const Finding& f) {
        return f.lastLine == 0 && InCause(f.line) &&
               std::find(std::begin(kSymptoms), std::end(kSymptoms), f.name) != std::end(kSymptoms);
    });
}

void ScriptCheck::Runs(std::size_t gap, std::size_t least, std::string_view only) {
    // Findings of one name in line order; a run takes the place of its first.
    std::vector<std::size_t> order(findings_.size());
    std::vector<std::string_view> bases(findings_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        bases[i] = BaseName(findings_[i].name);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Finding& x = findings_[a];
        const Finding& y = findings_[b];
        return std::tie(bases[a], x.line, x.column) < std::tie(bases[b], y.line, y.column);
    });
    const bool all = gap == std::numeric_limits<std::size_t>::max();
    std::vector<bool> gone(findings_.size(), false);
    for (std::size_t i = 0; i < order.size();) {
        const Finding& head = findings_[order[i]];
        std::size_t j = i + 1;
        const std::string_view base = bases[order[i]];
        while (j < order.size() && bases[order[j]] == base) {
            const std::size_t before = findings_[order[j - 1]].LastLine();
            const std::size_t line = findings_[order[j]].line;
            if (line > before && line - before > gap)
                break;
            ++j;
        }
        const auto run = std::find_if(std::begin(kRunNames), std::end(kRunNames),
                                      [&](const auto& p) { return p.first == base; });
        // Span findings are one per cause; only the last resort folds them too.
        const bool cause =
            std::find(std::begin(kCauses), std::end(kCauses), base) != std::end(kCauses);
        if (j - i < least || run == std::end(kRunNames) || head.line == 0 || (cause && !all) ||
            (!only.empty() && base != only)) {
            i = j;
            continue;
        }
        Finding folded = head;
        folded.name = run->second;
        folded.lastLine = findings_[order[j - 1]].LastLine();
        const std::u16string lines = Lines(folded.line, folded.lastLine);
        folded.count = 0;
        std::vector<std::u16string> words;
        for (std::size_t k = i; k < j; ++k) {
            const Finding& member = findings_[order[k]];
            folded.count += member.count;
            folded.severity = std::max(folded.severity, member.severity);
            // The first few distinct words, and one more to know that there are more.
            if (!member.word.empty() && words.size() <= kRunWords &&
                std::find(words.begin(), words.end(), member.word) == words.end())
                words.push_back(member.word);
            gone[order[k]] = k != i;
        }
        const bool paths = run->first.starts_with("file-") || run->first == "empty-data" ||
                           run->first == "bad-icon";
        std::u16string list;
        for (std::size_t k = 0; k < words.size() && k < kRunWords; ++k)
            list += (k == 0 ? u"" : u", ") + (paths ? u"\"" + words[k] + u"\"" : Cut(words[k]));
        if (words.size() > kRunWords)
            list += u", ...";
        const std::u16string count = Dec(folded.count);
        if (run->first == "id-not-found") {
            folded.text = (includeLine_ != 0 && includeLine_ < folded.line
                               ? Shown(AsWritten(Code(includeLine_))) + u" on line " +
                                     Dec(includeLine_) + u" is not read: "
                               : u"") +
                          count + u" names on " + lines +
                          u" are not found and are written as string names: " + list;
        } else if (run->first == "file-not-found") {
            folded.text = count + u" files named on " + lines + u" are not found: " + list;
        } else {
            folded.text = count + u" findings on " + lines + u", the first: " + head.text;
            if (!list.empty())
                folded.text += u" (" + list + u")";
        }
        folded.word.clear();
        findings_[order[i]] = std::move(folded);
        i = j;
    }
    std::size_t index = 0;
    std::erase_if(findings_, [&](const Finding&) { return gone[index++]; });
}

void ScriptCheck::Finish() {
    Blocks();
    Braces();
    Statements();
    Comments();
    Preprocessor();
    Unreachable();
    Absorb();
    Runs(kRunGap, kRunLeast);
    // Against a flood the most frequent name is folded whole, then the next.
    const std::size_t limit = FindingLimit(lines_.size());
    while (true) {
        std::unordered_map<std::string_view, std::size_t> counts;
        std::size_t total = 0;
        for (const Finding& f : findings_) {
            const std::string_view base = BaseName(f.name);
            if (f.line != 0 &&
                std::find_if(std::begin(kRunNames), std::end(kRunNames),
                             [&](const auto& p) { return p.first == base; }) != std::end(kRunNames))
                ++counts[base];
            total += f.line != 0;
        }
        const auto most =
            std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                return std::tie(a.second, a.first) < std::tie(b.second, b.first);
            });
        if (total <= limit || most == counts.end() || most->second < 2)
            break;
        Runs(std::numeric_limits<std::size_t>::max(), 2, most->first);
    }
    for (Finding& finding : findings_)
        finding.file = file_;
    std::stable_sort(findings_.begin(), findings_.end(), Earlier);
}

} // namespace skin
