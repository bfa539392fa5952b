// The edits of an open update, one step each: look-ups that return links,
// insertions at the sorted place, leaf data, removal of a node with the
// ancestors it leaves empty. UpdateResourceItem (acWorkRes.h) is built from
// these; the icon import reads an existing group through the look-ups.
//
// Order kept in every directory: the named children first, ordered by the
// UTF-16 code units of their names (case-sensitive, "LOGO" < "ZZ" < "logo",
// the order of the PE format and of the loader's binary search), then the
// numbered children by ascending Id; the leaves of a name directory by
// ascending language. Nodes read from a file keep the file's order; an
// insertion stops at the first child that does not sort before the new one,
// so a sorted list stays sorted.
#pragma once

#include "acWorkRes/resource_tree.h"

#include <cstdint>
#include <memory>
#include <span>

namespace acWorkRes {

// The link to the first child directory of `directory` that matches `key`
// (a number: no Name and that Id; a name: that Name, code unit for code
// unit), or the link at the end of the list. Leaves are passed over.
TResLink FindDirectory(TResItem& directory, const ResourceId& key);

// The link to the first leaf whose Id is `language`, or the end link.
// Directories are passed over; there is no fallback to another language.
TResLink FindLanguage(TResItem& directory, std::uint16_t language);

// Whether named entries `a` and `b` stand in this order.
bool NameSortsBefore(const std::u16string& a, const std::u16string& b);

// A new, unlinked, empty directory identified by `key`.
std::unique_ptr<TResItem> NewDirectory(const ResourceId& key);

// Whether `directory` can take one more child: a directory table counts its
// entries in 16 bits.
bool HasRoomForChild(const TResItem& directory);

// Links the prepared directory `child` into `parent` at its sorted place and
// counts it. Cannot fail; the caller has checked HasRoomForChild.
TResItem& AddDirectory(TResItem& parent, std::unique_ptr<TResItem> child) noexcept;

// Gives `leaf` the data: a copy in DataCopy up to LargeDataThreshold bytes,
// a temporary file (TempFileNameFor(leaf)) held open in TempFile beyond. The
// new data is put in place before the old is given up, so on failure (false,
// or std::bad_alloc) the leaf is as it was. A leaf that already owns a
// temporary file is refused: its new file would take the same name; callers
// swap in a fresh leaf instead.
bool StoreLeafData(TResItem& leaf, std::uint16_t language, const std::uint8_t* data,
                   std::uint32_t size);

// Inserts a new leaf for `language` holding the data into `nameDirectory`
// before the first child whose Id is not smaller. nullptr (nothing changed)
// when the data cannot be stored or the directory is full.
TResItem* AddLanguage(TResItem& nameDirectory, std::uint16_t language, const std::uint8_t* data,
                      std::uint32_t size);

// Removes the node at links[0]. links[i + 1] is the link to the parent of the
// node at links[i]; links[levels] is the update's Root. Each parent left
// without children goes as well, up to `levels` nodes; the root never goes.
void RemoveChain(std::span<const TResLink> links, std::size_t levels) noexcept;

} // namespace acWorkRes
