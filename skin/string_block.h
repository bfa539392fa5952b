// One RT_STRING block as the build fills it: an empty entry 0, then the
// script's entries in script order, then empty entries up to 16 in all; and
// a block read back entry by entry, as the platform's string loading reads it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skin {

// The longest text a length word can carry; longer texts are cut to it.
constexpr std::size_t kMaxStringLength = 0xFFFF;
// Entries in one block, entry 0 included: a script's entries 1 to 15 have an
// identifier the platform's string loading reaches; later ones do not.
constexpr std::int32_t kStringBlockEntries = 16;

class StringBlock {
public:
    StringBlock();
    // Appends one entry (cut to kMaxStringLength code units).
    void Add(std::u16string_view text);
    std::int32_t EntryCount() const { return entryCount_; }
    // The finished block: completed with empty entries to 16 in all.
    std::vector<std::uint8_t> Finish();

private:
    void Word(std::uint16_t value);
    std::vector<std::uint8_t> bytes_;
    std::int32_t entryCount_ = 0;
};

// One entry of a block as the block holds it.
struct StringBlockEntry {
    std::u16string text;
    bool cut = false; // the block ends inside it: `text` is what it holds
};

// The entries of a block: a 16-bit length word, then that many code units,
// to the block's end; a last entry the block ends inside is cut, and an odd
// last byte is no entry.
std::vector<StringBlockEntry> ReadStringBlock(std::span<const std::uint8_t> block);

} // namespace skin
