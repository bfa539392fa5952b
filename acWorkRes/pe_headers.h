// The PE/COFF headers of a 32-bit module as the updater reads and patches them:
// positions of the fields it uses, the signature check and the section lookup.
// All positions are byte offsets into the mapped file; nothing here keeps a
// pointer into a view, so the results survive a remap.
#pragma once

#include "acWorkRes/byte_reader.h"

#include <cstdint>
#include <optional>
#include <span>

namespace acWorkRes {

// DOS header.
constexpr std::uint16_t kDosMagic = 0x5A4D; // "MZ"
constexpr std::uint32_t kLfanewOffset = 0x3C;
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"

// Offsets counted from the PE signature.
constexpr std::uint32_t kNumberOfSectionsOffset = 6;
constexpr std::uint32_t kSizeOfOptionalHeaderOffset = 20;
constexpr std::uint32_t kOptionalHeaderOffset = 24;
constexpr std::uint32_t kOptionalHeader32Size = 224;
constexpr std::uint32_t kSectionTableOffset = kOptionalHeaderOffset + kOptionalHeader32Size;

// Offsets inside the PE32 optional header.
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint32_t kSizeOfInitializedDataField = 8;
constexpr std::uint32_t kSectionAlignmentField = 32;
constexpr std::uint32_t kFileAlignmentField = 36;
constexpr std::uint32_t kSizeOfImageField = 56;
constexpr std::uint32_t kCheckSumField = 64;
constexpr std::uint32_t kDataDirectoryField = 96;
constexpr std::uint32_t kDataDirectoryCount = 16;
constexpr std::uint32_t kDataDirectoryEntrySize = 8;

constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kCertificateDirectoryIndex = 4;
constexpr std::uint32_t kDebugDirectoryIndex = 6;

// Section header.
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kVirtualSizeField = 8;
constexpr std::uint32_t kVirtualAddressField = 12;
constexpr std::uint32_t kSizeOfRawDataField = 16;
constexpr std::uint32_t kPointerToRawDataField = 20;
constexpr std::uint32_t kPointerToRelocationsField = 24;
constexpr std::uint32_t kPointerToLinenumbersField = 28;

// Debug directory entry (IMAGE_DEBUG_DIRECTORY).
constexpr std::uint32_t kDebugEntrySize = 28;
constexpr std::uint32_t kDebugAddressOfRawDataField = 20;
constexpr std::uint32_t kDebugPointerToRawDataField = 24;

// The offset of the "PE\0\0" signature: "MZ" at the start, e_lfanew inside the
// file, the four signature bytes there. std::nullopt for anything else,
// however short or damaged the file.
std::optional<std::uint32_t> FindPeHeaders(std::span<const std::uint8_t> image);

// Where the headers of a checked PE32 module lie.
struct PeHeaders {
    std::uint32_t NtHeaders = 0; // offset of the PE signature
    std::uint16_t NumberOfSections = 0;

    std::uint64_t OptionalHeader() const {
        return std::uint64_t{NtHeaders} + kOptionalHeaderOffset;
    }
    std::uint64_t OptionalField(std::uint32_t field) const { return OptionalHeader() + field; }
    // Offset of DataDirectory[index].VirtualAddress; its Size follows 4 bytes on.
    std::uint64_t DataDirectory(std::uint32_t index) const {
        return OptionalField(kDataDirectoryField) + std::uint64_t{index} * kDataDirectoryEntrySize;
    }
    std::uint64_t SectionHeader(std::uint32_t index) const {
        return std::uint64_t{NtHeaders} + kSectionTableOffset +
               std::uint64_t{index} * kSectionHeaderSize;
    }
};

// FindPeHeaders plus what makes the fixed header positions true: the optional
// header is a PE32 one (Magic 0x10B) of exactly 224 bytes, and the whole
// section table lies inside the file. A PE32+ image or another header size
// would put the data directories and the section table elsewhere.
std::optional<PeHeaders> ReadPe32Headers(std::span<const std::uint8_t> image);

// The fields of one section header the updater uses.
struct SectionInfo {
    std::uint32_t Index = 0;
    std::uint32_t VirtualSize = 0;
    std::uint32_t VirtualAddress = 0;
    std::uint32_t SizeOfRawData = 0;
    std::uint32_t PointerToRawData = 0;
    std::uint32_t PointerToRelocations = 0;
    std::uint32_t PointerToLinenumbers = 0;
};

std::optional<SectionInfo> ReadSection(const ByteReader& image, const PeHeaders& headers,
                                       std::uint32_t index);

// The resource section: the first section in table order whose VirtualAddress
// equals the resource data directory's VirtualAddress, so the resource
// directory starts at the very beginning of it. std::nullopt when the module
// has no such section (a resource directory entry of 0 included).
std::optional<SectionInfo> FindResourceSection(const ByteReader& image, const PeHeaders& headers);

} // namespace acWorkRes
