// Small PE32 modules for the updater's tests, built from a field table (the
// template module's by default) without going through the code under test,
// plus the helpers the tests share: byte comparisons with
// hex context, the pefile checker.
#pragma once

#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/resource_tree.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace acWorkResTest {

namespace fs = std::filesystem;

// Little-endian stores into a byte vector that grows as needed.
struct ByteImage {
    std::vector<std::uint8_t> Data;

    void U8(std::size_t at, std::uint8_t value);
    void U16(std::size_t at, std::uint16_t value);
    void U32(std::size_t at, std::uint32_t value);
    void Put(std::size_t at, std::span<const std::uint8_t> bytes);
    void Text(std::size_t at, std::string_view ascii);
    // A length-prefixed UTF-16 resource name.
    void Name(std::size_t at, std::u16string_view name);
    // IMAGE_RESOURCE_DIRECTORY header.
    void Directory(std::size_t at, std::uint16_t named, std::uint16_t ids,
                   std::uint16_t majorVersion = 0);
    void Entry(std::size_t at, std::uint32_t name, std::uint32_t offset);
    void DataEntry(std::size_t at, std::uint32_t rva, std::uint32_t size,
                   std::uint32_t codePage = 0, std::uint32_t reserved = 0);
};

struct TestSection {
    std::string Name;
    std::uint32_t VirtualSize = 0;
    std::uint32_t VirtualAddress = 0;
    std::uint32_t SizeOfRawData = 0;
    std::uint32_t PointerToRawData = 0;
    std::uint32_t PointerToRelocations = 0;
    std::uint32_t PointerToLinenumbers = 0;
    std::uint32_t Characteristics = 0x40000040;
    std::vector<std::uint8_t> Raw; // written at PointerToRawData, at most SizeOfRawData bytes
};

TestSection MakeSection(std::string name, std::uint32_t virtualSize, std::uint32_t virtualAddress,
                        std::uint32_t rawSize, std::uint32_t rawPointer,
                        std::vector<std::uint8_t> raw = {});

struct TestModule {
    std::uint16_t Magic = 0x10B;
    std::uint16_t SizeOfOptionalHeader = 224;
    std::uint32_t PointerToSymbolTable = 0;
    std::uint32_t SizeOfInitializedData = 0x200;
    std::uint32_t SectionAlignment = 0x1000;
    std::uint32_t FileAlignment = 0x200;
    std::uint32_t SizeOfImage = 0x2000;
    std::uint32_t SizeOfHeaders = 0x200;
    std::uint32_t CheckSum = 0x000181F2;
    std::array<std::pair<std::uint32_t, std::uint32_t>, 16> DataDirectories{};
    std::vector<TestSection> Sections;
    // Bytes at fixed file offsets after the sections (certificates, debug data).
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> Extra;
    // Cut or zero-extend the file to this size (0: up to the last byte written).
    std::uint32_t FileSize = 0;

    std::vector<std::uint8_t> Bytes() const;
};

// The 1024-byte template module: a PE32 DLL with one ".rsrc" section at
// 0x1000 / 0x200 holding an empty root directory (MajorVersion 4) and filler.
TestModule TemplateModule();
// The raw data of the template's resource section (512 bytes).
std::vector<std::uint8_t> TemplateResourceSection();

// The optional header's offsets in a module built here (signature at 0xB8).
constexpr std::size_t kNt = 0xB8;
constexpr std::size_t kOptional = kNt + 24;
constexpr std::size_t kCheckSumAt = kOptional + 64;
constexpr std::size_t kSectionTable = kNt + 248;

// The image checksum by 32-bit words with carries, the CheckSum field left
// out: another route to the same value than the updater's word sum.
std::uint32_t ReferenceChecksum(std::span<const std::uint8_t> file);
// `module` with its CheckSum set to ReferenceChecksum.
std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> module);

// A scratch folder whose "tmp" is the updater's temporary folder while it
// lives, and the file helpers.
struct ScratchFolder : ksbtest::TempScratchFolder {
    ScratchFolder() : TempScratchFolder("acWorkRes") {}
};
using ksbtest::ReadFile;
using ksbtest::U16;
using ksbtest::WriteFile;

// An update opened on a copy of the template module in a scratch folder,
// discarded when the test ends unless the test has ended it.
class TemplateUpdateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ScratchFolder scratch_;
    fs::path path_;
    acWorkRes::ResourceUpdateHandle* handle_ = nullptr;
};

// A tree node's name as the tests print it: its number, or its name in
// double quotes ("?" for each character outside ASCII).
std::string Label(const acWorkRes::TResItem& node);

// Compares whole byte strings; on a difference, the first differing offset
// with 16 bytes of hex context from each side.
::testing::AssertionResult SameBytes(std::span<const std::uint8_t> expected,
                                     std::span<const std::uint8_t> actual);

// Runs tests/tools/pecheck.py (pefile) on a written module: it must parse
// with no warning beyond the template's own, its stored checksum must be
// pefile's, and its resource walk ("res TYPE NAME LANG SIZE [...]" lines, in
// file order) must be `expected`. `options` go to the script ("--sha").
// Passes without running on Windows builds, which have no pefile.
::testing::AssertionResult PassesPeCheck(const fs::path& path,
                                         const std::vector<std::string>& expected,
                                         const std::string& options = "");

} // namespace acWorkResTest
