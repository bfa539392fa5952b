#include "skin/check/script_check_words.h"

#include "skin/script/script_reader.h"
#include "skin/script/script_vocabulary.h"

#include <algorithm>
#include <vector>

namespace skin {
namespace {

using vocabulary::FoldCase;
using vocabulary::IsKeyword;

std::size_t Distance(std::u16string_view a, std::u16string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (FoldCase(a[i - 1]) == FoldCase(b[j - 1]) ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// A swap of two neighbouring letters ("STRINGTABEL") counts as one typo.
bool Swapped(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    std::size_t i = 0;
    while (i < a.size() && FoldCase(a[i]) == FoldCase(b[i]))
        ++i;
    return i + 1 < a.size() && FoldCase(a[i]) == FoldCase(b[i + 1]) &&
           FoldCase(a[i + 1]) == FoldCase(b[i]) &&
           std::equal(a.begin() + static_cast<std::ptrdiff_t>(i + 2), a.end(),
                      b.begin() + static_cast<std::ptrdiff_t>(i + 2),
                      [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

// Preprocessor words of the resource language: no typo of #define.
constexpr std::u16string_view kDirectives[] = {u"#include", u"#if",   u"#ifdef", u"#ifndef",
                                               u"#elif",    u"#else", u"#endif", u"#pragma",
                                               u"#undef",   u"#error"};

// The keywords a line's first or second word may misspell, in the order tried.
constexpr std::u16string_view kTypoKeywords[] = {vocabulary::kIcon, vocabulary::kRcData,
                                                 vocabulary::kStringTable};

bool IsTypo(std::u16string_view word, std::u16string_view keyword) {
    if (IsKeyword(word, keyword))
        return false;
    const std::size_t allowed = keyword.size() >= 6 ? 2 : 1;
    return Distance(word, keyword) <= allowed || Swapped(word, keyword);
}

} // namespace

bool NearMiss(std::u16string_view a, std::u16string_view b) {
    return Distance(a, b) <= 2;
}

std::u16string_view KeywordTypo(std::u16string_view word) {
    for (const std::u16string_view keyword : kTypoKeywords) {
        if (IsTypo(word, keyword))
            return keyword;
    }
    return {};
}

std::u16string DefineNearMiss(std::u16string_view code) {
    const Token first = NextToken(code, 1);
    if (first.text.empty() || first.text.front() != u'#')
        return {};
    if (first.text == u"#") {
        const Token second = NextToken(code, first.finish + 1);
        if (IsKeyword(second.text, vocabulary::kDefineWord))
            return u"# " + second.text;
        return {};
    }
    const bool directive =
        std::any_of(std::begin(kDirectives), std::end(kDirectives),
                    [&](std::u16string_view d) { return IsKeyword(first.text, d); });
    if (directive || !IsTypo(first.text, vocabulary::kDefine))
        return {};
    return first.text;
}

} // namespace skin
