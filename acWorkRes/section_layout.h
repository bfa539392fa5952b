// The layout of a new resource section, computed from the tree before any
// byte is written:
//
//   0               directory area: tables and data entries, depth-first pre-order
//   DirAreaSize     name area: one length-prefixed UTF-16 string per named entry
//   ..DataStart     zero bytes up to a multiple of 4
//   DataStart       data area: each leaf's bytes at a 4-aligned offset
//   NewSize         (raw padding up to FileAlignment, in the file only)
//
// Each directory table is followed at once by the tables and data entries of
// its first child's subtree, then of its second child's, and so on.
#pragma once

#include "acWorkRes/resource_tree.h"

#include <cstdint>
#include <optional>
#include <span>

namespace acWorkRes {

// x rounded up to a multiple of m; std::nullopt for m = 0 or a result that
// does not fit 32 bits.
std::optional<std::uint32_t> RoundUp(std::uint32_t x, std::uint32_t m);

// The totals of the size pass.
struct SectionSizes {
    std::uint32_t DirAreaSize = 0;
    std::uint32_t NameAreaSize = 0;
    std::uint32_t DataAreaSize = 0;

    // RoundUp(DirAreaSize + NameAreaSize, 4).
    std::optional<std::uint32_t> DataStart() const;
    // DataStart + DataAreaSize: the used size of the section.
    std::optional<std::uint32_t> NewSize() const;
};

// Adds the sizes of the subtree at `node` to `sizes`. False when a total
// would not fit 32 bits or the subtree cannot be written: a directory whose
// counts do not match its list, whose named children do not come first, or
// with more than 65535 children; a name longer than 65535 code units; a leaf
// whose data copy is not DataSize bytes long.
bool ComputeSectionSizes(const TResItem& node, SectionSizes& sizes);

// Whether a section of these sizes can be addressed at ResourceRva: the
// areas' offsets stay below the entries' flag bit and ResourceRva + NewSize
// fits 32 bits. BuildSectionImage writes nothing when this fails.
bool SectionAddressable(std::uint32_t ResourceRva, const SectionSizes& sizes);

// Writes the section for the tree at `root` into `image`, which holds exactly
// NewSize bytes, with `sizes` from ComputeSectionSizes of that tree. Every
// byte is written, padding and gaps as zeros, whatever `image` held. Data
// entries carry image addresses: ResourceRva + offset in the section. Leaf
// data is copied from the old view (ImageData), the data copy or the leaf's
// temporary file. False when the section could not be addressed
// (ResourceRva + NewSize beyond 32 bits, areas reaching into the flag bit),
// the tree does not fill the measured areas, or a temporary file cannot be read.
class SectionOutput;

// BuildSectionImage in two parts: `head` receives the first DataStart bytes
// (the directory and name areas and the zeros after them); the data area is
// put into `data`, front to back. False as for BuildSectionImage, or when
// `data` cannot take the bytes.
bool WriteSection(std::uint32_t ResourceRva, const TResItem& root, const SectionSizes& sizes,
                  std::span<std::uint8_t> head, SectionOutput& data);

bool BuildSectionImage(std::uint32_t ResourceRva, const TResItem& root, const SectionSizes& sizes,
                       std::span<std::uint8_t> image);

} // namespace acWorkRes
