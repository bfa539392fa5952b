// What the build makes of the number a key token resolves to.
#pragma once

#include <cstdint>

namespace skin {

enum class KeyUse {
    StringName, // 0: the resource is written under the key token's text
    Number,     // 1..65535: an integer identifier
    OutOfRange, // negative or above 65535: no resource can carry it, the line is skipped
};

constexpr KeyUse UseOfResolvedKey(std::int32_t n) {
    if (n == 0)
        return KeyUse::StringName;
    if (n < 0 || n > 0xFFFF)
        return KeyUse::OutOfRange;
    return KeyUse::Number;
}

} // namespace skin
