// The one way file bytes are read and written: little-endian fields at byte
// offsets, every access checked against the end of the bytes. A failed read
// gives std::nullopt, a failed write false; nothing is ever touched outside
// the span. Used by the updater for module images and by the skin compiler
// for icon and script files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace acWorkRes {

// True when `length` bytes starting at `offset` lie inside `size` bytes.
// Written in the subtraction form so that no sum can wrap.
constexpr bool RangeInside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return RangeInside(offset, length, bytes_.size());
    }

    std::optional<std::uint8_t> U8(std::uint64_t offset) const {
        if (!Has(offset, 1))
            return std::nullopt;
        return bytes_[static_cast<std::size_t>(offset)];
    }
    std::optional<std::uint16_t> U16(std::uint64_t offset) const {
        if (!Has(offset, 2))
            return std::nullopt;
        const std::uint8_t* p = bytes_.data() + offset;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::optional<std::uint32_t> U32(std::uint64_t offset) const {
        if (!Has(offset, 4))
            return std::nullopt;
        const std::uint8_t* p = bytes_.data() + offset;
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    // The `length` bytes at `offset`, or std::nullopt when they reach past the end.
    std::optional<std::span<const std::uint8_t>> Slice(std::uint64_t offset,
                                                       std::uint64_t length) const {
        if (!Has(offset, length))
            return std::nullopt;
        return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Writes little-endian fields into a span (a mapped file or a buffer), and
// reads them back through the same checks.
class ByteWriter {
public:
    ByteWriter() = default;
    explicit ByteWriter(std::span<std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    std::span<std::uint8_t> Bytes() const { return bytes_; }
    ByteReader Reader() const { return ByteReader(bytes_); }
    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return RangeInside(offset, length, bytes_.size());
    }

    std::optional<std::uint16_t> U16(std::uint64_t offset) const { return Reader().U16(offset); }
    std::optional<std::uint32_t> U32(std::uint64_t offset) const { return Reader().U32(offset); }

    bool PutU16(std::uint64_t offset, std::uint16_t value) {
        if (!Has(offset, 2))
            return false;
        std::uint8_t* p = bytes_.data() + offset;
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
        return true;
    }
    bool PutU32(std::uint64_t offset, std::uint32_t value) {
        if (!Has(offset, 4))
            return false;
        std::uint8_t* p = bytes_.data() + offset;
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
        p[2] = static_cast<std::uint8_t>(value >> 16);
        p[3] = static_cast<std::uint8_t>(value >> 24);
        return true;
    }
    bool PutBytes(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
        if (!Has(offset, bytes.size()))
            return false;
        if (!bytes.empty())
            std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
        return true;
    }
    bool Fill(std::uint64_t offset, std::uint64_t length, std::uint8_t value) {
        if (!Has(offset, length))
            return false;
        if (length != 0)
            std::memset(bytes_.data() + offset, value, static_cast<std::size_t>(length));
        return true;
    }

private:
    std::span<std::uint8_t> bytes_;
};

} // namespace acWorkRes
