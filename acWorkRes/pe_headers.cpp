#include "acWorkRes/pe_headers.h"

namespace acWorkRes {

std::optional<std::uint32_t> FindPeHeaders(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto magic = reader.U16(0);
    if (!magic || *magic != kDosMagic)
        return std::nullopt;
    const auto lfanew = reader.U32(kLfanewOffset);
    if (!lfanew)
        return std::nullopt;
    const auto signature = reader.U32(*lfanew);
    if (!signature || *signature != kPeSignature)
        return std::nullopt;
    return *lfanew;
}

std::optional<PeHeaders> ReadPe32Headers(std::span<const std::uint8_t> image) {
    const auto nt = FindPeHeaders(image);
    if (!nt)
        return std::nullopt;
    const ByteReader reader(image);
    PeHeaders headers;
    headers.NtHeaders = *nt;
    const auto sections = reader.U16(std::uint64_t{*nt} + kNumberOfSectionsOffset);
    const auto optionalSize = reader.U16(std::uint64_t{*nt} + kSizeOfOptionalHeaderOffset);
    const auto magic = reader.U16(headers.OptionalHeader());
    if (!sections || !optionalSize || !magic)
        return std::nullopt;
    if (*magic != kPe32Magic || *optionalSize != kOptionalHeader32Size)
        return std::nullopt;
    headers.NumberOfSections = *sections;
    // The end of the section table; with no sections, the end of the optional header.
    if (!reader.Has(headers.SectionHeader(0), std::uint64_t{*sections} * kSectionHeaderSize))
        return std::nullopt;
    return headers;
}

std::optional<SectionInfo> ReadSection(const ByteReader& image, const PeHeaders& headers,
                                       std::uint32_t index) {
    if (index >= headers.NumberOfSections)
        return std::nullopt;
    const std::uint64_t at = headers.SectionHeader(index);
    const auto virtualSize = image.U32(at + kVirtualSizeField);
    const auto virtualAddress = image.U32(at + kVirtualAddressField);
    const auto rawSize = image.U32(at + kSizeOfRawDataField);
    const auto rawPointer = image.U32(at + kPointerToRawDataField);
    const auto relocations = image.U32(at + kPointerToRelocationsField);
    const auto linenumbers = image.U32(at + kPointerToLinenumbersField);
    if (!virtualSize || !virtualAddress || !rawSize || !rawPointer || !relocations || !linenumbers)
        return std::nullopt;
    return SectionInfo{index,       *virtualSize, *virtualAddress, *rawSize,
                       *rawPointer, *relocations, *linenumbers};
}

std::optional<SectionInfo> FindResourceSection(const ByteReader& image, const PeHeaders& headers) {
    const auto resourceRva = image.U32(headers.DataDirectory(kResourceDirectoryIndex));
    if (!resourceRva || *resourceRva == 0)
        return std::nullopt;
    for (std::uint32_t i = 0; i < headers.NumberOfSections; ++i) {
        const auto section = ReadSection(image, headers, i);
        if (!section)
            return std::nullopt;
        if (section->VirtualAddress == *resourceRva)
            return section;
    }
    return std::nullopt;
}

} // namespace acWorkRes
