#include "skin/unpack/script_writer.h"

#include "platform/platform.h"
#include "skin/resource_key.h"
#include "skin/script/script_vocabulary.h"

#include <algorithm>

namespace skin {
namespace {

using vocabulary::kQuote;
constexpr char16_t kBackslash = u'\\';
using vocabulary::kLineSeparator;
constexpr std::u16string_view kCrLf = u"\r\n";
constexpr std::u16string_view kLineEnds = vocabulary::kLineBreaksAndEnd;
constexpr std::uint8_t kUtf8Marker[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16Marker[] = {0xFF, 0xFE};

bool IsSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// What keeps a key token or a text from the reader whatever the line: a
// comment marker.
std::u16string CommentProblem(std::u16string_view text) {
    if (vocabulary::HoldsCommentMarker(text))
        return u"it holds \"//\", which starts a comment";
    return {};
}

bool HoldsSurrogate(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), IsSurrogate);
}

std::vector<std::uint8_t> Utf8Script(std::u16string_view text) {
    const std::string bytes = platform::Utf16ToUtf8(text);
    std::vector<std::uint8_t> script;
    script.reserve(std::size(kUtf8Marker) + bytes.size());
    for (const std::uint8_t b : kUtf8Marker)
        script.push_back(b);
    for (const char c : bytes)
        script.push_back(static_cast<std::uint8_t>(c));
    return script;
}

// UTF-16 little-endian with its marker: the one form in which the reader
// takes a character outside the Basic Multilingual Plane (a surrogate pair)
// and gives every code unit back as it stands.
std::vector<std::uint8_t> Utf16Script(std::u16string_view text) {
    std::vector<std::uint8_t> script;
    script.reserve(std::size(kUtf16Marker) + 2 * text.size());
    for (const std::uint8_t b : kUtf16Marker)
        script.push_back(b);
    for (const char16_t c : text) {
        script.push_back(static_cast<std::uint8_t>(c & 0xFF));
        script.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return script;
}

// A script as the writer saves it: UTF-8 unless its text holds a surrogate,
// which UTF-8 cannot carry to the reader.
std::vector<std::uint8_t> ScriptBytes(std::u16string_view text) {
    return HoldsSurrogate(text) ? Utf16Script(text) : Utf8Script(text);
}

bool SameRequest(const LineRequest& a, const LineRequest& b) {
    return a.kind == b.kind && a.value == b.value &&
           (a.kind == RequestKind::StringEntry || a.keyToken == b.keyToken);
}

// Whether the line, saved as the writer saves a script holding it, and read under
// `state`, gives exactly `expected` and nothing else.
bool ReadsBack(std::u16string_view line, ScriptLineState state, const LineRequest& expected) {
    const std::vector<std::u16string> lines = LoadScriptLines(ScriptBytes(line));
    return lines.size() == 1 && SameRequest(ReadScriptLine(lines.front(), state), expected);
}

LineRequest FileRequest(std::u16string_view keyToken, RequestKind kind, std::u16string_view file) {
    LineRequest request;
    request.kind = kind;
    request.keyToken = std::u16string(keyToken);
    request.value = std::u16string(file);
    return request;
}

LineRequest StringRequest(std::u16string_view text) {
    LineRequest request;
    request.kind = RequestKind::StringEntry;
    request.value = std::u16string(text);
    return request;
}

// A module's file name for the comment line: nothing in it may end the line.
std::u16string CommentText(std::u16string text) {
    for (char16_t& c : text)
        if (c < u' ' || c == kLineSeparator)
            c = u'?';
    return text;
}

} // namespace

std::u16string QuoteScriptText(std::u16string_view text) {
    std::u16string quoted(1, kQuote);
    quoted.reserve(text.size() + 2);
    for (const char16_t c : text) {
        if (c == kQuote || c == kBackslash)
            quoted.push_back(c);
        quoted.push_back(c);
    }
    quoted.push_back(kQuote);
    return quoted;
}

std::u16string StringEntryLine(std::uint32_t entry, std::u16string_view text) {
    return u"    " + platform::Decimal(entry) + u" " + QuoteScriptText(text);
}

std::u16string ResourceLine(std::u16string_view keyToken, RequestKind kind,
                            std::u16string_view file) {
    std::u16string line(keyToken);
    line.append(u" ");
    line.append(kind == RequestKind::Icon ? vocabulary::kIcon : vocabulary::kRcData);
    line.append(u" ");
    line.append(file);
    return line;
}

std::u16string KeyNameProblem(std::u16string_view name) {
    if (name.empty())
        return u"it is empty";
    if (name.find_first_of(kLineEnds) != std::u16string_view::npos)
        return u"it holds a line break or a NUL";
    if (std::u16string problem = CommentProblem(name); !problem.empty())
        return problem;
    if (UseOfResolvedKey(IntegerOfToken(name)) != KeyUse::StringName)
        return u"it reads as a number";
    if (vocabulary::IsKeyword(name, vocabulary::kDefine))
        return u"the reader takes it for #define";
    // Quotes may carry a space ("IDI X" is one key token); the reader decides.
    if (ReadsBack(ResourceLine(name, RequestKind::RcData, u"x.bin"), ScriptLineState::None,
                  FileRequest(name, RequestKind::RcData, u"x.bin")))
        return {};
    if (name.find(kQuote) != std::u16string_view::npos)
        return u"its quotes would join it to the words after it";
    if (name.find_first_of(vocabulary::kTokenSeparators) != std::u16string_view::npos)
        return u"it holds a space, which ends a key token";
    return u"it starts or ends with a control character, which the reader trims";
}

std::u16string StringTextProblem(std::u16string_view text) {
    if (text.find_first_of(kLineEnds) != std::u16string_view::npos)
        return u"it holds a line break or a NUL";
    if (std::u16string problem = CommentProblem(text); !problem.empty())
        return problem;
    if (!ReadsBack(StringEntryLine(1, text), ScriptLineState::Strings, StringRequest(text)))
        return u"the reader would not give it back as it is";
    return {};
}

std::vector<LineRequest> ScriptRequestsOf(const UnpackedModule& module) {
    std::vector<LineRequest> requests;
    for (const UnpackedString& entry : module.strings)
        if (entry.written)
            requests.push_back(StringRequest(entry.text));
    for (const UnpackedIconGroup& group : module.icons)
        if (group.notWritten.empty())
            requests.push_back(FileRequest(group.key, RequestKind::Icon, group.file));
    for (const UnpackedData& data : module.data)
        if (data.notWritten.empty())
            requests.push_back(FileRequest(data.key, RequestKind::RcData, data.file));
    return requests;
}

std::vector<std::uint8_t> WriteSkinScript(const UnpackedModule& module) {
    std::u16string text = u"// " + CommentText(platform::FileNamePart(module.moduleFile)) +
                          u", unpacked by KestoSkinUnpack";
    text.append(kCrLf);
    bool anyString = false;
    for (const UnpackedString& entry : module.strings)
        anyString = anyString || entry.written;
    if (anyString) {
        text.append(kCrLf);
        text.append(vocabulary::kStringTable);
        text.append(kCrLf);
        text.append(vocabulary::kBegin);
        text.append(kCrLf);
        for (const UnpackedString& entry : module.strings) {
            if (!entry.written)
                continue;
            text.append(StringEntryLine(entry.entry, entry.text));
            text.append(kCrLf);
        }
        text.append(vocabulary::kEnd);
        text.append(kCrLf);
    }
    const auto written = [](const auto& part) { return part.notWritten.empty(); };
    if (std::any_of(module.icons.begin(), module.icons.end(), written))
        text.append(kCrLf);
    for (const UnpackedIconGroup& group : module.icons) {
        if (!written(group))
            continue;
        text.append(ResourceLine(group.key, RequestKind::Icon, group.file));
        text.append(kCrLf);
    }
    if (std::any_of(module.data.begin(), module.data.end(), written))
        text.append(kCrLf);
    for (const UnpackedData& data : module.data) {
        if (!written(data))
            continue;
        text.append(ResourceLine(data.key, RequestKind::RcData, data.file));
        text.append(kCrLf);
    }
    return ScriptBytes(text);
}

} // namespace skin
