// One script line under the reader's state machine: comment, trim, tokens,
// classification, and what the line asks for.
#include "skin/script_reader.h"

#include "platform/platform.h"

namespace skin {
namespace {

constexpr std::u16string_view kStringTable = u"STRINGTABLE";
constexpr std::u16string_view kBegin = u"BEGIN";
constexpr std::u16string_view kEnd = u"END";
constexpr std::u16string_view kIcon = u"ICON";
constexpr std::u16string_view kRcData = u"RCDATA";
constexpr std::u16string_view kDefine = u"#define";
constexpr std::u16string_view kCommentMarker = u"//";

// The line up to its first "//", quoted or not, without the code units up to
// U+0020 at either end.
std::u16string_view CodeOfLine(std::u16string_view line) {
    line = line.substr(0, line.find(kCommentMarker));
    while (!line.empty() && line.front() <= u' ')
        line.remove_prefix(1);
    while (!line.empty() && line.back() <= u' ')
        line.remove_suffix(1);
    return line;
}

// The state a line enters, or the old one when the line passes no test.
ScriptLineState Classify(std::u16string_view line, const std::u16string& key,
                         const std::u16string& kind, ScriptLineState state) {
    if (platform::KeywordEquals(key, kDefine))
        return ScriptLineState::Define;
    if (platform::KeywordEquals(line, kStringTable))
        return ScriptLineState::None;
    if (platform::KeywordEquals(line, kBegin))
        return ScriptLineState::Strings;
    if (platform::KeywordEquals(line, kEnd))
        return ScriptLineState::None;
    if (platform::KeywordEquals(kind, kRcData))
        return ScriptLineState::RcData;
    if (platform::KeywordEquals(kind, kIcon))
        return ScriptLineState::Icon;
    return state;
}

} // namespace

LineRequest ReadScriptLine(std::u16string_view line, ScriptLineState& state) {
    const std::u16string_view code = CodeOfLine(line);

    // The tokens are cut under the state the previous line left: inside a
    // string block a line has no kind token, its second token is the value.
    const Token key = NextToken(code, 1);
    Token kind{{}, key.finish};
    if (state != ScriptLineState::Strings)
        kind = NextToken(code, key.finish + 1);
    const Token value = NextToken(code, kind.finish + 1);
    const std::u16string valueText = ReduceBackslashes(UnquoteToken(value.text));

    state = Classify(code, key.text, kind.text, state);

    LineRequest request;
    switch (state) {
    case ScriptLineState::Strings:
        if (!key.text.empty() && !valueText.empty()) {
            request.kind = RequestKind::StringEntry;
            request.value = valueText;
        }
        break;
    case ScriptLineState::RcData:
    case ScriptLineState::Icon: {
        // A line acts only with the keyword in its own kind token; the keyword
        // counts in any letter case, as it does for entering the state.
        const bool rcData = state == ScriptLineState::RcData;
        if (!key.text.empty() && !valueText.empty() &&
            platform::KeywordEquals(kind.text, rcData ? kRcData : kIcon)) {
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
    return request;
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
