#include "acWorkRes/update_ops.h"

#include "acWorkRes/child_index.h"
#include "acWorkRes/pe_headers.h"

#include <new>

namespace acWorkRes {

namespace {

thread_local TempFileFailure gTempFileFailure;

// Keeps what failed for LastTempFileFailure; the error code stays.
void NoteTempFileFailure(std::string fileName, bool creating) {
    gTempFileFailure.FileName = std::move(fileName);
    gTempFileFailure.Creating = creating;
}

// Whether `child` stands before a new directory named `name` or, when the
// name is empty, numbered `id`: names first, by code units, then numbers in
// ascending (signed) order.
bool SortsBefore(const TResItem& child, const std::u16string& name, std::int32_t id) {
    if (!name.empty())
        return child.IsNamed() && NameSortsBefore(child.Name, name);
    return child.IsNamed() || child.Id < id;
}

bool Matches(const TResItem& child, const ResourceId& key) {
    return key.IsName() ? child.Name == key.Name()
                        : (!child.IsNamed() && child.Id == std::int32_t{key.Number()});
}

} // namespace

ChildPlace LocateDirectory(TResItem& directory, const ResourceId& key) {
    // A long list in key order is searched through its index; the answer is
    // the one the walk below would give. (An empty name, which the walk lets
    // match a numbered child, is left to the walk.)
    const bool emptyName = key.IsName() && key.Name().empty();
    if (const ChildIndex* index = emptyName ? nullptr : UsableChildIndex(directory)) {
        if (const auto place = index->Locate(directory, key))
            return {place->Match, place->Insert};
        DropChildIndex(directory);
    }
    static const std::u16string noName;
    const std::u16string& name = key.IsName() ? key.Name() : noName;
    ChildPlace place;
    TResLink link = &directory.FirstChild;
    for (; *link; link = &(*link)->Next) {
        const TResItem& child = **link;
        if (!place.Insert && !SortsBefore(child, name, key.Number()))
            place.Insert = link;
        if (child.IsDirectory && Matches(child, key))
            break;
    }
    place.Match = link;
    if (!place.Insert)
        place.Insert = link;
    return place;
}

TResLink FindDirectory(TResItem& directory, const ResourceId& key) {
    return LocateDirectory(directory, key).Match;
}

ChildPlace LocateLanguage(TResItem& directory, std::uint16_t language) {
    ChildPlace place;
    TResLink link = &directory.FirstChild;
    for (; *link; link = &(*link)->Next) {
        const TResItem& child = **link;
        if (!place.Insert && child.Id >= std::int32_t{language})
            place.Insert = link;
        if (!child.IsDirectory && child.Id == std::int32_t{language})
            break;
    }
    place.Match = link;
    if (!place.Insert)
        place.Insert = link;
    return place;
}

TResLink FindLanguage(TResItem& directory, std::uint16_t language) {
    return LocateLanguage(directory, language).Match;
}

bool NameSortsBefore(const std::u16string& a, const std::u16string& b) {
    // char16_t is unsigned, so this compares code units as numbers.
    return a < b;
}

std::unique_ptr<TResItem> NewDirectory(const ResourceId& key) {
    auto directory = std::make_unique<TResItem>();
    directory->IsDirectory = true;
    if (key.IsName())
        directory->Name = key.Name();
    else
        directory->Id = key.Number();
    return directory;
}

bool HasRoomForChild(const TResItem& directory) {
    return directory.NamedCount + directory.IdCount < kMaxEntriesPerDirectory;
}

TResItem& InsertChild(TResItem& parent, TResLink at, std::unique_ptr<TResItem> child) noexcept {
    if (child->IsNamed())
        ++parent.NamedCount;
    else
        ++parent.IdCount;
    child->Next = std::move(*at);
    *at = std::move(child);
    TResItem& linked = **at;
    if (parent.Index && !parent.Index->Inserted(linked, linked.Next.get()))
        DropChildIndex(parent);
    return linked;
}

TResItem& AddDirectory(TResItem& parent, std::unique_ptr<TResItem> child) noexcept {
    TResLink at = &parent.FirstChild;
    while (*at && SortsBefore(**at, child->Name, child->Id))
        at = &(*at)->Next;
    return InsertChild(parent, at, std::move(child));
}

bool StoreLeafData(TResItem& leaf, std::uint16_t language, const std::uint8_t* data,
                   std::uint32_t size) {
    if (leaf.TempFile.IsOpen())
        return false;
    std::vector<std::uint8_t> copy;
    platform::File temp;
    if (size <= LargeDataThreshold) {
        copy.assign(data, data + size);
    } else {
        // The file goes by itself when it is closed (with the leaf, or here
        // when the write fails).
        std::string name = TempFileNameFor(leaf);
        temp = platform::CreateTempFile(name);
        if (!temp.IsOpen()) {
            NoteTempFileFailure(std::move(name), true);
            return false;
        }
        if (!temp.WriteAt(0, std::span<const std::uint8_t>(data, size))) {
            const std::uint32_t code = platform::LastError();
            temp.Close();
            platform::SetLastError(code);
            NoteTempFileFailure(std::move(name), false);
            return false;
        }
    }
    leaf.Id = language;
    leaf.ImageData = nullptr;
    leaf.DataSize = size;
    leaf.CodePage = 0;
    leaf.DataCopy = std::move(copy);
    leaf.TempFile = std::move(temp);
    return true;
}

std::unique_ptr<TResItem> NewLeaf(std::uint16_t language, const std::uint8_t* data,
                                  std::uint32_t size) {
    auto leaf = std::make_unique<TResItem>();
    if (!StoreLeafData(*leaf, language, data, size))
        return nullptr;
    return leaf;
}

TResItem* AddLanguage(TResItem& nameDirectory, std::uint16_t language, const std::uint8_t* data,
                      std::uint32_t size) {
    if (!HasRoomForChild(nameDirectory))
        return nullptr;
    auto leaf = NewLeaf(language, data, size);
    if (!leaf)
        return nullptr;
    return &InsertChild(nameDirectory, LocateLanguage(nameDirectory, language).Insert,
                        std::move(leaf));
}

void RemoveChain(std::span<const TResLink> links, std::size_t levels) noexcept {
    for (std::size_t i = 0; i < levels && i + 1 < links.size(); ++i) {
        TResItem& parent = **links[i + 1];
        if (parent.Index && !parent.Index->Removed(**links[i]))
            DropChildIndex(parent);
        std::unique_ptr<TResItem> victim = std::move(*links[i]);
        if (victim->IsNamed())
            --parent.NamedCount;
        else
            --parent.IdCount;
        *links[i] = std::move(victim->Next);
        victim.reset(); // its subtree and temporary file go with it
        if (parent.NamedCount + parent.IdCount > 0)
            return;
    }
}

namespace {

// Everything a resource identifier can be refused for: an empty name would
// count as numbered and break the named-first order; a name's length is a
// 16-bit field of the section.
bool IsUsableId(const ResourceId& id) {
    return !id.IsName() || (!id.Name().empty() && id.Name().size() <= 0xFFFF);
}

// Replaces the data of the leaf at `link` by swapping in a fresh leaf that
// takes over its place and its Reserved value. The old leaf (with its data
// copy or temporary file) goes only once the new data is stored.
bool ReplaceLeaf(TResLink link, std::uint16_t language, const std::uint8_t* data,
                 std::uint32_t size) {
    auto fresh = std::make_unique<TResItem>();
    fresh->Reserved = (*link)->Reserved;
    if (!StoreLeafData(*fresh, language, data, size))
        return false;
    std::unique_ptr<TResItem> old = std::move(*link);
    fresh->Next = std::move(old->Next);
    *link = std::move(fresh);
    return true;
}

// Where the type, name and language of one call stand in the tree.
struct ItemPlaces {
    ChildPlace Type;
    ChildPlace Name;     // walked only when the type directory exists
    ChildPlace Language; // walked only when the name directory exists
    TResItem* TypeDirectory = nullptr;
    TResItem* NameDirectory = nullptr;
};

ItemPlaces Locate(TResItem& root, const ResourceId& type, const ResourceId& name,
                  std::uint16_t language) {
    ItemPlaces places;
    places.Type = LocateDirectory(root, type);
    places.TypeDirectory = places.Type.Match->get();
    if (places.TypeDirectory) {
        places.Name = LocateDirectory(*places.TypeDirectory, name);
        places.NameDirectory = places.Name.Match->get();
    }
    if (places.NameDirectory)
        places.Language = LocateLanguage(*places.NameDirectory, language);
    return places;
}

bool Store(TResItem& root, const ItemPlaces& at, const ResourceId& type, const ResourceId& name,
           std::uint16_t language, const std::uint8_t* data, std::uint32_t size) {
    if (at.NameDirectory && *at.Language.Match)
        return ReplaceLeaf(at.Language.Match, language, data, size);

    // The new leaf, and the directories missing above it, are built off the
    // tree and linked in only once the leaf holds its data, so a failure
    // leaves the tree as it was.
    TResItem& parent =
        at.NameDirectory ? *at.NameDirectory : (at.TypeDirectory ? *at.TypeDirectory : root);
    if (!HasRoomForChild(parent)) {
        platform::SetLastError(platform::kErrorInvalidData); // a directory counts 65535 entries
        return false;
    }
    auto leaf = NewLeaf(language, data, size);
    if (!leaf)
        return false;
    if (at.NameDirectory) {
        InsertChild(*at.NameDirectory, at.Language.Insert, std::move(leaf));
        return true;
    }
    auto nameDirectory = NewDirectory(name);
    InsertChild(*nameDirectory, &nameDirectory->FirstChild, std::move(leaf));
    if (at.TypeDirectory) {
        InsertChild(*at.TypeDirectory, at.Name.Insert, std::move(nameDirectory));
        return true;
    }
    auto typeDirectory = NewDirectory(type);
    InsertChild(*typeDirectory, &typeDirectory->FirstChild, std::move(nameDirectory));
    InsertChild(root, at.Type.Insert, std::move(typeDirectory));
    return true;
}

void Delete(TResLink rootLink, const ItemPlaces& at, const ResourceId& name,
            std::uint16_t language) {
    if (at.NameDirectory && *at.Language.Match) {
        const TResLink chain[] = {at.Language.Match, at.Name.Match, at.Type.Match, rootLink};
        RemoveChain(chain, 3);
    } else if (at.NameDirectory) {
        // Language 0 stands for every language of the name.
        if (language == 0) {
            const TResLink chain[] = {at.Name.Match, at.Type.Match, rootLink};
            RemoveChain(chain, 2);
        }
    } else if (at.TypeDirectory) {
        // Name 0 with language 0 stands for the whole type.
        if (language == 0 && !name.IsName() && name.Number() == 0) {
            const TResLink chain[] = {at.Type.Match, rootLink};
            RemoveChain(chain, 1);
        }
    }
}

// The opening steps: file, mapping, headers, resource section, tree. Returns
// 0 or the error code to report.
std::uint32_t OpenUpdate(ResourceUpdateHandle& handle, const std::u16string& fileName,
                         bool DeleteExisting) {
    handle.FileHandle = OpenModuleFile(fileName, true);
    if (!handle.FileHandle.IsOpen())
        return platform::LastError();
    handle.View = platform::MapWholeFile(handle.FileHandle, true);
    if (!handle.View.IsMapped())
        return platform::LastError();
    const std::span<const std::uint8_t> image = handle.View.Bytes();
    const auto headers = ReadPe32Headers(image);
    if (!headers)
        return platform::kErrorBadExeFormat;
    handle.NtHeaders = headers->NtHeaders;
    const auto section = FindResourceSection(ByteReader(image), *headers);
    if (!section)
        return platform::kErrorFileNotFound;
    if (DeleteExisting) {
        handle.Root = std::make_unique<TResItem>();
        handle.Root->IsDirectory = true;
    } else {
        handle.Root = ParseResourceDirectory(image, section->PointerToRawData,
                                             section->VirtualAddress, section->SizeOfRawData);
        if (!handle.Root)
            return platform::kErrorFileNotFound;
    }
    return 0;
}

} // namespace

ResourceUpdateHandle* BeginResourceUpdate(const std::u16string& fileName, bool DeleteExisting) {
    std::unique_ptr<ResourceUpdateHandle> handle;
    std::uint32_t error = 0;
    try {
        handle = std::make_unique<ResourceUpdateHandle>();
        error = OpenUpdate(*handle, fileName, DeleteExisting);
        if (error == 0)
            return handle.release();
    } catch (const std::bad_alloc&) {
        error = platform::kErrorNotEnoughMemory;
    }
    // Closing what was opened may touch the error code; the caller sees the
    // code of the step that failed.
    handle.reset();
    platform::SetLastError(error);
    return nullptr;
}

const TempFileFailure& LastTempFileFailure() {
    return gTempFileFailure;
}

void ForgetTempFileFailure() noexcept {
    gTempFileFailure.FileName.clear();
    gTempFileFailure.Creating = false;
}

bool UpdateResourceItem(ResourceUpdateHandle* handle, const ResourceId& type,
                        const ResourceId& name, std::uint16_t language, const std::uint8_t* data,
                        std::uint32_t size) {
    ForgetTempFileFailure();
    if (!handle)
        return true;
    if (!IsUsableId(type) || !IsUsableId(name) || !handle->Root) {
        platform::SetLastError(platform::kErrorInvalidData);
        return false;
    }
    try {
        TResItem& root = *handle->Root;
        const ItemPlaces places = Locate(root, type, name, language);
        if (data)
            return Store(root, places, type, name, language, data, size);
        Delete(&handle->Root, places, name, language);
        return true;
    } catch (...) {
        platform::SetLastError(platform::kErrorNotEnoughMemory);
        return false;
    }
}

} // namespace acWorkRes
