// Where the data area of a new resource section goes as the layout walk
// produces it, front to back: into memory (a view of the module, or any
// buffer), or into the module file through ordinary writes. Either way the
// checksum sum of every byte put is gathered on the way, offsets counted
// from the start of the output.
#pragma once

#include "acWorkRes/image_checksum.h"
#include "platform/platform.h"

#include <cstdint>
#include <span>
#include <vector>

namespace acWorkRes {

class SectionOutput {
public:
    virtual ~SectionOutput() = default;

    // Each appends at the current end; false when the bytes cannot be put
    // (no room left, a failed read or write).
    bool Put(std::span<const std::uint8_t> bytes);
    bool PutZeros(std::uint64_t count);
    // The first `size` bytes of an open temporary file.
    bool PutFileData(const platform::File& file, std::uint32_t size);
    // Everything put has reached its destination.
    virtual bool Finish() = 0;

    std::uint64_t Written() const { return written_; }
    const ChecksumSum& Sum() const { return sum_; }

protected:
    // Room for up to `wanted` bytes at the current end (at least one byte,
    // unless the destination is full: then empty).
    virtual std::span<std::uint8_t> Room(std::uint64_t wanted) = 0;
    // The first `count` bytes of the last Room were filled.
    virtual bool Filled(std::size_t count) = 0;
    // Bytes put straight from where they are, bypassing Room; by default copied.
    virtual bool PutDirect(std::span<const std::uint8_t> bytes);

    std::uint64_t written_ = 0;
    ChecksumSum sum_;
};

// Into a buffer of fixed size.
class MemorySectionOutput final : public SectionOutput {
public:
    explicit MemorySectionOutput(std::span<std::uint8_t> out) : out_(out) {}
    bool Finish() override { return true; }

private:
    std::span<std::uint8_t> Room(std::uint64_t wanted) override;
    bool Filled(std::size_t count) override;

    std::span<std::uint8_t> out_;
    std::size_t used_ = 0;
};

// Into `file` from `offset`, at most `limit` bytes, through a buffer of its
// own; large pieces are written as they stand.
class FileSectionOutput final : public SectionOutput {
public:
    FileSectionOutput(platform::File& file, std::uint64_t offset, std::uint64_t limit);
    bool Finish() override { return Flush(); }

private:
    std::span<std::uint8_t> Room(std::uint64_t wanted) override;
    bool Filled(std::size_t count) override;
    bool PutDirect(std::span<const std::uint8_t> bytes) override;
    bool Flush();

    platform::File& file_;
    std::uint64_t offset_; // file offset of buffer_'s first byte
    std::uint64_t left_;   // bytes the output may still take beyond the buffer
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
};

} // namespace acWorkRes
