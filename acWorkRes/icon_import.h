// The steps of the icon import (AddIconFromFile in acWorkRes.h): reading an
// .ico file and writing one back, reading, listing and removing an existing icon group, and
// handing out free RT_ICON IDs.
//
// An .ico file: ICONDIR (idReserved, idType, idCount: three u16), then idCount
// ICONDIRENTRY records of 16 bytes (bWidth, bHeight, bColorCount, bReserved,
// wPlanes u16, wBitCount u16, dwBytesInRes u32, dwImageOffset u32), then the
// images wherever the entries place them. A group directory (RT_GROUP_ICON)
// is the same 6-byte header followed by 14-byte entries: the first 12 bytes
// of each ICONDIRENTRY and the u16 RT_ICON ID of that image in place of the
// file offset.
#pragma once

#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/resource_tree.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace acWorkRes {

constexpr std::uint32_t kIconDirSize = 6;         // ICONDIR and GRPICONDIR
constexpr std::uint32_t kIconDirEntrySize = 16;   // ICONDIRENTRY
constexpr std::uint32_t kGroupIconEntrySize = 14; // GRPICONDIRENTRY
// Bytes an ICONDIRENTRY and a GRPICONDIRENTRY have in common, from their start.
constexpr std::uint32_t kIconEntrySharedSize = 12;
constexpr std::uint32_t kIconCountOffset = 4;        // idCount inside the header
constexpr std::uint32_t kIconBytesInResOffset = 8;   // dwBytesInRes inside an entry
constexpr std::uint32_t kIconImageOffsetOffset = 12; // dwImageOffset inside an ICONDIRENTRY
constexpr std::uint32_t kGroupIconIdOffset = 12;     // nID inside a GRPICONDIRENTRY
// Images of a group with no predecessor are numbered from here upward.
constexpr std::int32_t kFirstIconId = 50;
constexpr std::int32_t kLastIconId = 0xFFFF;
// An image of this size or more is refused: no icon is that large, and the
// size must stay clear of every signed 32-bit reading of it.
constexpr std::uint64_t kIconImageSizeLimit = 0x80000000;

struct IconImage {
    std::span<const std::uint8_t> Entry; // the first kIconEntrySharedSize bytes of its ICONDIRENTRY
    std::span<const std::uint8_t> Bytes; // the image itself, inside the file's buffer
};

struct IconFile {
    std::span<const std::uint8_t> Header; // the 6-byte ICONDIR, copied into the group as it is
    std::vector<IconImage> Images;        // in the file's order
};

// The parts of an .ico file held in `file`; the spans point into it.
// std::nullopt for a file that holds no usable icon: shorter than its header
// and entries, idCount 0, or an image that reaches outside the file or is
// kIconImageSizeLimit bytes or more. idReserved and idType are not looked at.
std::optional<IconFile> ParseIconFile(std::span<const std::uint8_t> file);

// The .ico file that holds `icon`, ParseIconFile's inverse: the header, one
// entry per image (its first 12 bytes as given, its size as dwBytesInRes,
// its offset), then the images back to back. Imported with AddIconFromFile,
// it gives a group with this header and these entries, and these images.
// Empty when the file would not fit 32-bit offsets, or an entry is not 12
// bytes or the header not 6.
std::vector<std::uint8_t> IconFileBytes(const IconFile& icon);

// The RT_ICON IDs a group directory lists, in its order, each once. A
// directory shorter than its idCount says is read as far as its whole
// entries go; one too short for its header lists nothing.
std::vector<std::uint16_t> GroupIconIds(std::span<const std::uint8_t> group);

// The leaf of (type, name, language) in the update's tree, or nullptr.
// An empty name matches nothing.
TResItem* FindResourceLeaf(ResourceUpdateHandle& handle, const ResourceId& type,
                           const ResourceId& name, std::uint16_t language);

// The bytes of a leaf, wherever it keeps them: inside the module (ImageData),
// in memory (DataCopy) or in its temporary file. False when they cannot be
// read (a temporary file that fails, a leaf that has lost its data).
bool ReadLeafData(const TResItem& leaf, std::vector<std::uint8_t>& data);

// True when (type, name, language) exists and its bytes were read into `data`,
// including data stored earlier in this update. False with `data` empty when
// there is no such resource or its bytes cannot be read.
bool FindResourceData(ResourceUpdateHandle& handle, const ResourceId& type, const ResourceId& name,
                      std::uint16_t language, std::vector<std::uint8_t>& data);

// FindResourceData for RT_GROUP_ICON.
bool FindIconGroup(ResourceUpdateHandle& handle, const ResourceId& name, std::uint16_t language,
                   std::vector<std::uint8_t>& data);

// Deletes the group (name, language) and each RT_ICON image of that language
// that it lists; images in other languages stay. True when there was no such
// group or everything went; false when a deletion failed or the group's bytes
// cannot be read (then nothing is deleted).
bool RemoveIconGroup(ResourceUpdateHandle& handle, const ResourceId& name, std::uint16_t language);

// The lowest ID at or above StartId that no numbered RT_ICON resource uses,
// in any language; StartId becomes that value. The caller stores an image
// under it at once, so the next call moves past it. std::nullopt when no such
// ID lies within 0..65535.
std::optional<std::uint16_t> NextFreeIconId(ResourceUpdateHandle& handle, std::int32_t& StartId);

} // namespace acWorkRes
