// The writing side of the updater: the file-level steps of a commit.
// EndResourceUpdate (acWorkRes.h) lays the tree out (section_layout.h), then
// resizes the module with ResizeFileRegion, patches the headers, copies the
// new section in and recomputes the checksum.
#pragma once

#include "acWorkRes/image_checksum.h"
#include "platform/platform.h"

#include <cstdint>
#include <span>

namespace acWorkRes {

// Grows (delta > 0) or shrinks (delta < 0) the file by |delta| bytes at
// `offset`: every byte from `offset` to the end moves by delta, with one
// overlapping move inside the mapping. A file shorter than `offset` has no
// tail: it is set at once to offset + delta, the bytes it gains zeros (delta 0
// extends it to `offset`). Leaves the whole file
// mapped read/write in `view`. False when the file cannot be resized or
// mapped again; a failed growth sets the file back to its old size.
bool ResizeFileRegion(platform::File& file, std::uint64_t offset, std::int64_t delta,
                      platform::Mapping& view);

// Writes the checksum of the first `fileSize` bytes of `view` into the
// optional header's CheckSum. False when the view holds no PE headers.
bool UpdateImageChecksum(std::span<std::uint8_t> view, std::uint64_t fileSize);

} // namespace acWorkRes
