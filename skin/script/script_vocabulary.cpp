#include "skin/script/script_vocabulary.h"

#include "platform/platform.h"

namespace skin::vocabulary {

bool IsKeyword(std::u16string_view word, std::u16string_view keyword) {
    return platform::KeywordEquals(word, keyword);
}

bool SameDefineName(std::u16string_view a, std::u16string_view b) {
    return platform::DefineNameEquals(a, b);
}

std::u16string_view CodeOfLine(std::u16string_view line, std::size_t& lead) {
    line = line.substr(0, line.find(kCommentMarker));
    const std::size_t length = line.size();
    while (!line.empty() && line.front() <= u' ')
        line.remove_prefix(1);
    lead = length - line.size();
    while (!line.empty() && line.back() <= u' ')
        line.remove_suffix(1);
    return line;
}

std::u16string_view CodeOfLine(std::u16string_view line) {
    std::size_t lead = 0;
    return CodeOfLine(line, lead);
}

bool HoldsCommentMarker(std::u16string_view text) {
    return text.find(kCommentMarker) != std::u16string_view::npos;
}

char16_t FoldCase(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string FoldCase(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded)
        c = FoldCase(c);
    return folded;
}

} // namespace skin::vocabulary
