// The in-memory resource tree of an open update and the reading side of the
// updater: the update record, the tree nodes, the directory parser, the names
// of the nodes' temporary files and the disposal of a tree.
#pragma once

#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/byte_reader.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace acWorkRes {

// Sizes of the records of a resource section.
constexpr std::uint32_t kResourceDirectorySize = 16;     // IMAGE_RESOURCE_DIRECTORY
constexpr std::uint32_t kResourceDirectoryEntrySize = 8; // IMAGE_RESOURCE_DIRECTORY_ENTRY
constexpr std::uint32_t kResourceDataEntrySize = 16;     // IMAGE_RESOURCE_DATA_ENTRY
constexpr std::uint32_t kResourceHighBit = 0x80000000;   // "named" / "directory" flag
// Data up to this size is copied into memory; larger data waits in a temporary file.
constexpr std::uint32_t LargeDataThreshold = 32768;
// A directory table counts its entries in 16 bits.
constexpr std::uint32_t kMaxEntriesPerDirectory = 0xFFFF;
// Nesting the parser accepts. The loader walks three levels; a file that goes
// anywhere near this deep is a loop or a crafted file, and the cap keeps every
// recursive walk of the tree shallow.
constexpr unsigned kMaxDirectoryDepth = 32;

// A sorted index over a long child list, and its disposal (child_index.h).
class ChildIndex;
struct ChildIndexDeleter {
    void operator()(ChildIndex* index) const noexcept;
};

// One node of the tree: a directory or a data leaf. A directory owns its
// children (FirstChild, then each child's Next); a leaf owns its data copy and
// its temporary file, which is deleted when the node goes.
struct TResItem {
    TResItem() = default;
    ~TResItem();
    TResItem(const TResItem&) = delete;
    TResItem& operator=(const TResItem&) = delete;

    std::int32_t Id = 0; // type, name or language number; 0 for a named entry and the root
    std::u16string Name; // non-empty exactly for a named entry
    std::unique_ptr<TResItem> FirstChild;
    std::unique_ptr<TResItem> Next;
    std::vector<std::uint8_t> DataCopy; // leaf data given to an update, up to LargeDataThreshold
    bool IsDirectory = false;

    // Directory part, copied from IMAGE_RESOURCE_DIRECTORY (0 in created directories).
    std::uint32_t Characteristics = 0;
    std::uint32_t TimeDateStamp = 0;
    std::uint16_t MajorVersion = 0;
    std::uint16_t MinorVersion = 0;
    std::uint32_t NamedCount = 0; // children with a Name; they come first in the list
    std::uint32_t IdCount = 0;    // children with a number; they follow the named ones

    // Leaf part. The data lies in at most one place, looked at in this order:
    // ImageData (bytes inside the mapped module), DataCopy, TempFile (from its start).
    const std::uint8_t* ImageData = nullptr;
    std::uint32_t DataSize = 0;
    platform::File TempFile;
    std::uint32_t CodePage = 0;
    std::uint32_t Reserved = 0;

    // Directory part: a cache of the list for look-ups in long lists, kept by
    // the edits that link and unlink children (child_index.h).
    std::unique_ptr<ChildIndex, ChildIndexDeleter> Index;

    bool IsNamed() const { return !Name.empty(); }
};

// The address of the pointer that holds a child: a parent's FirstChild, a
// sibling's Next or the update's Root. A link to an empty pointer is the end
// of a list. Look-ups return links so that one result serves to read a node,
// to insert before it and to unlink it.
using TResLink = std::unique_ptr<TResItem>*;

// One open update of a module file. The members go in reverse order: the tree
// first (its temporary files with it), then the view, then the file.
struct ResourceUpdateHandle {
    platform::File FileHandle;   // opened for reading and writing, shared with nobody
    platform::Mapping View;      // read/write mapping of the whole file
    std::uint32_t NtHeaders = 0; // offset of the PE signature inside View
    std::unique_ptr<TResItem> Root;
};

// Opens a module (write: exclusive read/write) or an input file (shared read).
platform::File OpenModuleFile(const std::u16string& fileName, bool write);

// Reads the resource directory of the section whose raw data starts at
// `sectionOffset` in `image` and which the image places at `sectionAddress`.
// Every offset, count, name and data range is checked against the section's
// raw data inside the file (`sectionRawSize` bytes, cut at the end of the
// file); a directory must list its named entries first, and a named entry
// must have a name. nullptr when any of this fails, for a loop or nesting
// deeper than kMaxDirectoryDepth, and for leaves whose data together exceed
// the section (entries sharing data) (std::bad_alloc when memory runs out).
// Leaves point at their data inside `image` (ImageData); nothing is copied.
std::unique_ptr<TResItem> ParseResourceDirectory(std::span<const std::uint8_t> image,
                                                 std::uint32_t sectionOffset,
                                                 std::uint32_t sectionAddress,
                                                 std::uint32_t sectionRawSize);

// The IMAGE_RESOURCE_DIR_STRING_U at `offset` of the section: exactly its
// code units, no terminator, no case change. std::nullopt outside the section.
std::optional<std::u16string> ReadResourceName(const ByteReader& section, std::uint32_t offset);

// The temporary file that belongs to `node`: the temporary folder, a
// separator, "$kiv$res$", the process id in 8 lower-case hex digits, "$", the
// node's address in lower-case hex without leading zeros, "$". Formed anew each
// time, so a node keeps one name for as long as it lives.
std::string TempFileNameFor(const TResItem& node);

// Disposes of the list at `link` with every subtree; children go before their
// parents, siblings in list order, each leaf's temporary file is closed and
// deleted. Leaves the link empty.
void FreeResourceTree(std::unique_ptr<TResItem>& link) noexcept;

} // namespace acWorkRes
