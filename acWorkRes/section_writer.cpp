#include "acWorkRes/section_writer.h"

#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/checked_math.h"
#include "acWorkRes/image_checksum.h"
#include "acWorkRes/pe_headers.h"
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/section_layout.h"
#include "acWorkRes/section_output.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace acWorkRes {

bool ResizeFileRegion(platform::File& file, std::uint64_t offset, std::int64_t delta,
                      platform::Mapping& view) {
    std::uint64_t size = 0;
    if (!file.GetSize(size))
        return false;
    const auto remap = [&] {
        view = platform::MapWholeFile(file, true);
        return view.IsMapped();
    };
    if (size < offset) {
        // Nothing lies behind `offset` to be moved, so the file goes straight
        // to its final size: the bytes it gains are zeros either way, and a
        // damaged header that puts `offset` gigabytes past the end never has
        // the file grow that far first.
        const std::uint64_t shrink = delta < 0 ? 0 - static_cast<std::uint64_t>(delta) : 0;
        if (shrink > offset)
            return false;
        const std::uint64_t target =
            delta < 0 ? offset - shrink : offset + static_cast<std::uint64_t>(delta);
        view.Unmap();
        if (target > size)
            return file.GrowReserving(target) && remap();
        return file.SetSize(target) && remap();
    }
    const std::uint64_t tail = size - offset;
    if (delta > 0) {
        const auto growth = static_cast<std::uint64_t>(delta);
        view.Unmap();
        // The disk space comes first: a full disk then fails the commit here,
        // with nothing moved, instead of a write into the view later.
        if (!file.GrowReserving(size + growth))
            return false;
        if (!remap()) {
            file.SetSize(size); // nothing has moved yet: give the bytes back
            return false;
        }
        std::memmove(view.Data() + offset + growth, view.Data() + offset, tail);
    } else if (delta < 0) {
        const std::uint64_t shrink = 0 - static_cast<std::uint64_t>(delta);
        if (shrink > offset)
            return false;
        std::memmove(view.Data() + offset - shrink, view.Data() + offset, tail);
        view.Unmap();
        if (!file.SetSize(size - shrink) || !remap())
            return false;
    }
    return true;
}

bool UpdateImageChecksum(std::span<std::uint8_t> view, std::uint64_t fileSize) {
    const auto nt = FindPeHeaders(view);
    if (!nt)
        return false;
    ByteWriter out(view);
    const std::uint64_t field = std::uint64_t{*nt} + kOptionalHeaderOffset + kCheckSumField;
    if (!out.PutU32(field, 0))
        return false;
    const std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, view.size()));
    return out.PutU32(field, ImageChecksum(view.first(length)));
}

namespace {

// The largest FileAlignment the PE format allows.
constexpr std::uint32_t kMaxFileAlignment = 0x10000;

// One 32-bit header field and its value after the commit.
struct HeaderPatch {
    std::uint64_t Offset;
    std::uint32_t Value;
};

// Everything a commit changes outside the section itself, worked out from
// the old headers before the file is touched.
struct CommitPlan {
    std::uint32_t NewSize = 0;
    std::uint32_t NewRawSize = 0;
    std::uint32_t SectionOffset = 0; // PointerToRawData, which stays
    std::uint64_t SectionEnd = 0;    // old end of the section's raw data
    std::uint64_t FileSize = 0;      // before the commit
    std::int64_t RawDelta = 0;
    std::int64_t VirtualDelta = 0;
    std::uint32_t ResourceRva = 0;
    std::vector<HeaderPatch> Patches;

    // File offsets at or past the old end of the section point into the
    // tail, which moves by RawDelta. Zero means "no such data" and stays.
    bool MovesWithTail(std::uint32_t pointer) const {
        return pointer != 0 && pointer >= SectionEnd;
    }
};

class Planner {
public:
    Planner(const ByteReader& image, const PeHeaders& headers, const SectionInfo& section,
            std::uint32_t newSize)
        : image_(image), headers_(headers), section_(section) {
        plan_.NewSize = newSize;
        plan_.SectionOffset = section.PointerToRawData;
        plan_.SectionEnd = std::uint64_t{section.PointerToRawData} + section.SizeOfRawData;
        plan_.FileSize = image.Size();
    }

    std::optional<CommitPlan> Make() {
        const auto fileAlignment = Field(headers_.OptionalField(kFileAlignmentField));
        const auto sectionAlignment = Field(headers_.OptionalField(kSectionAlignmentField));
        const auto resourceRva = Field(headers_.DataDirectory(kResourceDirectoryIndex));
        const auto oldTableSize = Field(headers_.DataDirectory(kResourceDirectoryIndex) + 4);
        if (!fileAlignment || !sectionAlignment || !resourceRva || !oldTableSize)
            return std::nullopt;
        // The section's raw size is padded to FileAlignment with zeros. The
        // format allows at most 64 KiB; a larger unit, up to 4 GiB, would
        // have the commit write gigabytes of padding.
        if (*fileAlignment > kMaxFileAlignment)
            return std::nullopt;
        plan_.ResourceRva = *resourceRva;
        const auto newRaw = RoundUp(plan_.NewSize, *fileAlignment);
        const auto newVirtual = RoundUp(plan_.NewSize, *sectionAlignment);
        const auto oldVirtual = RoundUp(*oldTableSize, *sectionAlignment);
        if (!newRaw || !newVirtual || !oldVirtual)
            return std::nullopt;
        plan_.NewRawSize = *newRaw;
        plan_.RawDelta = std::int64_t{*newRaw} - section_.SizeOfRawData;
        plan_.VirtualDelta = std::int64_t{*newVirtual} - *oldVirtual;

        // The headers must lie before the section, which is rewritten, and
        // every file offset of the result must fit 32 bits.
        if (headers_.SectionHeader(headers_.NumberOfSections) > section_.PointerToRawData)
            return std::nullopt;
        if (plan_.SectionEnd > kMaxU32)
            return std::nullopt;
        const std::uint64_t prepared = std::max(plan_.FileSize, plan_.SectionEnd);
        if (prepared + static_cast<std::uint64_t>(std::max<std::int64_t>(plan_.RawDelta, 0)) >
            kMaxU32)
            return std::nullopt;

        if (!PlanOptionalHeader() || !PlanSections() || !PlanDataDirectories() ||
            !PlanSymbolTable())
            return std::nullopt;
        return std::move(plan_);
    }

private:
    std::optional<std::uint32_t> Field(std::uint64_t offset) const { return image_.U32(offset); }

    void Patch(std::uint64_t offset, std::uint32_t value) {
        plan_.Patches.push_back({offset, value});
    }

    // A field that moves by `delta`; false when the result leaves 32 bits.
    bool PatchMoved(std::uint64_t offset, std::uint32_t value, std::int64_t delta) {
        const auto moved = CheckedOffset(value, delta);
        if (!moved)
            return false;
        Patch(offset, *moved);
        return true;
    }

    bool PlanOptionalHeader() {
        const std::uint64_t initializedAt = headers_.OptionalField(kSizeOfInitializedDataField);
        const std::uint64_t imageAt = headers_.OptionalField(kSizeOfImageField);
        const auto initialized = Field(initializedAt);
        const auto sizeOfImage = Field(imageAt);
        if (!initialized || !sizeOfImage)
            return false;
        // SizeOfInitializedData is informational; a module that understates
        // it gets 0 rather than a wrapped value.
        const std::int64_t newInitialized =
            std::clamp<std::int64_t>(std::int64_t{*initialized} + plan_.RawDelta, 0, kMaxU32);
        Patch(initializedAt, static_cast<std::uint32_t>(newInitialized));
        Patch(headers_.DataDirectory(kResourceDirectoryIndex) + 4, plan_.NewSize);
        return PatchMoved(imageAt, *sizeOfImage, plan_.VirtualDelta);
    }

    bool PlanSections() {
        for (std::uint32_t i = 0; i < headers_.NumberOfSections; ++i) {
            const auto section = ReadSection(image_, headers_, i);
            if (!section)
                return false;
            const std::uint64_t at = headers_.SectionHeader(i);
            if (i == section_.Index) {
                Patch(at + kSizeOfRawDataField, plan_.NewRawSize);
                Patch(at + kVirtualSizeField, plan_.NewSize);
                continue;
            }
            // Sections above the resource table move in the image; raw data
            // behind the section moves in the file. Nothing inside is rebased.
            if (section->VirtualAddress > plan_.ResourceRva &&
                !PatchMoved(at + kVirtualAddressField, section->VirtualAddress, plan_.VirtualDelta))
                return false;
            const std::pair<std::uint32_t, std::uint32_t> pointers[] = {
                {kPointerToRawDataField, section->PointerToRawData},
                {kPointerToRelocationsField, section->PointerToRelocations},
                {kPointerToLinenumbersField, section->PointerToLinenumbers}};
            for (const auto& [field, value] : pointers) {
                if (plan_.MovesWithTail(value) && !PatchMoved(at + field, value, plan_.RawDelta))
                    return false;
            }
        }
        return true;
    }

    bool PlanDataDirectories() {
        for (std::uint32_t i = 0; i < kDataDirectoryCount; ++i) {
            const std::uint64_t at = headers_.DataDirectory(i);
            const auto address = Field(at);
            const auto size = Field(at + 4);
            if (!address || !size)
                return false;
            // The certificate table is addressed by file offset. One that
            // really lies in the file's tail moves with it; one inside the file
            // elsewhere stays; one pointing past the end is treated like any
            // other entry.
            if (i == kCertificateDirectoryIndex && *size != 0 &&
                RangeInside(*address, *size, plan_.FileSize)) {
                if (plan_.MovesWithTail(*address) && !PatchMoved(at, *address, plan_.RawDelta))
                    return false;
                continue;
            }
            if (*address > plan_.ResourceRva && !PatchMoved(at, *address, plan_.VirtualDelta))
                return false;
        }
        return true;
    }

    bool PlanSymbolTable() {
        // COFF symbols, where a linker left them, sit behind the sections.
        const std::uint64_t at = std::uint64_t{headers_.NtHeaders} + 4 + 8;
        const auto pointer = Field(at);
        if (!pointer)
            return false;
        return !plan_.MovesWithTail(*pointer) || PatchMoved(at, *pointer, plan_.RawDelta);
    }

    const ByteReader& image_;
    const PeHeaders& headers_;
    const SectionInfo& section_;
    CommitPlan plan_;
};

// Moves the data of debug entries that lie in the moved tail. The directory
// is found through the headers as they are after the commit and read from
// the resized view; the walk stops at the end of the file.
void FixDebugDirectory(ByteWriter out, const PeHeaders& headers, const CommitPlan& plan) {
    const ByteReader image = out.Reader();
    const auto debugRva = image.U32(headers.DataDirectory(kDebugDirectoryIndex));
    const auto debugSize = image.U32(headers.DataDirectory(kDebugDirectoryIndex) + 4);
    if (!debugRva || !debugSize || *debugSize == 0)
        return;
    // The section holding the directory, on a table in ascending address order.
    std::optional<SectionInfo> holder;
    for (std::uint32_t j = 0; j < headers.NumberOfSections && !holder; ++j) {
        const auto section = ReadSection(image, headers, j);
        if (!section)
            return;
        if (section->VirtualAddress > *debugRva)
            continue;
        const auto next = ReadSection(image, headers, j + 1);
        if (!next || next->VirtualAddress > *debugRva)
            holder = section;
    }
    if (!holder)
        return;
    // The entries are read and moved only inside the holder's raw data, which
    // lies behind the headers: a damaged table or directory must not have
    // header fields, the PE signature among them, taken for entries.
    const std::uint64_t rawEnd = std::uint64_t{holder->PointerToRawData} + holder->SizeOfRawData;
    if (holder->PointerToRawData < headers.SectionHeader(headers.NumberOfSections))
        return;
    const std::uint64_t start =
        std::uint64_t{holder->PointerToRawData} + (*debugRva - holder->VirtualAddress);
    // A size that is no multiple of an entry is taken as the entry count.
    const std::uint64_t count =
        *debugSize % kDebugEntrySize == 0 ? *debugSize / kDebugEntrySize : *debugSize;
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint64_t entry = start + k * kDebugEntrySize;
        if (!out.Has(entry, kDebugEntrySize) || entry + kDebugEntrySize > rawEnd)
            return;
        const std::uint64_t pointerAt = entry + kDebugPointerToRawDataField;
        const std::uint64_t addressAt = entry + kDebugAddressOfRawDataField;
        const std::uint32_t pointer = *out.U32(pointerAt);
        const std::uint32_t address = *out.U32(addressAt);
        if (!plan.MovesWithTail(pointer))
            continue;
        const auto newPointer = CheckedOffset(pointer, plan.RawDelta);
        const auto newAddress = CheckedOffset(address, plan.VirtualDelta);
        if (!newPointer)
            continue;
        out.PutU32(pointerAt, *newPointer);
        if (address != 0 && newAddress)
            out.PutU32(addressAt, *newAddress);
    }
}

// Readies the leaves under `node` for a section written after the old view
// is gone: data read from the module is copied into memory, and each
// temporary file must be long enough for its leaf. False when one is not.
bool TakeLeavesOffTheView(TResItem& node) {
    if (!node.IsDirectory) {
        if (node.ImageData) {
            node.DataCopy.assign(node.ImageData, node.ImageData + node.DataSize);
            node.ImageData = nullptr;
        } else if (node.DataCopy.empty() && node.TempFile.IsOpen()) {
            std::uint64_t size = 0;
            return node.TempFile.GetSize(size) && size >= node.DataSize;
        }
        return true;
    }
    for (TResItem* child = node.FirstChild.get(); child; child = child->Next.get()) {
        if (!TakeLeavesOffTheView(*child))
            return false;
    }
    return true;
}

// The new section, its raw padding included: the first DataStart bytes into
// `head`, the rest into `data`; `section` gets the checksum sum of all of it
// (offsets from the section's start).
bool FillSection(ResourceUpdateHandle& handle, const CommitPlan& plan, const SectionSizes& sizes,
                 std::span<std::uint8_t> head, SectionOutput& data, ChecksumSum& section) {
    const bool written = WriteSection(plan.ResourceRva, *handle.Root, sizes, head, data) &&
                         data.PutZeros(plan.NewRawSize - plan.NewSize) && data.Finish();
    section = ChecksumSum();
    section.Add(0, head);
    section.AddSum(head.size(), data.Sum());
    return written;
}

// The section at plan.SectionOffset of the resized module through ordinary
// writes of the file. Each system uses one of the two writers.
[[maybe_unused]] bool WriteSectionByFile(ResourceUpdateHandle& handle, const CommitPlan& plan,
                                         const SectionSizes& sizes, std::span<std::uint8_t> head,
                                         ChecksumSum& section) {
    FileSectionOutput data(handle.FileHandle, std::uint64_t{plan.SectionOffset} + head.size(),
                           plan.NewRawSize - head.size());
    return FillSection(handle, plan, sizes, head, data, section) &&
           handle.FileHandle.WriteAt(plan.SectionOffset, head);
}

// The same, copied into the view.
[[maybe_unused]] bool WriteSectionIntoView(ResourceUpdateHandle& handle, const CommitPlan& plan,
                                           const SectionSizes& sizes, std::span<std::uint8_t> head,
                                           ChecksumSum& section) {
    handle.View.PrepareForWriting(plan.SectionOffset, plan.NewRawSize);
    MemorySectionOutput data(handle.View.Bytes().subspan(
        std::size_t{plan.SectionOffset} + head.size(), plan.NewRawSize - head.size()));
    return FillSection(handle, plan, sizes, head, data, section) &&
           ByteWriter(handle.View.Bytes()).PutBytes(plan.SectionOffset, head);
}

// Where the system's writes reach the view at once, the section goes in
// through ordinary writes, which cost less than faulting in and filling the
// pages of the view; elsewhere through the view. A write that fails is the
// end of the commit: the view is never tried after it, since a page the
// file system could not give to a write would fault when touched.
bool WriteNewSection(ResourceUpdateHandle& handle, const CommitPlan& plan,
                     const SectionSizes& sizes, ChecksumSum& section) {
    std::vector<std::uint8_t> head(*sizes.DataStart());
    if constexpr (platform::kWritesReachMappings)
        return WriteSectionByFile(handle, plan, sizes, head, section);
    else
        return WriteSectionIntoView(handle, plan, sizes, head, section);
}

// The steps of a commit that change the file: the resize, the headers, the
// new section and the checksum.
bool ChangeModule(ResourceUpdateHandle& handle, const PeHeaders& headers, const CommitPlan& plan,
                  const SectionSizes& sizes) {
    if (plan.RawDelta != 0 || plan.FileSize < plan.SectionEnd) {
        if (!ResizeFileRegion(handle.FileHandle, plan.SectionEnd, plan.RawDelta, handle.View))
            return false;
    }
    // The headers lie before the section, so they did not move.
    const auto nt = FindPeHeaders(handle.View.Bytes());
    if (!nt || *nt != headers.NtHeaders)
        return false;
    handle.NtHeaders = *nt;

    ByteWriter out(handle.View.Bytes());
    for (const HeaderPatch& patch : plan.Patches) {
        if (!out.PutU32(patch.Offset, patch.Value))
            return false;
    }
    FixDebugDirectory(out, headers, plan);
    if (!out.Has(plan.SectionOffset, plan.NewRawSize))
        return false;
    ChecksumSum sectionSum;
    if (!WriteNewSection(handle, plan, sizes, sectionSum))
        return false;

    // The checksum: the headers and the tail are summed from the view, the
    // section as it was written.
    const std::uint64_t field = std::uint64_t{*nt} + kOptionalHeaderOffset + kCheckSumField;
    if (!out.PutU32(field, 0))
        return false;
    const std::span<const std::uint8_t> file = handle.View.Bytes();
    const std::uint64_t after = std::uint64_t{plan.SectionOffset} + plan.NewRawSize;
    ChecksumSum sum;
    sum.Add(0, file.first(plan.SectionOffset));
    sum.AddSum(plan.SectionOffset, sectionSum);
    sum.Add(after, file.subspan(static_cast<std::size_t>(after)));
    return out.PutU32(field, sum.Checksum(file.size()));
}

// Puts the module back as `before` holds it, the view unmapped first
// (Windows cannot cut a mapped file). The code of the failed step stays;
// a module that cannot be put back is left as the failure left it.
void RestoreModule(ResourceUpdateHandle& handle, std::span<const std::uint8_t> before) {
    const std::uint32_t code = platform::LastError();
    handle.View.Unmap();
    if (handle.FileHandle.SetSize(before.size()))
        handle.FileHandle.WriteAt(0, before);
    platform::SetLastError(code);
}

bool Commit(ResourceUpdateHandle& handle) {
    const auto headers = ReadPe32Headers(handle.View.Bytes());
    if (!headers || !handle.Root)
        return false;
    const auto section = FindResourceSection(ByteReader(handle.View.Bytes()), *headers);
    if (!section) {
        UpdateImageChecksum(handle.View.Bytes(), handle.View.Size());
        return false;
    }

    // Lay the section out while the old view, which unchanged leaves point
    // into, is still mapped.
    SectionSizes sizes;
    if (!ComputeSectionSizes(*handle.Root, sizes))
        return false;
    const auto newSize = sizes.NewSize();
    if (!newSize)
        return false;
    const ByteReader oldImage(handle.View.Bytes());
    auto plan = Planner(oldImage, *headers, *section, *newSize).Make();
    if (!plan)
        return false;
    // The section is written straight into the resized module rather than
    // built in memory and copied in, which would hold the section twice.
    // What could make the writing fail is ruled out before the file changes:
    // the addresses are checked, every temporary file must hold its data,
    // and the data of leaves still inside the old module, which the resize
    // moves or covers, is taken off the old view first.
    if (!SectionAddressable(plan->ResourceRva, sizes) || !TakeLeavesOffTheView(*handle.Root))
        return false;

    // The module as it is, to be put back should a step fail once the file
    // has changed (a write or a read of a temporary file, past the space
    // set aside by the resize).
    const std::vector<std::uint8_t> before(handle.View.Bytes().begin(), handle.View.Bytes().end());
    if (ChangeModule(handle, *headers, *plan, sizes))
        return true;
    // A growth that failed, and a resize of a file shorter than its section,
    // fail before any byte moves; what they leave needs nothing put back.
    std::uint64_t size = 0;
    const bool untouched = (plan->RawDelta >= 0 || plan->FileSize < plan->SectionEnd) &&
                           !handle.View.IsMapped() && handle.FileHandle.GetSize(size) &&
                           size == plan->FileSize;
    if (!untouched)
        RestoreModule(handle, before);
    return false;
}

} // namespace

bool EndResourceUpdate(ResourceUpdateHandle* handle, bool Discard) {
    // Released on every path: the tree with its temporary files, the view,
    // the file.
    std::unique_ptr<ResourceUpdateHandle> owner(handle);
    if (!owner || Discard)
        return true;
    platform::SetLastError(0);
    bool committed = false;
    try {
        committed = Commit(*owner);
    } catch (const std::bad_alloc&) {
        platform::SetLastError(platform::kErrorNotEnoughMemory);
    } catch (...) {
    }
    if (committed)
        return true;
    // The caller sees the code of the step that failed, not what the release
    // leaves; a failure the system did not explain is a module that cannot
    // be written as it stands.
    const std::uint32_t code = platform::LastError();
    owner.reset();
    platform::SetLastError(code != 0 ? code : platform::kErrorInvalidData);
    return false;
}

} // namespace acWorkRes
