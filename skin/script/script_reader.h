// The skin script reader: bytes to lines, lines to tokens, tokens to requests.
//
// A script is read line by line under a small state machine. Each line yields
// at most one request; the build driver carries it out before the next line is
// read, which matters for #define (a name is visible only to later lines).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace skin {

// Decodes a whole script file (UTF-16 LE/BE or UTF-8 by their markers, the ANSI
// code page otherwise) and splits it into lines.
std::vector<std::u16string> LoadScriptLines(std::span<const std::uint8_t> bytes);

// The two halves of LoadScriptLines. DecodeScriptText stops at the first NUL;
// SplitScriptLines breaks at CR, LF and U+2028 (CR LF U+2028 in this order,
// each at most once, make one break).
std::u16string DecodeScriptText(std::span<const std::uint8_t> bytes);
std::vector<std::u16string> SplitScriptLines(std::u16string_view text);

// DecodeScriptText that also gives the text position of each U+FFFD put in
// for a broken UTF-8 sequence (none for the other encodings).
std::u16string DecodeScriptText(std::span<const std::uint8_t> bytes,
                                std::vector<std::size_t>& brokenAt);
// True when the bytes (up to a first NUL) are well-formed UTF-8, as the
// decoder reads a script with the UTF-8 marker.
bool IsWellFormedUtf8(std::span<const std::uint8_t> bytes);
// SplitScriptLines that also gives the text position where each line starts.
std::vector<std::u16string> SplitScriptLines(std::u16string_view text,
                                             std::vector<std::size_t>& lineStarts);

enum class ScriptLineState { None, Strings, RcData, Icon, Define };

struct TDefineRecord {
    std::u16string Name;
    std::int32_t Value = 0;
};
using Defines = std::vector<TDefineRecord>;

// The token starting at or after `start` (1-based) and the position where
// scanning stopped (the separator that ended it, or one past the line).
struct Token {
    std::u16string text;
    std::size_t finish = 0;
};
Token NextToken(std::u16string_view line, std::size_t start);
std::u16string UnquoteToken(std::u16string_view token);
// Every "\\" becomes "\", scanning left to right; nothing else is an escape.
std::u16string ReduceBackslashes(std::u16string_view text);

// The integer of a token (decimal, or hex after "$", "x", "X", "0x", "0X";
// optional sign); 0 when the text is no number.
std::int32_t IntegerOfToken(std::u16string_view token);
// The same, false when the text reads as no number (where IntegerOfToken gives 0).
bool ReadIntegerOfToken(std::u16string_view token, std::int32_t& value);

// The number a key token names: itself when it reads as a positive number,
// else the first #define of that name, else 0 (a string name).
std::int32_t ResolveResourceId(std::u16string_view keyToken, const Defines& defines);

// The #define records of one script with ResolveResourceId over them. Where
// the system compares names by code units the first record of each name is
// also kept by name, so a look-up does not walk the list.
class DefineTable {
public:
    void Add(TDefineRecord record);
    // Add that also gives the index of the first record of that name (the new
    // record's own when the name is new), by code units on every system.
    std::size_t AddAndFindFirst(TDefineRecord record);
    std::int32_t Resolve(const std::u16string& keyToken) const;
    const Defines& Records() const { return records_; }

private:
    struct First {
        std::int32_t value;
        std::size_t index;
    };
    Defines records_;
    std::unordered_map<std::u16string, First> first_;
};

enum class RequestKind { Nothing, StringEntry, RcData, Icon, Define };

// What one line asks for.
struct LineRequest {
    RequestKind kind = RequestKind::Nothing;
    std::u16string keyToken; // RcData, Icon (and StringEntry for a sink): the key token as written
    std::u16string value;    // StringEntry: the text; RcData, Icon: the file name
    TDefineRecord define;    // Define: the new record
};

// Reads one line under the state left by the previous line; updates the state.
LineRequest ReadScriptLine(std::u16string_view line, ScriptLineState& state);

// What the reader drops, cuts or guesses on a line. The build reads without
// being told; the checker listens. Each has a stable name (ReaderNoticeName).
enum class ReaderNotice {
    UnknownLine,     // top-level text that is no statement: it asks for nothing
    NoKindKeyword,   // under RCDATA/ICON, a line without that keyword of its own
    MissingValue,    // a statement without its file name or #define value
    LoneToken,       // one token in a string block: no entry
    EmptyString,     // "" in a string block: no entry, the next one takes its number
    ExtraWords,      // words after the value token, ignored
    CommentInQuotes, // a "//" inside quotes that cut the line
    UnclosedQuote,   // a quote that is never closed
    OptionWord,      // DISCARDABLE and friends where the file name belongs
    DefineInStrings, // #define inside a string block: no define, the entries end
    DefineCarried,   // a line taken as #define only because the state carried over
    DefineNotNumber, // a #define value that reads as no number: it defines 0
};
std::string_view ReaderNoticeName(ReaderNotice notice);

// Where a line's tokens start: 1-based columns of the raw line, 0 for none.
struct TokenColumns {
    std::size_t key = 0;
    std::size_t kind = 0;
    std::size_t value = 0;
};

class ScriptReaderSink {
public:
    virtual ~ScriptReaderSink() = default;
    // `text` is the word or token concerned (empty where there is none).
    virtual void Notice(ReaderNotice notice, std::size_t column, std::u16string_view text) = 0;
    // Once per line, after its notices.
    virtual void Columns(const TokenColumns& columns) = 0;
};

// ReadScriptLine telling `sink` what it drops. String entries also carry
// their key token, which the build does not need.
LineRequest ReadScriptLine(std::u16string_view line, ScriptLineState& state,
                           ScriptReaderSink& sink);

// Every request of a whole script in order, lines that ask for nothing left out.
std::vector<LineRequest> ReadScriptRequests(std::span<const std::uint8_t> bytes);

} // namespace skin
