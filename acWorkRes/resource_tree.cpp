#include "acWorkRes/resource_tree.h"

#include <charconv>
#include <cstdint>

namespace acWorkRes {

TResItem::~TResItem() {
    FreeResourceTree(FirstChild);
    FreeResourceTree(Next);
    // TempFile deletes itself when it is closed.
}

void FreeResourceTree(std::unique_ptr<TResItem>& link) noexcept {
    // Siblings are freed in a loop, not through the destructors' recursion,
    // so a long list cannot exhaust the stack; depth is bounded by the parser.
    while (link) {
        std::unique_ptr<TResItem> node = std::move(link);
        link = std::move(node->Next);
        node.reset();
    }
}

platform::File OpenModuleFile(const std::u16string& fileName, bool write) {
    return platform::OpenExisting(fileName, write ? platform::OpenMode::ExclusiveReadWrite
                                                  : platform::OpenMode::ReadShareReadWrite);
}

namespace {

std::string Hex(std::uintptr_t value, int minDigits) {
    char digits[2 * sizeof(value)];
    const auto result = std::to_chars(digits, digits + sizeof(digits), value, 16);
    std::string text(digits, result.ptr);
    if (static_cast<int>(text.size()) < minDigits)
        text.insert(0, static_cast<std::size_t>(minDigits) - text.size(), '0');
    return text;
}

} // namespace

std::string TempFileNameFor(const TResItem& node) {
    std::string name = platform::TempFolderAnsi();
    if (!name.empty())
        name += platform::TempNameSeparator();
    name += "$kiv$res$";
    name += Hex(platform::ProcessId(), 8);
    name += '$';
    name += Hex(reinterpret_cast<std::uintptr_t>(&node), 1);
    name += '$';
    return name;
}

std::optional<std::u16string> ReadResourceName(const ByteReader& section, std::uint32_t offset) {
    const auto length = section.U16(offset);
    if (!length)
        return std::nullopt;
    const auto units = section.Slice(std::uint64_t{offset} + 2, std::uint64_t{*length} * 2);
    if (!units)
        return std::nullopt;
    std::u16string name(*length, u'\0');
    for (std::size_t i = 0; i < name.size(); ++i)
        name[i] = static_cast<char16_t>((*units)[2 * i] | ((*units)[2 * i + 1] << 8));
    return name;
}

namespace {

// Turns the directory entries of one section into nodes, refusing anything
// that points outside the section, loops, or breaks the tree's invariants.
class DirectoryParser {
public:
    DirectoryParser(std::span<const std::uint8_t> section, const std::uint8_t* sectionBase,
                    std::uint32_t sectionAddress)
        : section_(section), base_(sectionBase), address_(sectionAddress),
          // Every node but the root stands for an 8-byte entry of its own; a
          // file that yields more nodes shares or loops its tables.
          budget_(section.size() / kResourceDirectoryEntrySize + 1), dataBudget_(section.size()) {}

    std::unique_ptr<TResItem> ParseEntry(std::uint32_t nameField, std::uint32_t offsetField,
                                         unsigned depth) {
        if (budget_ == 0)
            return nullptr;
        --budget_;
        auto node = std::make_unique<TResItem>();
        node->IsDirectory = (offsetField & kResourceHighBit) != 0;
        if (nameField & kResourceHighBit) {
            auto name = ReadResourceName(section_, nameField & ~kResourceHighBit);
            if (!name || name->empty())
                return nullptr;
            node->Name = std::move(*name);
        } else {
            node->Id = static_cast<std::int32_t>(nameField);
        }
        const std::uint32_t offset = offsetField & ~kResourceHighBit;
        const bool ok =
            node->IsDirectory ? ParseDirectory(*node, offset, depth) : ParseLeaf(*node, offset);
        return ok ? std::move(node) : nullptr;
    }

private:
    bool ParseDirectory(TResItem& dir, std::uint32_t offset, unsigned depth) {
        if (depth >= kMaxDirectoryDepth)
            return false;
        const auto characteristics = section_.U32(offset);
        const auto timeDateStamp = section_.U32(std::uint64_t{offset} + 4);
        const auto major = section_.U16(std::uint64_t{offset} + 8);
        const auto minor = section_.U16(std::uint64_t{offset} + 10);
        const auto named = section_.U16(std::uint64_t{offset} + 12);
        const auto ids = section_.U16(std::uint64_t{offset} + 14);
        if (!characteristics || !timeDateStamp || !major || !minor || !named || !ids)
            return false;
        dir.Characteristics = *characteristics;
        dir.TimeDateStamp = *timeDateStamp;
        dir.MajorVersion = *major;
        dir.MinorVersion = *minor;
        dir.NamedCount = *named;
        dir.IdCount = *ids;
        const std::uint32_t count = dir.NamedCount + dir.IdCount;
        const std::uint64_t entries = std::uint64_t{offset} + kResourceDirectorySize;
        if (!section_.Has(entries, std::uint64_t{count} * kResourceDirectoryEntrySize))
            return false;

        TResLink tail = &dir.FirstChild;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t at = entries + std::uint64_t{i} * kResourceDirectoryEntrySize;
            const std::uint32_t nameField = *section_.U32(at);
            const std::uint32_t offsetField = *section_.U32(at + 4);
            // The layout writes the first NamedCount children as named entries.
            const bool isNamed = (nameField & kResourceHighBit) != 0;
            if (isNamed != (i < dir.NamedCount))
                return false;
            *tail = ParseEntry(nameField, offsetField, depth + 1);
            if (!*tail)
                return false;
            tail = &(*tail)->Next;
        }
        return true;
    }

    bool ParseLeaf(TResItem& leaf, std::uint32_t offset) {
        const auto dataRva = section_.U32(offset);
        const auto size = section_.U32(std::uint64_t{offset} + 4);
        const auto codePage = section_.U32(std::uint64_t{offset} + 8);
        const auto reserved = section_.U32(std::uint64_t{offset} + 12);
        if (!dataRva || !size || !codePage || !reserved)
            return false;
        // The data's image address, translated into the section's raw bytes.
        if (*dataRva < address_)
            return false;
        const std::uint32_t inSection = *dataRva - address_;
        if (!section_.Has(inSection, *size))
            return false;
        // Each leaf's data lies apart from the others', so together they fit
        // in the section. Entries that share their data would have the new
        // section, which holds every leaf's own copy, grow with the square
        // of the old one.
        if (*size > dataBudget_)
            return false;
        dataBudget_ -= *size;
        leaf.DataSize = *size;
        leaf.CodePage = *codePage;
        leaf.Reserved = *reserved;
        leaf.ImageData = base_ + inSection;
        return true;
    }

    ByteReader section_;
    const std::uint8_t* base_;
    std::uint32_t address_;
    std::size_t budget_;
    std::size_t dataBudget_;
};

} // namespace

std::unique_ptr<TResItem> ParseResourceDirectory(std::span<const std::uint8_t> image,
                                                 std::uint32_t sectionOffset,
                                                 std::uint32_t sectionAddress,
                                                 std::uint32_t sectionRawSize) {
    if (sectionOffset > image.size())
        return nullptr;
    const std::size_t available = image.size() - sectionOffset;
    const std::size_t length = sectionRawSize < available ? sectionRawSize : available;
    const auto section = image.subspan(sectionOffset, length);
    DirectoryParser parser(section, image.data() + sectionOffset, sectionAddress);
    return parser.ParseEntry(0, kResourceHighBit, 0);
}

} // namespace acWorkRes
