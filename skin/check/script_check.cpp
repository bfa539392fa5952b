// The checker's first pass over one script: each line read as the build reads
// it, with what the reader drops, the encoding and the string entries.
#include "skin/check/script_check.h"
#include "skin/check/script_check_text.h"
#include "skin/check/script_check_words.h"

#include "acWorkRes/byte_reader.h"
#include "platform/platform.h"
#include "skin/resource_key.h"
#include "skin/script/script_vocabulary.h"

#include <algorithm>
#include <utility>

namespace skin {

using namespace check_text;

namespace {

// A comma that no quotes hold: the author meant it to end the key.
bool CommaOutsideQuotes(std::u16string_view text) {
    bool quoted = false;
    for (const char16_t c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (c == u',' && !quoted)
            return true;
    }
    return false;
}

std::u16string NoticeText(ReaderNotice notice, std::u16string_view text) {
    switch (notice) {
    case ReaderNotice::UnknownLine:
        return Quoted(text) + u" starts no statement: the line asks for nothing";
    case ReaderNotice::NoKindKeyword:
        return u"no RCDATA or ICON of its own: the line asks for nothing";
    case ReaderNotice::MissingValue:
        return u"no file name or value after " + Quoted(text) + u": the line asks for nothing";
    case ReaderNotice::LoneToken:
        return std::u16string(u"a single token in a string block gives no entry") +
               (CommaOutsideQuotes(text) ? u" (a comma ends no token)" : u"");
    case ReaderNotice::EmptyString:
        return u"an empty string gives no entry: the next entry takes its number";
    case ReaderNotice::ExtraWords:
        // Last in the text and given as it stands, so its own quotes are not doubled.
        return u"ignored after the value: " +
               std::u16string(text.substr(0, std::min(text.size(), 2 * kQuotedLength))) +
               (text.size() > 2 * kQuotedLength ? u"..." : u"");
    case ReaderNotice::CommentInQuotes:
        return u"\"//\" inside quotes starts a comment: the line is cut here";
    case ReaderNotice::UnclosedQuote:
        return u"quote never closed: the value runs to the end of the line";
    case ReaderNotice::OptionWord:
        return Quoted(text) + u" stands where the file name belongs: the third word is the file";
    case ReaderNotice::DefineInStrings:
        return u"#define inside a string block defines nothing and ends the entries";
    case ReaderNotice::DefineCarried:
        return Quoted(text) + u" is no #define: the line defines a name only because the state "
                              u"carried over from the line before";
    case ReaderNotice::DefineNotNumber:
        return Quoted(text) + u" reads as no number: the name is defined as 0";
    }
    return {};
}

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The first escape of the resource language in a raw value token that the
// build keeps as it stands ("\n", "\t", "\r", "\"", "\0", "\x41"), as written;
// empty when there is none. "\\" is the build's own escape.
std::u16string_view KeptEscape(std::u16string_view token) {
    for (std::size_t i = 0; i + 1 < token.size(); ++i) {
        if (token[i] != u'\\')
            continue;
        const char16_t next = token[i + 1];
        if (next == u'\\') {
            ++i;
            continue;
        }
        if (next == u'n' || next == u't' || next == u'r' || next == u'"' || next == u'0')
            return token.substr(i, 2);
        if (next == u'x' && i + 2 < token.size() && IsHexDigit(token[i + 2])) {
            std::size_t end = i + 2;
            while (end < token.size() && end < i + 6 && IsHexDigit(token[end]))
                ++end;
            return token.substr(i, end - i);
        }
    }
    return {};
}

// True when a token that opens a quote is one quoted string and nothing more.
bool IsOneQuotedString(std::u16string_view token) {
    std::size_t i = 1;
    while (i < token.size()) {
        if (token[i] == u'"') {
            if (i + 1 < token.size() && token[i + 1] == u'"') {
                i += 2;
                continue;
            }
            return i + 1 == token.size();
        }
        ++i;
    }
    return true; // never closed: the unclosed-quote notice tells it
}

} // namespace

// ---------------------------------------------------------------- one script

Finding& ScriptCheck::Add(std::size_t line, std::size_t column, std::string_view name,
                          std::u16string text, std::u16string_view word) {
    Finding& finding = findings_.emplace_back();
    finding.line = line;
    finding.column = EditorColumn(line, column);
    finding.name = name;
    finding.severity = FindingSeverity(name);
    finding.text = std::move(text);
    finding.word = word;
    return finding;
}

std::size_t ScriptCheck::EditorColumn(std::size_t line, std::size_t column) const {
    if (!utf8Shown_ || line == 0 || line > lines_.size() || column <= 1)
        return column;
    const std::u16string_view before = std::u16string_view(lines_[line - 1]).substr(0, column - 1);
    const std::string bytes = platform::Utf16ToAnsi(before);
    if (bytes.size() != before.size())
        return column; // a code page of more than one byte per character: left as it is
    const auto characters = std::count_if(bytes.begin(), bytes.end(), [](char c) {
        return (static_cast<std::uint8_t>(c) & 0xC0) != 0x80;
    });
    return static_cast<std::size_t>(characters) + 1;
}

std::u16string ScriptCheck::Shown(std::u16string_view word) const {
    if (!utf8Shown_)
        return std::u16string(word);
    const std::string bytes = platform::Utf16ToAnsi(word);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (!IsWellFormedUtf8({data, bytes.size()}))
        return std::u16string(word);
    return platform::Utf8ToUtf16(bytes);
}

void ScriptCheck::Notice(ReaderNotice notice, std::size_t column, std::u16string_view text) {
    if (notice == ReaderNotice::OptionWord) {
        optionWordLine_ = line_;
        optionWordFinding_ = findings_.size() + 1;
    }
    const bool nothing = notice == ReaderNotice::UnknownLine ||
                         notice == ReaderNotice::NoKindKeyword ||
                         notice == ReaderNotice::MissingValue;
    const std::u16string_view code = Code(line_);
    if (nothing) {
        // "# define X 1" and "#defne X 1" read as no #define at all.
        const std::u16string near = DefineNearMiss(code);
        if (!near.empty()) {
            Add(line_, static_cast<std::size_t>(code.data() - lines_[line_ - 1].data()) + 1,
                "define-near-miss",
                Quoted(Shown(near)) +
                    (near.starts_with(u"# ")
                         ? u" is no #define, which the build knows only as one word"
                         : u" is no #define (did you mean #define?)") +
                    u": the line defines nothing");
            return;
        }
    }
    std::u16string said = NoticeText(notice, Shown(text));
    if (notice == ReaderNotice::UnknownLine || notice == ReaderNotice::NoKindKeyword) {
        const Token key = NextToken(code, 1);
        const Token kind = NextToken(code, key.finish + 1);
        for (const std::u16string_view word :
             {std::u16string_view(key.text), std::u16string_view(kind.text)}) {
            const std::u16string_view keyword = KeywordTypo(word);
            if (!keyword.empty()) {
                said += u"; did you mean " + std::u16string(keyword) + u" in place of " +
                        Quoted(Shown(word)) + u"?";
                break;
            }
        }
    }
    Add(line_, column, ReaderNoticeName(notice), std::move(said));
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
            Add(1, 1, "utf16-no-marker",
                u"looks like UTF-16 without a byte-order mark: the build reads it as ANSI text up "
                u"to the first zero byte; save it as UTF-16 with a marker");
            return;
        }
    }
    // The text ends at its first zero byte: what follows is never read.
    bytes = bytes.first(
        static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin()));
    if (std::none_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b > 127; }))
        return;
    // Positions and words from here on as the author's editor shows them.
    utf8Shown_ = IsWellFormedUtf8(bytes);
    encoding_ = utf8Shown_ ? "utf8-no-marker" : "ansi-text";
}

// The encoding finding at the first character above 127 that the build reads:
// on a line that asks for something, before its "//". Such characters only in
// comments or in lines that ask for nothing are never read, so nothing is
// garbled.
void ScriptCheck::EncodingRead() {
    if (encoding_.empty())
        return;
    for (std::size_t line = 1; line <= lines_.size(); ++line) {
        if (records_[line - 1].request == RequestKind::Nothing)
            continue;
        const std::u16string_view code =
            std::u16string_view(lines_[line - 1])
                .substr(0, lines_[line - 1].find(vocabulary::kCommentMarker));
        const auto high =
            std::find_if(code.begin(), code.end(), [](char16_t c) { return c > 127; });
        if (high == code.end())
            continue;
        const auto column = static_cast<std::size_t>(high - code.begin()) + 1;
        if (utf8Shown_)
            Add(line, column, encoding_,
                u"UTF-8 without a byte-order mark: the build reads it in the ANSI code page (1251 "
                u"on Linux, the system's on Windows), so the text comes out garbled; save it as "
                u"UTF-8 with a marker");
        else
            Add(line, column, encoding_,
                u"characters above 127 without a byte-order mark: read in the ANSI code page, 1251 "
                u"on Linux and the system's on Windows, so the two builds can differ; save it as "
                u"UTF-8 with a marker");
        return;
    }
}

void ScriptCheck::Read(std::span<const std::uint8_t> bytes) {
    std::vector<std::size_t> broken;
    std::vector<std::size_t> lineStarts;
    const std::u16string text = DecodeScriptText(bytes, broken);
    lines_ = SplitScriptLines(text, lineStarts);
    Encoding(bytes);

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
        Add(line, at - *(next - 1) + 1, "broken-utf8",
            u"bytes that are no UTF-8 character: the build reads U+FFFD in their place");
    }

    records_.assign(lines_.size(), {});
    covered_.assign(lines_.size() + 1, false);
    ScriptLineState state = ScriptLineState::None;
    for (line_ = 1; line_ <= lines_.size(); ++line_) {
        records_[line_ - 1].before = state;
        LineRequest request = ReadScriptLine(lines_[line_ - 1], state, *this);
        records_[line_ - 1].request = request.kind;
        Apply(request);
    }
    EncodingRead();
}

// The column of the last character of a line's code.
std::size_t ScriptCheck::EndColumn(std::u16string_view code) const {
    return static_cast<std::size_t>(code.data() - lines_[line_ - 1].data()) + code.size();
}

void ScriptCheck::Cover(Span span) {
    for (std::size_t line = span.first; line <= span.last && line < covered_.size(); ++line)
        covered_[line] = true;
}

// A line of a string block that ends in "\": the next line is read on its
// own, and what it and this line leave is this finding's.
void ScriptCheck::BackslashAtEnd(std::u16string_view code, std::u16string_view entry) {
    if (line_ >= lines_.size())
        return;
    Add(line_, EndColumn(code), "backslash-at-end",
        u"a \\ at the end joins no lines: " + std::u16string(entry) + u"line " +
            platform::Decimal(line_ + 1) + u" is read on its own")
        .lastLine = line_ + 1;
    Cover({line_, line_ + 1});
}

void ScriptCheck::StringEntry(const LineRequest& request) {
    ++entries_;
    records_[line_ - 1].entry = entries_;
    const std::int32_t key = defines_.Resolve(request.keyToken);
    if (key > 0 && key != entries_)
        Add(line_, columns_.key, "string-number",
            u"this entry is string " + platform::Decimal(static_cast<std::uint64_t>(entries_)) +
                u", not " + platform::Decimal(static_cast<std::uint64_t>(key)) +
                u": strings are numbered in file order",
            request.keyToken);
    if (request.value.size() > kMaxStringLength)
        Add(line_, columns_.value, "string-cut",
            u"the string has " + platform::Decimal(request.value.size()) + u" characters: cut to " +
                platform::Decimal(kMaxStringLength));

    // What the resource language would have read otherwise. The usual entry,
    // a key and one quoted text without a backslash, is read no further.
    const std::u16string_view code = Code(line_);
    if (code.find(u'\\') == std::u16string_view::npos && code.ends_with(u'"') &&
        std::count(code.begin(), code.end(), u'"') == 2)
        return;
    const Token key1 = NextToken(code, 1);
    const Token value = NextToken(code, key1.finish + 1);
    const std::u16string entry =
        u"entry " + platform::Decimal(static_cast<std::uint64_t>(entries_));
    const std::u16string_view escape = KeptEscape(value.text);
    if (!escape.empty()) {
        std::u16string characters;
        for (const char16_t c : escape)
            characters += (characters.empty() ? u"" : u" ") + Quoted(std::u16string(1, c));
        // At the escape itself: the value token starts at its column.
        Add(line_, columns_.value + static_cast<std::size_t>(escape.data() - value.text.data()),
            "literal-escape",
            Quoted(escape) + u" is no escape here: " + entry + u" stores the " +
                platform::Decimal(escape.size()) + u" characters " + characters +
                (escape == u"\\\"" ? u" and its text ends there; write \"\" for a quote"
                                   : u"; write the character itself, or use a second entry"));
    }
    if (!value.text.empty() && value.text.front() == u'"' && !IsOneQuotedString(value.text))
        Add(line_, columns_.value, "value-not-one-string",
            // Both as written, without quotes of the text's own: they hold quotes.
            Shown(value.text.substr(0, 2 * kQuotedLength)) + u" is not one quoted string: " +
                entry + u" stores the " + platform::Decimal(request.value.size()) +
                u" characters " + Shown(request.value.substr(0, 2 * kQuotedLength)));
    if (code.ends_with(u'\\'))
        BackslashAtEnd(code, entry + u" ends here and ");
}

void ScriptCheck::Apply(LineRequest& request) {
    switch (request.kind) {
    case RequestKind::Nothing:
        if (records_[line_ - 1].before == ScriptLineState::Strings &&
            Code(line_).ends_with(u'\\') && Code(line_).size() > 1)
            BackslashAtEnd(Code(line_), u"");
        return;
    case RequestKind::StringEntry:
        StringEntry(request);
        return;
    case RequestKind::Define: {
        const std::u16string name = request.define.Name;
        const std::size_t first = defines_.AddAndFindFirst(std::move(request.define));
        defineLines_.push_back(line_);
        records_[line_ - 1].define = static_cast<std::uint32_t>(defineLines_.size());
        if (first + 1 != defineLines_.size())
            Add(line_, columns_.kind, "define-again",
                Quoted(Shown(name)) + u" is already defined on line " +
                    platform::Decimal(defineLines_[first]) + u": this value is never used",
                name);
        return;
    }
    case RequestKind::RcData:
    case RequestKind::Icon:
        break;
    }
    const std::int32_t n = defines_.Resolve(request.keyToken);
    const std::u16string key = Shown(request.keyToken);
    switch (UseOfResolvedKey(n)) {
    case KeyUse::OutOfRange:
        Add(line_, columns_.key, "id-out-of-range",
            u"resource id " + Quoted(key) + u" is " +
                platform::Utf8ToUtf16(std::to_string(std::int64_t{n})) +
                u", outside 1 to 65535: the build skips the line",
            key);
        return;
    case KeyUse::StringName:
        Add(line_, columns_.key, "id-not-found",
            u"resource id " + Quoted(key) + u" not found: written under that text as a string name",
            key);
        break;
    case KeyUse::Number:
        break;
    }
    const bool icon = request.kind == RequestKind::Icon;
    std::size_t previous = 0;
    if (UseOfResolvedKey(n) == KeyUse::Number) {
        // Numbered resources, the usual kind, by kind and number. A map rather
        // than a table of every possible number: a short script (and the fuzz
        // target's many) would pay for zeroing the whole range.
        previous = std::exchange(
            numberedLines_[(icon ? 0x10000u : 0u) + static_cast<std::uint32_t>(n)], line_);
    } else {
        std::size_t& last = namedLines_[(icon ? u'I' : u'R') + request.keyToken];
        previous = std::exchange(last, line_);
    }
    references_.push_back({line_, EditorColumn(line_, columns_.value),
                           EditorColumn(line_, columns_.key), request.kind,
                           std::move(request.value), key, previous,
                           optionWordLine_ == line_ ? optionWordFinding_ : 0});
}

} // namespace skin
