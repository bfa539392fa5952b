// A sorted index over the children of one long directory list.
//
// The edits of an update find their place in a directory by walking its
// child list (update_ops.h). A skin of a few thousand icons puts thousands of
// names under RT_ICON, and a walk per image, per look-up and per insertion
// makes a build grow with the square of its size. The index answers the same
// questions by binary search: it holds the children in list order, and it is
// kept only while that order is strictly ascending by the directory order
// (named entries by code units, then numbers), every child is a directory and
// the list agrees with the counts. Then the first match of a walk is the only
// match, and the place a walk would stop at is the lower bound.
//
// The list stays the truth; the index is a cache of it. The edits that link
// and unlink children (InsertChild, RemoveChain) keep it in step, anything
// else that relinks a list by hand must drop it (DropChildIndex). Each use
// checks the list's length and first child and the links it hands out, and
// a failed check drops the index, so the walk answers instead.
#pragma once

#include "acWorkRes/resource_tree.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace acWorkRes {

// Lists shorter than this are walked: the index would not pay for itself.
constexpr std::size_t kChildIndexMinimum = 16;

class ChildIndex {
public:
    // The index of `directory`'s list as it stands, or nullptr when the list
    // cannot be searched by key (see above) or is shorter than the minimum.
    static std::unique_ptr<ChildIndex> Build(const TResItem& directory);

    // Whether the index still matches the list's length and first child.
    bool Describes(const TResItem& directory) const;

    std::size_t Size() const { return children_.size(); }

    // The links a walk for `key` would give: the first child directory that
    // matches (or the end link) and the link before which a new child for
    // the key belongs. std::nullopt when a link does not lead where the index
    // says it does: the list was changed behind its back.
    struct Place {
        TResLink Match;
        TResLink Insert;
    };
    std::optional<Place> Locate(TResItem& directory, const ResourceId& key) const;

    // The lowest number at or above `start` that no numbered child has.
    std::int64_t LowestFreeNumber(std::int32_t start) const;

    // `child` has just been linked into the list in front of `next` (nullptr
    // at the end). False when the list has left strict order, or the
    // position cannot be confirmed: then the index must go.
    bool Inserted(TResItem& child, const TResItem* next) noexcept;

    // `victim` is about to be unlinked from the list. False when it cannot
    // be found: then the index must go.
    bool Removed(const TResItem& victim) noexcept;

private:
    // The position of the first child that does not sort before `key`.
    std::size_t LowerBound(const ResourceId& key) const;
    std::size_t LowerBound(const TResItem& node) const;
    TResLink LinkAt(TResItem& directory, std::size_t position) const;

    std::vector<TResItem*> children_; // in list order, which is key order
    std::size_t namedCount_ = 0;      // the named children come first
};

// The index of `directory`, built now if the list allows one; nullptr when
// the list must be walked. An index that no longer describes the list goes.
ChildIndex* UsableChildIndex(TResItem& directory);

// Forgets the index of `directory`: for code that relinks its children itself.
void DropChildIndex(TResItem& directory) noexcept;

} // namespace acWorkRes
