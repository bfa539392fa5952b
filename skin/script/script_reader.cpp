// One script line under the reader's state machine: comment, trim, tokens,
// classification, and what the line asks for.
#include "skin/script/script_reader.h"

#include "skin/script/script_vocabulary.h"

#include <algorithm>

namespace skin {
namespace {

using vocabulary::CodeOfLine;
using vocabulary::IsKeyword;
using vocabulary::kBegin;
using vocabulary::kCommentMarker;
using vocabulary::kDefine;
using vocabulary::kEnd;
using vocabulary::kIcon;
using vocabulary::kQuote;
using vocabulary::kRcData;
using vocabulary::kStringTable;

// The state a line enters, or the old one when the line passes no test.
ScriptLineState Classify(std::u16string_view line, const std::u16string& key,
                         const std::u16string& kind, ScriptLineState state) {
    if (IsKeyword(key, kDefine))
        return ScriptLineState::Define;
    if (IsKeyword(line, kStringTable))
        return ScriptLineState::None;
    if (IsKeyword(line, kBegin))
        return ScriptLineState::Strings;
    if (IsKeyword(line, kEnd))
        return ScriptLineState::None;
    if (IsKeyword(kind, kRcData))
        return ScriptLineState::RcData;
    if (IsKeyword(kind, kIcon))
        return ScriptLineState::Icon;
    return state;
}

// Positions of a token in the code (1-based): where it starts.
std::size_t StartOf(const Token& token) {
    return token.finish - token.text.size();
}

// The notices of one line: only a sink asks for them, so the build's reading
// never pays for this.
class LineNotices {
public:
    LineNotices(ScriptReaderSink& sink, std::u16string_view line, std::u16string_view code,
                std::size_t lead)
        : sink_(sink), line_(line), code_(code), lead_(lead) {}

    std::size_t Column(const Token& token) const {
        return token.text.empty() ? 0 : lead_ + StartOf(token);
    }
    void Notice(ReaderNotice notice, const Token& token) {
        sink_.Notice(notice, Column(token), token.text);
    }

    // A "//" inside quotes, or a quote that stays open to the end.
    void Quotes() {
        const std::size_t comment = line_.find(kCommentMarker);
        if (comment != std::u16string_view::npos) {
            const std::u16string_view before = line_.substr(0, comment);
            if (std::count(before.begin(), before.end(), kQuote) % 2 != 0) {
                sink_.Notice(ReaderNotice::CommentInQuotes, comment + 1, line_.substr(comment));
                return;
            }
        }
        std::size_t open = std::u16string_view::npos;
        for (std::size_t i = 0; i < code_.size(); ++i) {
            if (code_[i] == kQuote)
                open = open == std::u16string_view::npos ? i : std::u16string_view::npos;
        }
        if (open != std::u16string_view::npos)
            sink_.Notice(ReaderNotice::UnclosedQuote, lead_ + open + 1, code_.substr(open));
    }

    // Words after the value token, which nothing reads.
    void ExtraWords(const Token& value) {
        const Token extra = NextToken(code_, value.finish + 1);
        if (extra.text.empty())
            return;
        sink_.Notice(ReaderNotice::ExtraWords, Column(extra), code_.substr(StartOf(extra) - 1));
    }

    // True when the value token is an RC option word (reported).
    bool OptionWord(const Token& value) {
        for (const std::u16string_view word : vocabulary::kOptionWords) {
            if (IsKeyword(value.text, word)) {
                Notice(ReaderNotice::OptionWord, value);
                return true;
            }
        }
        return false;
    }

    void Request(const LineRequest& request, ScriptLineState before, const Token& key,
                 const Token& kind, const Token& value, const std::u16string& valueText) {
        const bool defineLine = IsKeyword(key.text, kDefine);
        if (before == ScriptLineState::Strings && defineLine)
            Notice(ReaderNotice::DefineInStrings, key);
        switch (request.kind) {
        case RequestKind::Nothing:
            Nothing(before, key, kind, value, defineLine);
            return;
        case RequestKind::StringEntry:
            ExtraWords(value);
            return;
        case RequestKind::RcData:
        case RequestKind::Icon:
            if (!OptionWord(value))
                ExtraWords(value);
            return;
        case RequestKind::Define: {
            if (!defineLine)
                Notice(ReaderNotice::DefineCarried, key);
            std::int32_t number = 0;
            if (!ReadIntegerOfToken(valueText, number))
                Notice(ReaderNotice::DefineNotNumber, value);
            ExtraWords(value);
            return;
        }
        }
    }

private:
    // A line with text that asks for nothing: why.
    void Nothing(ScriptLineState before, const Token& key, const Token& kind, const Token& value,
                 bool defineLine) {
        if (code_.empty() || IsKeyword(code_, kStringTable) || IsKeyword(code_, kBegin) ||
            IsKeyword(code_, kEnd))
            return;
        if (before == ScriptLineState::Strings) {
            if (defineLine)
                return; // told as DefineInStrings
            if (value.text.empty())
                Notice(ReaderNotice::LoneToken, key);
            else
                Notice(ReaderNotice::EmptyString, value);
            return;
        }
        // "STRINGTABLE DISCARDABLE" and the like: the BEGIN after it starts the entries.
        if (IsKeyword(key.text, kStringTable))
            return;
        const bool kindKeyword = IsKeyword(kind.text, kRcData) || IsKeyword(kind.text, kIcon);
        if (defineLine || kindKeyword) {
            Notice(ReaderNotice::MissingValue, defineLine ? key : kind);
            return;
        }
        if (before == ScriptLineState::RcData || before == ScriptLineState::Icon)
            Notice(ReaderNotice::NoKindKeyword, kind.text.empty() ? key : kind);
        else if (before == ScriptLineState::Define)
            Notice(ReaderNotice::MissingValue, key);
        else
            Notice(ReaderNotice::UnknownLine, key);
    }

    ScriptReaderSink& sink_;
    std::u16string_view line_;
    std::u16string_view code_;
    std::size_t lead_;
};

LineRequest ReadLine(std::u16string_view line, ScriptLineState& state, ScriptReaderSink* sink) {
    std::size_t lead = 0;
    const std::u16string_view code = CodeOfLine(line, lead);

    // The tokens are cut under the state the previous line left: inside a
    // string block a line has no kind token, its second token is the value.
    const Token key = NextToken(code, 1);
    Token kind{{}, key.finish};
    if (state != ScriptLineState::Strings)
        kind = NextToken(code, key.finish + 1);
    const Token value = NextToken(code, kind.finish + 1);
    const std::u16string valueText = ReduceBackslashes(UnquoteToken(value.text));

    const ScriptLineState before = state;
    state = Classify(code, key.text, kind.text, state);

    LineRequest request;
    switch (state) {
    case ScriptLineState::Strings:
        if (!key.text.empty() && !valueText.empty()) {
            request.kind = RequestKind::StringEntry;
            request.value = valueText;
            if (sink != nullptr)
                request.keyToken = key.text;
        }
        break;
    case ScriptLineState::RcData:
    case ScriptLineState::Icon: {
        // A line acts only with the keyword in its own kind token; the keyword
        // counts in any letter case, as it does for entering the state.
        const bool rcData = state == ScriptLineState::RcData;
        if (!key.text.empty() && !valueText.empty() &&
            IsKeyword(kind.text, rcData ? kRcData : kIcon)) {
            request.kind = rcData ? RequestKind::RcData : RequestKind::Icon;
            request.keyToken = key.text;
            request.value = valueText;
        }
        break;
    }
    case ScriptLineState::Define:
        if (!kind.text.empty() && !valueText.empty()) {
            request.kind = RequestKind::Define;
            request.define.Name = kind.text;
            request.define.Value = IntegerOfToken(valueText);
        }
        break;
    case ScriptLineState::None:
        break;
    }

    if (sink != nullptr) {
        LineNotices notices(*sink, line, code, lead);
        notices.Quotes();
        notices.Request(request, before, key, kind, value, valueText);
        sink->Columns({notices.Column(key), notices.Column(kind), notices.Column(value)});
    }
    return request;
}

} // namespace

std::string_view ReaderNoticeName(ReaderNotice notice) {
    switch (notice) {
    case ReaderNotice::UnknownLine:
        return "unknown-line";
    case ReaderNotice::NoKindKeyword:
        return "no-kind-keyword";
    case ReaderNotice::MissingValue:
        return "missing-value";
    case ReaderNotice::LoneToken:
        return "lone-token";
    case ReaderNotice::EmptyString:
        return "empty-string";
    case ReaderNotice::ExtraWords:
        return "extra-words";
    case ReaderNotice::CommentInQuotes:
        return "comment-in-quotes";
    case ReaderNotice::UnclosedQuote:
        return "unclosed-quote";
    case ReaderNotice::OptionWord:
        return "option-word";
    case ReaderNotice::DefineInStrings:
        return "define-in-strings";
    case ReaderNotice::DefineCarried:
        return "define-carried";
    case ReaderNotice::DefineNotNumber:
        return "define-not-number";
    }
    return "unknown";
}

LineRequest ReadScriptLine(std::u16string_view line, ScriptLineState& state) {
    return ReadLine(line, state, nullptr);
}

LineRequest ReadScriptLine(std::u16string_view line, ScriptLineState& state,
                           ScriptReaderSink& sink) {
    return ReadLine(line, state, &sink);
}

std::vector<LineRequest> ReadScriptRequests(std::span<const std::uint8_t> bytes) {
    std::vector<LineRequest> requests;
    ScriptLineState state = ScriptLineState::None;
    for (const std::u16string& line : LoadScriptLines(bytes)) {
        LineRequest request = ReadScriptLine(line, state);
        if (request.kind != RequestKind::Nothing)
            requests.push_back(std::move(request));
    }
    return requests;
}

} // namespace skin
