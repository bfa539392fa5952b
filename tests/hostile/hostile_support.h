// Shared by the hostile-input tests: a scratch folder below the program's
// private temporary folder, modules made from the template with a resource
// section of the test's choosing, and the outcome of an update on a file.
#pragma once

#include "support/temp_environment.h"
#include "tests/support/scratch.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace hostile {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Offsets in the template module.
constexpr std::size_t kLfanew = 0x3C;
constexpr std::size_t kNt = 0xB8;
constexpr std::size_t kOptional = kNt + 24;
constexpr std::size_t kSectionAlignmentAt = kOptional + 32;
constexpr std::size_t kFileAlignmentAt = kOptional + 36;
constexpr std::size_t kSizeOfImageAt = kOptional + 56;
constexpr std::size_t kResourceEntryAt = kOptional + 96 + 16; // address, then size
constexpr std::size_t kSectionTable = kNt + 248;
constexpr std::size_t kRsrcVirtualSizeAt = kSectionTable + 8;
constexpr std::size_t kRsrcRawSizeAt = kSectionTable + 16;
constexpr std::size_t kRsrcRawPointerAt = kSectionTable + 20;
constexpr std::uint32_t kRsrcAddress = 0x1000;
constexpr std::uint32_t kRsrcOffset = 0x200;

// A folder of its own for one test, below the program's private temporary
// folder, removed with it; and the file helpers.
struct Scratch : ksbtest::ScratchFolder {
    Scratch() : ScratchFolder("scratch", ksbtest::PrivateTempFolder()) {}
};
using ksbtest::ReadFile;
using ksbtest::U16;
using ksbtest::WriteFile;

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value);
void Put32(Bytes& bytes, std::size_t at, std::uint32_t value);
std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at);

// The 1024-byte template module.
Bytes Template();

// The template whose resource section holds `section` (padded to whole
// file units), with a resource table size of `tableSize` bytes and the image
// size to match.
Bytes TemplateWithSection(Bytes section, std::uint32_t tableSize);

// Resource directory records, written little-endian into a section.
struct SectionBuilder {
    Bytes data;
    void Directory(std::size_t at, std::uint16_t named, std::uint16_t ids);
    void Entry(std::size_t at, std::uint32_t name, std::uint32_t offset);
    void DataEntry(std::size_t at, std::uint32_t rva, std::uint32_t size);
};

} // namespace hostile
