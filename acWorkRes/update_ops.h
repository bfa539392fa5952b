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

// Where a key stands in a directory, found in one walk: `Match` is the link
// to the first child that matches it, or the end link; `Insert`, meaningful
// when nothing matched, is the link before which a new child for the key
// belongs (the first child that does not sort before it).
struct ChildPlace {
    TResLink Match = nullptr;
    TResLink Insert = nullptr;
};

// Child directories only (leaves are passed over) that match `key`: a number
// matches a child without Name with that Id; a name matches that Name, code
// unit for code unit.
ChildPlace LocateDirectory(TResItem& directory, const ResourceId& key);
TResLink FindDirectory(TResItem& directory, const ResourceId& key);

// Leaves only (directories are passed over) whose Id is `language`; there is
// no fallback to another language. A new leaf goes before the first child
// whose Id is not smaller.
ChildPlace LocateLanguage(TResItem& directory, std::uint16_t language);
TResLink FindLanguage(TResItem& directory, std::uint16_t language);

// Whether named entries `a` and `b` stand in this order.
bool NameSortsBefore(const std::u16string& a, const std::u16string& b);

// A new, unlinked, empty directory identified by `key`.
std::unique_ptr<TResItem> NewDirectory(const ResourceId& key);

// Whether `directory` can take one more child: a directory table counts its
// entries in 16 bits.
bool HasRoomForChild(const TResItem& directory);

// Links `child` in front of the node at `at` (a link of `parent`'s list) and
// counts it. The caller has chosen `at` by the order above and checked
// HasRoomForChild.
TResItem& InsertChild(TResItem& parent, TResLink at, std::unique_ptr<TResItem> child) noexcept;

// Links the prepared directory `child` into `parent` at its sorted place.
TResItem& AddDirectory(TResItem& parent, std::unique_ptr<TResItem> child) noexcept;

// Gives `leaf` the data: a copy in DataCopy up to LargeDataThreshold bytes,
// a temporary file (TempFileNameFor(leaf)) held open in TempFile beyond. The
// new data is put in place before the old is given up, so on failure (false,
// or std::bad_alloc) the leaf is as it was. A leaf that already owns a
// temporary file is refused: its new file would take the same name; callers
// swap in a fresh leaf instead. A temporary file that cannot be created or
// written is noted for LastTempFileFailure.
bool StoreLeafData(TResItem& leaf, std::uint16_t language, const std::uint8_t* data,
                   std::uint32_t size);

// Clears what LastTempFileFailure (acWorkRes.h) reports; the calls that can
// set it begin with this.
void ForgetTempFileFailure() noexcept;

// A new, unlinked leaf for `language` holding the data; nullptr when the data
// cannot be stored.
std::unique_ptr<TResItem> NewLeaf(std::uint16_t language, const std::uint8_t* data,
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
