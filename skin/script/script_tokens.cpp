// Cutting a script line into tokens, and the two treatments a value token gets.
//
// Only TAB and SPACE separate tokens. Quotes stay part of a token wherever they
// stand and protect the separators between them; a comma or a brace is just
// another character of the token.
#include "skin/script/script_reader.h"
#include "skin/script/script_vocabulary.h"

namespace skin {
namespace {

using vocabulary::kQuote;

constexpr auto IsSeparator = vocabulary::IsTokenSeparator;

} // namespace

Token NextToken(std::u16string_view line, std::size_t start) {
    // Positions count from 1; position line.size() + 1 is one past the end.
    const std::size_t pastEnd = line.size() + 1;
    if (start == 0)
        start = 1;
    while (start < pastEnd && IsSeparator(line[start - 1]))
        ++start;
    std::size_t finish = start;
    bool inQuotes = false;
    while (finish < pastEnd) {
        const char16_t c = line[finish - 1];
        if (c == kQuote)
            inQuotes = !inQuotes;
        else if (!inQuotes && IsSeparator(c))
            break;
        ++finish;
    }
    Token token;
    token.finish = finish;
    if (start < pastEnd && finish > start)
        token.text.assign(line.substr(start - 1, finish - start));
    return token;
}

// The text between the opening quote and the closing one, each pair of quotes
// inside standing for one. A quote that is never closed (the token ran to the
// end of the line, perhaps because a "//" inside the quotes began a comment)
// gives the whole rest of the token. An empty result stands only for the
// token ""; any other token whose text comes out empty is kept as it is.
std::u16string UnquoteToken(std::u16string_view token) {
    if (token.empty() || token.front() != kQuote)
        return std::u16string(token);
    std::u16string text;
    text.reserve(token.size());
    std::size_t pos = 1;
    while (pos < token.size()) {
        const std::size_t quote = token.find(kQuote, pos);
        if (quote == std::u16string_view::npos) {
            text.append(token.substr(pos)); // never closed: the rest of the token
            break;
        }
        text.append(token.substr(pos, quote - pos));
        if (quote + 1 >= token.size() || token[quote + 1] != kQuote)
            break; // the closing quote; anything after it is dropped
        text.push_back(kQuote);
        pos = quote + 2;
    }
    if (text.empty() && token != u"\"\"")
        return std::u16string(token);
    return text;
}

std::u16string ReduceBackslashes(std::u16string_view text) {
    constexpr std::u16string_view kPair = u"\\\\";
    std::u16string reduced;
    reduced.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t pair = text.find(kPair); pair != std::u16string_view::npos;
         pair = text.find(kPair, pos)) {
        reduced.append(text.substr(pos, pair + 1 - pos));
        pos = pair + 2;
    }
    reduced.append(text.substr(pos));
    return reduced;
}

} // namespace skin
