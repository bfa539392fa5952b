#include "acWorkRes/child_index.h"

#include <algorithm>

namespace acWorkRes {

void ChildIndexDeleter::operator()(ChildIndex* index) const noexcept {
    delete index;
}

namespace {

// The directory order of update_ops.h: named entries first, by code units,
// then numbered ones by their (signed) Id.
bool Less(const TResItem& a, const TResItem& b) {
    if (a.IsNamed() != b.IsNamed())
        return a.IsNamed();
    return a.IsNamed() ? a.Name < b.Name : a.Id < b.Id;
}

bool LessThanKey(const TResItem& child, const ResourceId& key) {
    if (key.IsName())
        return child.IsNamed() && child.Name < key.Name();
    return child.IsNamed() || child.Id < std::int32_t{key.Number()};
}

bool MatchesKey(const TResItem& child, const ResourceId& key) {
    return key.IsName() ? child.Name == key.Name()
                        : (!child.IsNamed() && child.Id == std::int32_t{key.Number()});
}

} // namespace

std::unique_ptr<ChildIndex> ChildIndex::Build(const TResItem& directory) {
    const std::uint64_t count = std::uint64_t{directory.NamedCount} + directory.IdCount;
    if (!directory.IsDirectory || count < kChildIndexMinimum)
        return nullptr;
    auto index = std::make_unique<ChildIndex>();
    index->children_.reserve(static_cast<std::size_t>(count));
    const TResItem* previous = nullptr;
    for (TResItem* child = directory.FirstChild.get(); child; child = child->Next.get()) {
        if (!child->IsDirectory || (previous && !Less(*previous, *child)) ||
            index->children_.size() == count)
            return nullptr;
        if (child->IsNamed())
            ++index->namedCount_;
        index->children_.push_back(child);
        previous = child;
    }
    if (index->children_.size() != count || index->namedCount_ != directory.NamedCount)
        return nullptr;
    return index;
}

bool ChildIndex::Describes(const TResItem& directory) const {
    return children_.size() == std::uint64_t{directory.NamedCount} + directory.IdCount &&
           !children_.empty() && directory.FirstChild.get() == children_.front();
}

std::size_t ChildIndex::LowerBound(const ResourceId& key) const {
    const auto at = std::partition_point(children_.begin(), children_.end(),
                                         [&](const TResItem* c) { return LessThanKey(*c, key); });
    return static_cast<std::size_t>(at - children_.begin());
}

std::size_t ChildIndex::LowerBound(const TResItem& node) const {
    const auto at = std::partition_point(children_.begin(), children_.end(),
                                         [&](const TResItem* c) { return Less(*c, node); });
    return static_cast<std::size_t>(at - children_.begin());
}

TResLink ChildIndex::LinkAt(TResItem& directory, std::size_t position) const {
    return position == 0 ? &directory.FirstChild : &children_[position - 1]->Next;
}

std::optional<ChildIndex::Place> ChildIndex::Locate(TResItem& directory,
                                                    const ResourceId& key) const {
    const std::size_t at = LowerBound(key);
    const TResLink link = LinkAt(directory, at);
    const TResItem* expected = at < children_.size() ? children_[at] : nullptr;
    if (link->get() != expected)
        return std::nullopt;
    if (expected && MatchesKey(*expected, key))
        return Place{link, link};
    const TResLink end = LinkAt(directory, children_.size());
    if (end->get() != nullptr)
        return std::nullopt;
    return Place{end, link};
}

std::int64_t ChildIndex::LowestFreeNumber(std::int32_t start) const {
    const auto numbered = children_.begin() + static_cast<std::ptrdiff_t>(namedCount_);
    const auto first = std::partition_point(numbered, children_.end(),
                                            [&](const TResItem* c) { return c->Id < start; });
    if (first == children_.end() || (*first)->Id != start)
        return start;
    // The numbered Ids rise strictly, so Id - position never falls: the run of
    // taken numbers from `start` is the stretch where it stays as at `first`.
    const auto run = static_cast<std::size_t>(first - children_.begin());
    std::size_t low = run + 1;
    std::size_t high = children_.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (std::int64_t{children_[middle]->Id} - start == static_cast<std::int64_t>(middle - run))
            low = middle + 1;
        else
            high = middle;
    }
    return std::int64_t{start} + static_cast<std::int64_t>(low - run);
}

bool ChildIndex::Inserted(TResItem& child, const TResItem* next) noexcept {
    if (!child.IsDirectory)
        return false;
    const std::size_t at = next ? LowerBound(*next) : children_.size();
    if (next && (at == children_.size() || children_[at] != next))
        return false;
    // Strictly between its neighbours, or the list would leave key order.
    if ((at > 0 && !Less(*children_[at - 1], child)) || (next && !Less(child, *next)))
        return false;
    try {
        children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(at), &child);
    } catch (...) {
        return false;
    }
    if (child.IsNamed())
        ++namedCount_;
    return true;
}

bool ChildIndex::Removed(const TResItem& victim) noexcept {
    const std::size_t at = LowerBound(victim);
    if (at == children_.size() || children_[at] != &victim)
        return false;
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(at));
    if (victim.IsNamed())
        --namedCount_;
    return true;
}

ChildIndex* UsableChildIndex(TResItem& directory) {
    if (directory.Index && !directory.Index->Describes(directory))
        directory.Index.reset();
    if (!directory.Index) {
        if (std::uint64_t{directory.NamedCount} + directory.IdCount < kChildIndexMinimum)
            return nullptr;
        directory.Index.reset(ChildIndex::Build(directory).release());
    }
    return directory.Index.get();
}

void DropChildIndex(TResItem& directory) noexcept {
    directory.Index.reset();
}

} // namespace acWorkRes
