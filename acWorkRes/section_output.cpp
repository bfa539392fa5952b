#include "acWorkRes/section_output.h"

#include <algorithm>
#include <cstring>

namespace acWorkRes {

namespace {

// The writer's buffer: big enough that a write costs little per byte, small
// enough to stay in the cache.
constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

} // namespace

bool SectionOutput::PutDirect(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const std::span<std::uint8_t> room = Room(bytes.size());
        if (room.empty())
            return false;
        const std::size_t n = std::min(room.size(), bytes.size());
        std::memcpy(room.data(), bytes.data(), n);
        if (!Filled(n))
            return false;
        bytes = bytes.subspan(n);
    }
    return true;
}

bool SectionOutput::Put(std::span<const std::uint8_t> bytes) {
    sum_.Add(written_, bytes);
    if (!PutDirect(bytes))
        return false;
    written_ += bytes.size();
    return true;
}

bool SectionOutput::PutZeros(std::uint64_t count) {
    // Zeros add nothing to the sum.
    while (count > 0) {
        const std::span<std::uint8_t> room = Room(count);
        if (room.empty())
            return false;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(room.size(), count));
        std::memset(room.data(), 0, n);
        if (!Filled(n))
            return false;
        count -= n;
        written_ += n;
    }
    return true;
}

bool SectionOutput::PutFileData(const platform::File& file, std::uint32_t size) {
    std::uint64_t done = 0;
    while (done < size) {
        const std::span<std::uint8_t> room = Room(size - done);
        if (room.empty())
            return false;
        const std::span<std::uint8_t> part =
            room.first(static_cast<std::size_t>(std::min<std::uint64_t>(room.size(), size - done)));
        if (!file.ReadAt(done, part))
            return false;
        sum_.Add(written_, part);
        if (!Filled(part.size()))
            return false;
        done += part.size();
        written_ += part.size();
    }
    return true;
}

std::span<std::uint8_t> MemorySectionOutput::Room(std::uint64_t wanted) {
    const std::size_t left = out_.size() - used_;
    return out_.subspan(used_, static_cast<std::size_t>(std::min<std::uint64_t>(left, wanted)));
}

bool MemorySectionOutput::Filled(std::size_t count) {
    used_ += count;
    return true;
}

FileSectionOutput::FileSectionOutput(platform::File& file, std::uint64_t offset,
                                     std::uint64_t limit)
    : file_(file), offset_(offset), left_(limit) {}

std::span<std::uint8_t> FileSectionOutput::Room(std::uint64_t wanted) {
    // Made on first use (a commit without data needs none), and no bigger
    // than the section: the usual section of a few kilobytes then costs no
    // quarter megabyte of zeros on every commit.
    if (buffer_.empty())
        buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, left_)));
    if (used_ == buffer_.size() && !Flush())
        return {};
    const std::uint64_t room = std::min<std::uint64_t>(buffer_.size() - used_, left_ - used_);
    return std::span<std::uint8_t>(buffer_).subspan(
        used_, static_cast<std::size_t>(std::min(room, wanted)));
}

bool FileSectionOutput::Filled(std::size_t count) {
    used_ += count;
    return true;
}

bool FileSectionOutput::PutDirect(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kBufferSize)
        return SectionOutput::PutDirect(bytes);
    if (!Flush() || bytes.size() > left_ || !file_.WriteAt(offset_, bytes))
        return false;
    offset_ += bytes.size();
    left_ -= bytes.size();
    return true;
}

bool FileSectionOutput::Flush() {
    if (used_ == 0)
        return true;
    if (!file_.WriteAt(offset_, std::span<const std::uint8_t>(buffer_).first(used_)))
        return false;
    offset_ += used_;
    left_ -= used_;
    used_ = 0;
    return true;
}

} // namespace acWorkRes
