// The words and rules of the skin script language that more than one tool
// needs: the reader reads by them, the checker tells what the reader does
// with them, the writer writes the reader's exact inverse, and the sheet
// shows what the build can load. Each is defined here once.
#pragma once

#include "skin/string_block.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace skin::vocabulary {

// The keywords, compared as IsKeyword compares them.
inline constexpr std::u16string_view kStringTable = u"STRINGTABLE";
inline constexpr std::u16string_view kBegin = u"BEGIN";
inline constexpr std::u16string_view kEnd = u"END";
inline constexpr std::u16string_view kIcon = u"ICON";
inline constexpr std::u16string_view kRcData = u"RCDATA";
inline constexpr std::u16string_view kDefine = u"#define";
// #define's word after its "#", which "# define" writes apart.
inline constexpr std::u16string_view kDefineWord = kDefine.substr(1);

// Every keyword, and the ones a line's key or kind token may misspell.
inline constexpr std::u16string_view kKeywords[] = {kStringTable, kBegin,  kEnd,
                                                    kIcon,        kRcData, kDefine};
inline constexpr std::u16string_view kKindKeywords[] = {kIcon, kRcData};

// Only TAB and SPACE separate tokens.
inline constexpr std::u16string_view kTokenSeparators = u" \t";
inline constexpr bool IsTokenSeparator(char16_t c) {
    return c == u' ' || c == u'\t';
}
// What breaks a line: CR, LF, U+2028, each at most once in this order making
// one break (CR LF is one break, LF CR two). A NUL ends the whole text.
inline constexpr char16_t kLineSeparator = 0x2028;
inline constexpr char16_t kLineBreaks[] = {u'\r', u'\n', kLineSeparator};
inline constexpr std::u16string_view kLineBreaksAndEnd{u"\r\n\u2028\0", 4};
inline constexpr bool IsLineBreak(char16_t c) {
    return c == u'\r' || c == u'\n' || c == kLineSeparator;
}

// A comment runs from this marker, quoted or not, to the end of the line.
inline constexpr std::u16string_view kCommentMarker = u"//";
inline constexpr char16_t kQuote = u'"';

// The words of resource-script options, which an RC line may carry between
// its kind keyword and its file; here they stand where the file name belongs.
inline constexpr std::u16string_view kOptionWords[] = {
    u"DISCARDABLE", u"PRELOAD", u"MOVEABLE", u"LOADONCALL", u"FIXED", u"PURE", u"IMPURE"};

// The last string entry the platform's string loading reaches.
inline constexpr std::int32_t kLastLoadableEntry = kStringBlockEntries - 1;

// The keyword comparison (any letter case as the system folds it).
bool IsKeyword(std::u16string_view word, std::u16string_view keyword);
// The #define name comparison (case-sensitive as the system compares).
bool SameDefineName(std::u16string_view a, std::u16string_view b);

// The line up to its first comment marker, quoted or not, without the code
// units up to U+0020 at either end. `lead` receives how many were taken from
// the front.
std::u16string_view CodeOfLine(std::u16string_view line, std::size_t& lead);
std::u16string_view CodeOfLine(std::u16string_view line);
// Whether a text holds the comment marker (and so cannot stand in a token).
bool HoldsCommentMarker(std::u16string_view text);

// ASCII letters to lower case, nothing else: file names told apart as the
// build's file system does.
char16_t FoldCase(char16_t c);
std::u16string FoldCase(std::u16string_view text);

} // namespace skin::vocabulary
