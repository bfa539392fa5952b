#include "skin/string_block.h"

#include <utility>

namespace skin {

StringBlock::StringBlock() {
    Word(0); // entry 0, so that the script's first entry has identifier 1
}

void StringBlock::Word(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void StringBlock::Add(std::u16string_view text) {
    if (text.size() > kMaxStringLength)
        text = text.substr(0, kMaxStringLength);
    bytes_.reserve(bytes_.size() + 2 * (text.size() + 1));
    Word(static_cast<std::uint16_t>(text.size()));
    for (char16_t c : text)
        Word(static_cast<std::uint16_t>(c));
    ++entryCount_;
}

std::vector<std::uint8_t> StringBlock::Finish() {
    for (std::int32_t n = entryCount_ + 1; n < kStringBlockEntries; ++n)
        Word(0);
    return std::move(bytes_);
}

} // namespace skin
