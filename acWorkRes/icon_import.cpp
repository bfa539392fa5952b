#include "acWorkRes/icon_import.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/checked_math.h"
#include "acWorkRes/child_index.h"
#include "acWorkRes/update_ops.h"
#include "platform/platform.h"

#include <algorithm>
#include <limits>

namespace acWorkRes {

std::optional<IconFile> ParseIconFile(std::span<const std::uint8_t> file) {
    const ByteReader in(file);
    const auto header = in.Slice(0, kIconDirSize);
    const auto count = in.U16(kIconCountOffset);
    if (!header || !count || *count == 0)
        return std::nullopt;
    IconFile icon;
    icon.Header = *header;
    icon.Images.reserve(*count);
    for (std::uint64_t k = 0; k < *count; ++k) {
        const std::uint64_t at = kIconDirSize + k * kIconDirEntrySize;
        const auto entry = in.Slice(at, kIconEntrySharedSize);
        const auto size = in.U32(at + kIconBytesInResOffset);
        const auto offset = in.U32(at + kIconImageOffsetOffset);
        if (!entry || !size || !offset || *size >= kIconImageSizeLimit)
            return std::nullopt;
        const auto bytes = in.Slice(*offset, *size);
        if (!bytes)
            return std::nullopt;
        icon.Images.push_back({*entry, *bytes});
    }
    return icon;
}

std::vector<std::uint8_t> IconFileBytes(const IconFile& icon) {
    if (icon.Header.size() != kIconDirSize || icon.Images.size() > 0xFFFF)
        return {};
    const std::uint64_t count = icon.Images.size();
    const std::uint64_t directory = kIconDirSize + count * kIconDirEntrySize;
    std::uint64_t size = directory;
    for (const IconImage& image : icon.Images) {
        if (image.Entry.size() != kIconEntrySharedSize || image.Bytes.size() > kMaxU32 - size)
            return {};
        size += image.Bytes.size();
    }
    std::vector<std::uint8_t> file(static_cast<std::size_t>(size));
    ByteWriter out(file);
    out.PutBytes(0, icon.Header);
    out.PutU16(kIconCountOffset, static_cast<std::uint16_t>(count));
    std::uint64_t offset = directory;
    for (std::uint64_t k = 0; k < count; ++k) {
        const IconImage& image = icon.Images[static_cast<std::size_t>(k)];
        const std::uint64_t at = kIconDirSize + k * kIconDirEntrySize;
        out.PutBytes(at, image.Entry);
        out.PutU32(at + kIconBytesInResOffset, static_cast<std::uint32_t>(image.Bytes.size()));
        out.PutU32(at + kIconImageOffsetOffset, static_cast<std::uint32_t>(offset));
        out.PutBytes(offset, image.Bytes);
        offset += image.Bytes.size();
    }
    return file;
}

std::vector<std::uint16_t> GroupIconIds(std::span<const std::uint8_t> group) {
    const ByteReader in(group);
    std::vector<std::uint16_t> ids;
    const auto count = in.U16(kIconCountOffset);
    if (!count)
        return ids;
    // A directory that lists an image twice would make two new images share
    // one ID; each ID is handed on once.
    std::vector<bool> seen(std::size_t{kLastIconId} + 1);
    for (std::uint64_t k = 0; k < *count; ++k) {
        const std::uint64_t at = kIconDirSize + k * kGroupIconEntrySize;
        if (!in.Has(at, kGroupIconEntrySize))
            break;
        const std::uint16_t id = *in.U16(at + kGroupIconIdOffset);
        if (!seen[id]) {
            seen[id] = true;
            ids.push_back(id);
        }
    }
    return ids;
}

TResItem* FindResourceLeaf(ResourceUpdateHandle& handle, const ResourceId& type,
                           const ResourceId& name, std::uint16_t language) {
    // An empty name would match the numbered entries, whose Name is empty.
    if (!handle.Root || (type.IsName() && type.Name().empty()) ||
        (name.IsName() && name.Name().empty()))
        return nullptr;
    const TResLink typeLink = FindDirectory(*handle.Root, type);
    if (!*typeLink)
        return nullptr;
    const TResLink nameLink = FindDirectory(**typeLink, name);
    if (!*nameLink)
        return nullptr;
    return FindLanguage(**nameLink, language)->get();
}

bool ReadLeafData(const TResItem& leaf, std::vector<std::uint8_t>& data) {
    data.clear();
    if (leaf.ImageData) {
        data.assign(leaf.ImageData, leaf.ImageData + leaf.DataSize);
        return true;
    }
    if (leaf.DataCopy.size() == leaf.DataSize) {
        data = leaf.DataCopy;
        return true;
    }
    if (leaf.TempFile.IsOpen()) {
        data.resize(leaf.DataSize);
        if (leaf.TempFile.ReadAt(0, data))
            return true;
        data.clear();
    }
    return false;
}

bool FindResourceData(ResourceUpdateHandle& handle, const ResourceId& type, const ResourceId& name,
                      std::uint16_t language, std::vector<std::uint8_t>& data) {
    data.clear();
    try {
        const TResItem* leaf = FindResourceLeaf(handle, type, name, language);
        return leaf && ReadLeafData(*leaf, data);
    } catch (...) {
        data.clear();
        return false;
    }
}

bool FindIconGroup(ResourceUpdateHandle& handle, const ResourceId& name, std::uint16_t language,
                   std::vector<std::uint8_t>& data) {
    return FindResourceData(handle, kRtGroupIcon, name, language, data);
}

bool RemoveIconGroup(ResourceUpdateHandle& handle, const ResourceId& name, std::uint16_t language) {
    std::vector<std::uint8_t> group;
    if (!FindIconGroup(handle, name, language, group))
        return FindResourceLeaf(handle, kRtGroupIcon, name, language) == nullptr;
    if (!UpdateResourceItem(&handle, kRtGroupIcon, name, language, nullptr, 0))
        return false;
    bool result = true;
    for (const std::uint16_t id : GroupIconIds(group)) {
        // Only an image that exists in this language is deleted: a deletion in
        // language 0 that finds no leaf would take every language of the name.
        if (FindResourceLeaf(handle, kRtIcon, id, language) &&
            !UpdateResourceItem(&handle, kRtIcon, id, language, nullptr, 0))
            result = false;
    }
    return result;
}

std::optional<std::uint16_t> NextFreeIconId(ResourceUpdateHandle& handle, std::int32_t& StartId) {
    TResItem* type = handle.Root ? FindDirectory(*handle.Root, kRtIcon)->get() : nullptr;
    if (const ChildIndex* index = type ? UsableChildIndex(*type) : nullptr) {
        // A long list in strict order: the free ID is found by binary search.
        StartId = static_cast<std::int32_t>(std::min<std::int64_t>(
            index->LowestFreeNumber(StartId), std::numeric_limits<std::int32_t>::max()));
    } else if (type) {
        // Numbered entries stand in ascending order, so one pass finds the
        // lowest free ID. A module read from a file may break that order; its
        // IDs are then sorted first.
        std::int32_t candidate = StartId;
        std::int32_t previous = std::numeric_limits<std::int32_t>::min();
        bool ascending = true;
        for (const TResItem* child = type->FirstChild.get(); child; child = child->Next.get()) {
            if (!child->IsDirectory || child->IsNamed())
                continue;
            ascending = ascending && child->Id >= previous;
            previous = child->Id;
            if (child->Id == candidate)
                ++candidate;
        }
        if (!ascending) {
            std::vector<std::int32_t> ids;
            for (const TResItem* child = type->FirstChild.get(); child; child = child->Next.get())
                if (child->IsDirectory && !child->IsNamed())
                    ids.push_back(child->Id);
            std::sort(ids.begin(), ids.end());
            candidate = StartId;
            for (const std::int32_t id : ids)
                if (id == candidate)
                    ++candidate;
        }
        StartId = candidate;
    }
    if (StartId < 0 || StartId > kLastIconId)
        return std::nullopt;
    return static_cast<std::uint16_t>(StartId);
}

namespace {

// Whether `needed` IDs can still be handed out from StartId. By the time the
// import asks NextFreeIconId, every old ID is in use again, so the IDs taken
// then are those of the tree now together with the old ones.
bool HasFreeIconIds(ResourceUpdateHandle& handle, std::span<const std::uint16_t> oldIds,
                    std::int32_t StartId, std::size_t needed) {
    if (needed == 0)
        return true;
    if (StartId < 0 || StartId > kLastIconId)
        return false;
    // Each image in the tree and each old ID takes at most one ID of the
    // range: when the range is that much larger, there is no need to count.
    TResItem* type = FindDirectory(*handle.Root, kRtIcon)->get();
    std::uint64_t images = 0;
    if (const ChildIndex* index = type ? UsableChildIndex(*type) : nullptr) {
        images = index->Size();
    } else if (type) {
        for (const TResItem* child = type->FirstChild.get(); child; child = child->Next.get())
            ++images;
    }
    if (std::uint64_t{kLastIconId} + 1 - StartId >= needed + oldIds.size() + images)
        return true;
    std::vector<bool> taken(std::size_t{kLastIconId} + 1);
    for (const std::uint16_t id : oldIds)
        taken[id] = true;
    if (type) {
        for (const TResItem* child = type->FirstChild.get(); child; child = child->Next.get())
            if (child->IsDirectory && !child->IsNamed() && child->Id >= 0 &&
                child->Id <= kLastIconId)
                taken[static_cast<std::size_t>(child->Id)] = true;
    }
    const auto free = std::count(taken.begin() + StartId, taken.end(), false);
    return static_cast<std::size_t>(free) >= needed;
}

// The thread's error code after a failed step, or `fallback` when the step
// set none (UpdateResourceItem sets no code of its own for lack of memory).
std::uint32_t FailureCode(std::uint32_t fallback) {
    const std::uint32_t code = platform::LastError();
    return code != 0 ? code : fallback;
}

std::uint32_t ImportIcon(ResourceUpdateHandle& handle, const ResourceId& name,
                         std::uint16_t language, std::span<const std::uint8_t> file) {
    if (name.IsName() && name.Name().empty())
        return platform::kErrorInvalidData;
    // Everything is checked before the tree changes.
    const std::optional<IconFile> icon = ParseIconFile(file);
    if (!icon)
        return platform::kErrorInvalidData;

    // The replaced group's images hand their IDs on in order; further images
    // take the lowest free IDs from the smallest of them.
    std::vector<std::uint16_t> oldIds;
    std::vector<std::uint8_t> oldGroup;
    platform::SetLastError(0);
    if (FindIconGroup(handle, name, language, oldGroup))
        oldIds = GroupIconIds(oldGroup);
    else if (FindResourceLeaf(handle, kRtGroupIcon, name, language))
        return FailureCode(platform::kErrorHandleEof); // a group whose bytes are lost
    std::int32_t StartId =
        oldIds.empty() ? kFirstIconId : *std::min_element(oldIds.begin(), oldIds.end());
    const std::size_t count = icon->Images.size();
    const std::size_t needed = count > oldIds.size() ? count - oldIds.size() : 0;
    if (!HasFreeIconIds(handle, oldIds, StartId, needed))
        return kErrorNoFreeIconId;

    RemoveIconGroup(handle, name, language);

    std::vector<std::uint8_t> group(kIconDirSize + count * kGroupIconEntrySize);
    ByteWriter out(group);
    out.PutBytes(0, icon->Header);
    for (std::size_t k = 0; k < count; ++k) {
        const IconImage& image = icon->Images[k];
        std::optional<std::uint16_t> id;
        if (k < oldIds.size())
            id = oldIds[k];
        else
            id = NextFreeIconId(handle, StartId);
        if (!id)
            return kErrorNoFreeIconId; // not reached: the range was checked above
        const std::uint64_t at = kIconDirSize + std::uint64_t{k} * kGroupIconEntrySize;
        out.PutBytes(at, image.Entry);
        out.PutU16(at + kGroupIconIdOffset, *id);
        // The images stored so far stay when one fails; no group names them.
        platform::SetLastError(0);
        if (!UpdateResourceItem(&handle, kRtIcon, *id, language, image.Bytes.data(),
                                static_cast<std::uint32_t>(image.Bytes.size())))
            return FailureCode(platform::kErrorNotEnoughMemory);
    }
    platform::SetLastError(0);
    if (!UpdateResourceItem(&handle, kRtGroupIcon, name, language, group.data(),
                            static_cast<std::uint32_t>(group.size())))
        return FailureCode(platform::kErrorNotEnoughMemory);
    return 0;
}

} // namespace

std::uint32_t AddIconFromFile(ResourceUpdateHandle* handle, const ResourceId& name,
                              std::uint16_t language, const std::u16string& fileName) {
    if (!handle || !handle->Root)
        return 0;
    if (name.IsName() && name.Name().empty())
        return platform::kErrorInvalidData;
    // A file that cannot be opened or read in full changes nothing and gives 0.
    platform::FileBytes file;
    if (!platform::ReadWholeFile(fileName, platform::OpenMode::ReadShareReadWrite, file))
        return 0;
    return AddIconFromImage(handle, name, language, file.Bytes());
}

std::uint32_t AddIconFromImage(ResourceUpdateHandle* handle, const ResourceId& name,
                               std::uint16_t language, std::span<const std::uint8_t> file) {
    ForgetTempFileFailure();
    if (!handle || !handle->Root)
        return 0;
    try {
        return ImportIcon(*handle, name, language, file);
    } catch (...) {
        return platform::kErrorNotEnoughMemory;
    }
}

} // namespace acWorkRes
