// Words the checker's passes share: keyword typos and the near-misses of
// #define, told apart from what the build reads.
#pragma once

#include <string>
#include <string_view>

namespace skin {

// Edit distance of at most 2 (a typo of a keyword), in ASCII letters of either case.
bool NearMiss(std::u16string_view a, std::u16string_view b);

// The keyword of the build that `word` misspells (ICON, RCDATA, STRINGTABLE),
// or empty: one letter off, or two in a word of six letters or more. A
// keyword in any letter case is none: the build takes it.
std::u16string_view KeywordTypo(std::u16string_view word);

// What a line's code writes in place of #define ("# define", "#defne"), or
// empty: the build knows #define only as one word, in any letter case.
std::u16string DefineNearMiss(std::u16string_view code);

} // namespace skin
