#include "acWorkRes/section_layout.h"

#include "acWorkRes/byte_reader.h"
#include "acWorkRes/checked_math.h"
#include "acWorkRes/section_output.h"

namespace acWorkRes {

std::optional<std::uint32_t> RoundUp(std::uint32_t x, std::uint32_t m) {
    if (m == 0)
        return std::nullopt;
    const std::uint64_t rounded = (std::uint64_t{x} + m - 1) / m * m;
    if (rounded > kMaxU32)
        return std::nullopt;
    return static_cast<std::uint32_t>(rounded);
}

std::optional<std::uint32_t> SectionSizes::DataStart() const {
    const auto names = CheckedAdd(DirAreaSize, NameAreaSize);
    if (!names)
        return std::nullopt;
    return RoundUp(*names, 4);
}

std::optional<std::uint32_t> SectionSizes::NewSize() const {
    const auto start = DataStart();
    if (!start)
        return std::nullopt;
    return CheckedAdd(*start, DataAreaSize);
}

namespace {

bool Add(std::uint32_t& total, std::uint64_t amount) {
    const auto sum = CheckedAdd(total, amount);
    if (!sum)
        return false;
    total = *sum;
    return true;
}

// The directory's list agrees with its counts and puts the named children first.
bool ChildrenWritable(const TResItem& directory) {
    if (std::uint64_t{directory.NamedCount} + directory.IdCount > kMaxEntriesPerDirectory)
        return false;
    std::uint32_t index = 0;
    for (const TResItem* child = directory.FirstChild.get(); child; child = child->Next.get()) {
        if (child->IsNamed() != (index < directory.NamedCount))
            return false;
        if (child->Name.size() > 0xFFFF)
            return false;
        if (++index > kMaxEntriesPerDirectory)
            return false;
    }
    return index == directory.NamedCount + directory.IdCount;
}

} // namespace

bool ComputeSectionSizes(const TResItem& node, SectionSizes& sizes) {
    if (!node.IsDirectory) {
        if (!node.DataCopy.empty() && node.DataCopy.size() != node.DataSize)
            return false;
        const auto data = RoundUp(node.DataSize, 4);
        return data && Add(sizes.DirAreaSize, kResourceDataEntrySize) &&
               Add(sizes.DataAreaSize, *data);
    }
    if (!ChildrenWritable(node))
        return false;
    const std::uint64_t table =
        kResourceDirectorySize +
        std::uint64_t{kResourceDirectoryEntrySize} * (node.NamedCount + node.IdCount);
    if (!Add(sizes.DirAreaSize, table))
        return false;
    for (const TResItem* child = node.FirstChild.get(); child; child = child->Next.get()) {
        if (child->IsNamed() && !Add(sizes.NameAreaSize, 2 * std::uint64_t{child->Name.size()} + 2))
            return false;
        if (!ComputeSectionSizes(*child, sizes))
            return false;
    }
    return true;
}

namespace {

// The second walk: three cursors moving through the three areas. The
// directory and name areas go into `head`; the data area, which the walk
// fills front to back, goes to `data` as it comes.
class SectionBuilder {
public:
    SectionBuilder(std::uint32_t resourceRva, std::span<std::uint8_t> head, SectionOutput& data,
                   std::uint32_t nameStart, std::uint32_t dataStart)
        : out_(head), data_(data), rva_(resourceRva), nameCursor_(nameStart),
          dataCursor_(dataStart) {}

    bool Write(const TResItem& node) {
        return node.IsDirectory ? WriteDirectory(node) : WriteLeaf(node);
    }

    // Whether the walk has filled exactly the areas the size pass measured.
    bool EndsAt(std::uint32_t dirEnd, std::uint32_t nameEnd, std::uint32_t dataEnd) const {
        return dirCursor_ == dirEnd && nameCursor_ == nameEnd && dataCursor_ == dataEnd;
    }

private:
    bool WriteDirectory(const TResItem& dir) {
        const std::uint32_t at = dirCursor_;
        dirCursor_ +=
            kResourceDirectorySize + kResourceDirectoryEntrySize * (dir.NamedCount + dir.IdCount);
        bool ok = out_.PutU32(at, dir.Characteristics) && out_.PutU32(at + 4, dir.TimeDateStamp) &&
                  out_.PutU16(at + 8, dir.MajorVersion) && out_.PutU16(at + 10, dir.MinorVersion) &&
                  out_.PutU16(at + 12, static_cast<std::uint16_t>(dir.NamedCount)) &&
                  out_.PutU16(at + 14, static_cast<std::uint16_t>(dir.IdCount));
        std::uint32_t entry = at + kResourceDirectorySize;
        std::uint32_t index = 0;
        for (const TResItem* child = dir.FirstChild.get(); ok && child; child = child->Next.get()) {
            if (index++ < dir.NamedCount) {
                ok = out_.PutU32(entry, kResourceHighBit | nameCursor_) && WriteName(child->Name);
            } else {
                ok = out_.PutU32(entry, static_cast<std::uint32_t>(child->Id));
            }
            const std::uint32_t flag = child->IsDirectory ? kResourceHighBit : 0;
            ok = ok && out_.PutU32(entry + 4, flag | dirCursor_) && Write(*child);
            entry += kResourceDirectoryEntrySize;
        }
        return ok;
    }

    bool WriteName(const std::u16string& name) {
        bool ok = out_.PutU16(nameCursor_, static_cast<std::uint16_t>(name.size()));
        for (std::size_t i = 0; ok && i < name.size(); ++i)
            ok = out_.PutU16(nameCursor_ + 2 + 2 * i, name[i]);
        nameCursor_ += 2 + 2 * static_cast<std::uint32_t>(name.size());
        return ok;
    }

    bool WriteLeaf(const TResItem& leaf) {
        const std::uint32_t at = dirCursor_;
        dirCursor_ += kResourceDataEntrySize;
        const std::uint32_t dataAt = dataCursor_;
        const auto step = RoundUp(leaf.DataSize, 4);
        if (!step || !CheckedAdd(dataAt, *step))
            return false;
        dataCursor_ += *step;
        if (!(out_.PutU32(at, rva_ + dataAt) && out_.PutU32(at + 4, leaf.DataSize) &&
              out_.PutU32(at + 8, leaf.CodePage) && out_.PutU32(at + 12, leaf.Reserved)))
            return false;
        bool ok;
        if (leaf.ImageData)
            ok = data_.Put(std::span<const std::uint8_t>(leaf.ImageData, leaf.DataSize));
        else if (!leaf.DataCopy.empty())
            ok = data_.Put(leaf.DataCopy);
        else if (leaf.TempFile.IsOpen())
            ok = data_.PutFileData(leaf.TempFile, leaf.DataSize);
        else
            ok = data_.PutZeros(leaf.DataSize); // no data: zero bytes
        // The padding up to the next multiple of 4 is zero.
        return ok && data_.PutZeros(*step - leaf.DataSize);
    }

    ByteWriter out_;
    SectionOutput& data_;
    std::uint32_t rva_;
    std::uint32_t dirCursor_ = 0;
    std::uint32_t nameCursor_;
    std::uint32_t dataCursor_;
};

} // namespace

bool SectionAddressable(std::uint32_t ResourceRva, const SectionSizes& sizes) {
    const auto dataStart = sizes.DataStart();
    const auto newSize = sizes.NewSize();
    // Entries keep table and name offsets below the flag bit, data entries
    // hold image addresses.
    return dataStart && newSize && *dataStart < kResourceHighBit &&
           CheckedAdd(ResourceRva, *newSize);
}

bool WriteSection(std::uint32_t ResourceRva, const TResItem& root, const SectionSizes& sizes,
                  std::span<std::uint8_t> head, SectionOutput& data) {
    if (!SectionAddressable(ResourceRva, sizes))
        return false;
    const auto dataStart = sizes.DataStart();
    const auto newSize = sizes.NewSize();
    if (head.size() != *dataStart)
        return false;
    const std::uint64_t dataBefore = data.Written();
    SectionBuilder builder(ResourceRva, head, data, sizes.DirAreaSize, *dataStart);
    const std::uint32_t namesEnd = sizes.DirAreaSize + sizes.NameAreaSize;
    // Every byte is written, the gap before the data area as zeros, so the
    // image may start out uninitialised.
    return builder.Write(root) && builder.EndsAt(sizes.DirAreaSize, namesEnd, *newSize) &&
           data.Written() - dataBefore == sizes.DataAreaSize &&
           ByteWriter(head).Fill(namesEnd, *dataStart - namesEnd, 0);
}

bool BuildSectionImage(std::uint32_t ResourceRva, const TResItem& root, const SectionSizes& sizes,
                       std::span<std::uint8_t> image) {
    if (!SectionAddressable(ResourceRva, sizes))
        return false;
    const auto dataStart = sizes.DataStart();
    const auto newSize = sizes.NewSize();
    if (image.size() != *newSize)
        return false;
    MemorySectionOutput data(image.subspan(*dataStart));
    return WriteSection(ResourceRva, root, sizes, image.first(*dataStart), data);
}

} // namespace acWorkRes
