// Size arithmetic that cannot wrap: every sum of the layout and every moved
// header field goes through these, and a result that does not fit its 32-bit
// field is refused rather than truncated.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace acWorkRes {

constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

// a + b, or std::nullopt when it does not fit 32 bits.
constexpr std::optional<std::uint32_t> CheckedAdd(std::uint32_t a, std::uint64_t b) {
    if (b > kMaxU32 - a)
        return std::nullopt;
    return static_cast<std::uint32_t>(a + b);
}

// a * b, or std::nullopt when it does not fit 32 bits.
constexpr std::optional<std::uint32_t> CheckedMul(std::uint32_t a, std::uint32_t b) {
    const std::uint64_t product = static_cast<std::uint64_t>(a) * b;
    if (product > kMaxU32)
        return std::nullopt;
    return static_cast<std::uint32_t>(product);
}

// value + delta for a signed change of a 32-bit field, or std::nullopt when the
// result leaves 0..2^32-1.
constexpr std::optional<std::uint32_t> CheckedOffset(std::uint32_t value, std::int64_t delta) {
    const std::int64_t result = static_cast<std::int64_t>(value) + delta;
    if (result < 0 || static_cast<std::uint64_t>(result) > kMaxU32)
        return std::nullopt;
    return static_cast<std::uint32_t>(result);
}

} // namespace acWorkRes
