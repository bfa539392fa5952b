#include "skin/string_block.h"

#include "acWorkRes/byte_reader.h"

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

std::vector<StringBlockEntry> ReadStringBlock(std::span<const std::uint8_t> block) {
    const acWorkRes::ByteReader in(block);
    std::vector<StringBlockEntry> entries;
    std::uint64_t pos = 0;
    while (in.Has(pos, 2)) {
        const std::uint16_t length = *in.U16(pos);
        pos += 2;
        const std::uint64_t available = (in.Size() - pos) / 2;
        StringBlockEntry entry;
        entry.cut = length > available;
        const std::uint64_t units = entry.cut ? available : length;
        entry.text.resize(static_cast<std::size_t>(units));
        for (std::uint64_t i = 0; i < units; ++i)
            entry.text[static_cast<std::size_t>(i)] = static_cast<char16_t>(*in.U16(pos + 2 * i));
        pos += 2 * units;
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace skin
