// Numbers in a script: the integer of a token and the resolution of a
// resource identifier through the script's #define records.
#include "skin/script/script_reader.h"

#include "platform/platform.h"
#include "skin/script/script_vocabulary.h"

#include <string>
#include <string_view>
#include <utility>

namespace skin {
namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decimal digits up to the end; the magnitude may reach 2^31 only when a minus
// sign will take it back into range.
bool ReadDecimal(std::string_view digits, bool negative, std::uint32_t& value) {
    const std::uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        const auto digit = static_cast<std::uint32_t>(c - '0');
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

// Hex digits up to the end, at most eight of them significant (leading zeros
// are free); the result is a 32-bit pattern.
bool ReadHex(std::string_view digits, std::uint32_t& value) {
    value = 0;
    for (const char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || value > 0x0FFFFFFFu)
            return false;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return true;
}

} // namespace

// The token goes through the ANSI code page first, as the number reading has
// always seen it; a character with no digit there is no digit.
bool ReadIntegerOfToken(std::u16string_view token, std::int32_t& value) {
    value = 0;
    const std::string ansi = platform::Utf16ToAnsi(token);
    std::string_view text = ansi;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    std::uint32_t magnitude = 0;
    if (!(hex ? ReadHex(text, magnitude) : ReadDecimal(text, negative, magnitude)))
        return false;
    // Negation and the pattern's reinterpretation in unsigned arithmetic, so
    // that -2147483648 and -$80000000 wrap the way the 32-bit value does.
    const std::uint32_t pattern = negative ? 0u - magnitude : magnitude;
    value = static_cast<std::int32_t>(pattern);
    return true;
}

std::int32_t IntegerOfToken(std::u16string_view token) {
    std::int32_t value = 0;
    ReadIntegerOfToken(token, value);
    return value;
}

std::int32_t ResolveResourceId(std::u16string_view keyToken, const Defines& defines) {
    const std::int32_t number = IntegerOfToken(keyToken);
    if (number > 0)
        return number;
    for (const TDefineRecord& record : defines) {
        if (vocabulary::SameDefineName(record.Name, keyToken))
            return record.Value;
    }
    return number;
}

void DefineTable::Add(TDefineRecord record) {
    if constexpr (platform::kDefineNamesCompareByCodeUnits)
        first_.try_emplace(record.Name,
                           First{record.Value, records_.size()}); // a later one never wins
    records_.push_back(std::move(record));
}

std::size_t DefineTable::AddAndFindFirst(TDefineRecord record) {
    const auto [first, added] =
        first_.try_emplace(record.Name, First{record.Value, records_.size()});
    records_.push_back(std::move(record));
    return first->second.index;
}

std::int32_t DefineTable::Resolve(const std::u16string& keyToken) const {
    if constexpr (platform::kDefineNamesCompareByCodeUnits) {
        const std::int32_t number = IntegerOfToken(keyToken);
        if (number > 0)
            return number;
        const auto found = first_.find(keyToken);
        return found != first_.end() ? found->second.value : number;
    } else {
        return ResolveResourceId(keyToken, records_);
    }
}

} // namespace skin
