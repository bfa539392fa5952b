// One RT_STRING block as the build fills it: an empty entry 0, then the
// script's entries in script order, then empty entries up to 16 in all.
#pragma once

#include <cstdint>
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

} // namespace skin
