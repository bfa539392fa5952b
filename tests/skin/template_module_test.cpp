// The template module: every field of the empty resource-only DLL, checked
// from a table written down here, and its reading by an independent PE parser.
#include "skin/template_module.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace skin {
namespace {

std::uint32_t ReadLe(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | bytes[offset + i];
    return value;
}

std::string Text(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

bool AllZero(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    for (std::size_t i = offset; i < offset + size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

// The PE image checksum: 16-bit words summed with carries folded back, the
// CheckSum field left out, plus the file length.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> bytes, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (i >= checksumOffset && i < checksumOffset + 4)
            continue;
        sum += ReadLe(bytes, i, 2);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + bytes.size());
}

struct Field {
    std::size_t offset;
    std::size_t size;
    std::uint32_t value;
    const char* name;
};

// Numbers of the headers, zero fields included; the byte strings follow below.
constexpr Field kFields[] = {
    {0x00, 2, 0x5A4D, "e_magic"},
    {0x02, 2, 0x0090, "e_cblp"},
    {0x04, 2, 0x0003, "e_cp"},
    {0x06, 2, 0, "e_crlc"},
    {0x08, 2, 0x0004, "e_cparhdr"},
    {0x0A, 2, 0, "e_minalloc"},
    {0x0C, 2, 0xFFFF, "e_maxalloc"},
    {0x0E, 2, 0, "e_ss"},
    {0x10, 2, 0x00B8, "e_sp"},
    {0x12, 2, 0, "e_csum"},
    {0x14, 2, 0, "e_ip"},
    {0x16, 2, 0, "e_cs"},
    {0x18, 2, 0x0040, "e_lfarlc"},
    {0x1A, 2, 0, "e_ovno"},
    {0x24, 2, 0, "e_oemid"},
    {0x26, 2, 0, "e_oeminfo"},
    {0x3C, 4, 0xB8, "e_lfanew"},
    {0xB8, 4, 0x00004550, "PE signature"},
    {0xBC, 2, 0x014C, "Machine"},
    {0xBE, 2, 1, "NumberOfSections"},
    {0xC0, 4, 0x50479303, "TimeDateStamp"},
    {0xC4, 4, 0, "PointerToSymbolTable"},
    {0xC8, 4, 0, "NumberOfSymbols"},
    {0xCC, 2, 0x00E0, "SizeOfOptionalHeader"},
    {0xCE, 2, 0x2102, "Characteristics"},
    {0xD0, 2, 0x010B, "Magic"},
    {0xD2, 1, 9, "MajorLinkerVersion"},
    {0xD3, 1, 0, "MinorLinkerVersion"},
    {0xD4, 4, 0, "SizeOfCode"},
    {0xD8, 4, 0x200, "SizeOfInitializedData"},
    {0xDC, 4, 0, "SizeOfUninitializedData"},
    {0xE0, 4, 0, "AddressOfEntryPoint"},
    {0xE4, 4, 0x1000, "BaseOfCode"},
    {0xE8, 4, 0x1000, "BaseOfData"},
    {0xEC, 4, 0x15960000, "ImageBase"},
    {0xF0, 4, 0x1000, "SectionAlignment"},
    {0xF4, 4, 0x200, "FileAlignment"},
    {0xF8, 2, 5, "MajorOperatingSystemVersion"},
    {0xFA, 2, 0, "MinorOperatingSystemVersion"},
    {0xFC, 2, 0, "MajorImageVersion"},
    {0xFE, 2, 0, "MinorImageVersion"},
    {0x100, 2, 5, "MajorSubsystemVersion"},
    {0x102, 2, 0, "MinorSubsystemVersion"},
    {0x104, 4, 0, "Win32VersionValue"},
    {0x108, 4, 0x2000, "SizeOfImage"},
    {0x10C, 4, 0x200, "SizeOfHeaders"},
    {0x110, 4, 0x000181F2, "CheckSum"},
    {0x114, 2, 2, "Subsystem"},
    {0x116, 2, 0x0400, "DllCharacteristics"},
    {0x118, 4, 0x100000, "SizeOfStackReserve"},
    {0x11C, 4, 0x1000, "SizeOfStackCommit"},
    {0x120, 4, 0x100000, "SizeOfHeapReserve"},
    {0x124, 4, 0x1000, "SizeOfHeapCommit"},
    {0x128, 4, 0, "LoaderFlags"},
    {0x12C, 4, 16, "NumberOfRvaAndSizes"},
    {0x1B8, 4, 0x10, "VirtualSize"},
    {0x1BC, 4, 0x1000, "VirtualAddress"},
    {0x1C0, 4, 0x200, "SizeOfRawData"},
    {0x1C4, 4, 0x200, "PointerToRawData"},
    {0x1C8, 4, 0, "PointerToRelocations"},
    {0x1CC, 4, 0, "PointerToLinenumbers"},
    {0x1D0, 2, 0, "NumberOfRelocations"},
    {0x1D2, 2, 0, "NumberOfLinenumbers"},
    {0x1D4, 4, 0x40000040, "section Characteristics"},
    {0x200, 4, 0, "root Characteristics"},
    {0x204, 4, 0, "root TimeDateStamp"},
    {0x208, 2, 4, "root MajorVersion"},
    {0x20A, 2, 0, "root MinorVersion"},
    {0x20C, 2, 0, "root NumberOfNamedEntries"},
    {0x20E, 2, 0, "root NumberOfIdEntries"},
};

TEST(TemplateModule, HasTheTableSize) {
    ASSERT_EQ(kTemplateModuleSize, 1024u);
    EXPECT_EQ(TemplateModule().size(), kTemplateModuleSize);
}

TEST(TemplateModule, HeaderFieldsHoldTheirValues) {
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    for (const Field& field : kFields)
        EXPECT_EQ(ReadLe(bytes, field.offset, field.size), field.value) << field.name;
}

TEST(TemplateModule, DataDirectories) {
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    for (std::size_t entry = 0; entry < 16; ++entry) {
        std::uint32_t address = 0;
        std::uint32_t size = 0;
        if (entry == 2) { // resource: the root directory at the section's start
            address = 0x1000;
            size = 0x10;
        } else if (entry == 4) { // certificate table: past the end, no certificate
            address = 0x00010800;
            size = 0x00000B80;
        }
        EXPECT_EQ(ReadLe(bytes, 0x130 + entry * 8, 4), address) << "directory " << entry;
        EXPECT_EQ(ReadLe(bytes, 0x134 + entry * 8, 4), size) << "directory " << entry;
    }
}

TEST(TemplateModule, ByteStringsAndZeroAreas) {
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_TRUE(AllZero(bytes, 0x1C, 8)) << "e_res";
    EXPECT_TRUE(AllZero(bytes, 0x28, 20)) << "e_res2";
    const std::array<std::uint8_t, 14> stub{0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                            0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), bytes.begin() + 0x40)) << "DOS stub code";
    EXPECT_EQ(Text(bytes, 0x4E, 39), "This program cannot be run in DOS mode.");
    EXPECT_EQ(Text(bytes, 0x75, 4), "\r\r\n$");
    EXPECT_TRUE(AllZero(bytes, 0x79, 7));
    EXPECT_EQ(Text(bytes, 0xA0, 4), "Rich");
    EXPECT_NE(ReadLe(bytes, 0xA4, 4), 0u) << "the record's key";
    EXPECT_TRUE(AllZero(bytes, 0xA8, 16));
    EXPECT_EQ(Text(bytes, 0xB8, 4), std::string("PE\0\0", 4));
    EXPECT_EQ(Text(bytes, 0x1B0, 8), std::string(".rsrc\0\0\0", 8));
    EXPECT_TRUE(AllZero(bytes, 0x1D8, 40)) << "after the section table";
}

TEST(TemplateModule, BuildToolRecordIsMaskedWithItsKey) {
    // "DanS" and three zero words, each masked with the key after "Rich".
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    const std::uint32_t key = ReadLe(bytes, 0xA4, 4);
    EXPECT_EQ(ReadLe(bytes, 0x80, 4) ^ key, 0x536E6144u) << "DanS";
    for (std::size_t offset = 0x84; offset < 0x90; offset += 4)
        EXPECT_EQ(ReadLe(bytes, offset, 4) ^ key, 0u) << offset;
}

TEST(TemplateModule, FillerRunsToTheEnd) {
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    std::string filler;
    for (int i = 0; i < 31; ++i)
        filler += "PADDINGXXPADDING";
    ASSERT_EQ(0x210 + filler.size(), 1024u);
    EXPECT_EQ(Text(bytes, 0x210, filler.size()), filler);
}

TEST(TemplateModule, CheckSumIsNotTheImageChecksum) {
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_EQ(ReadLe(bytes, 0x110, 4), 0x000181F2u);
    EXPECT_NE(ImageChecksum(bytes, 0x110), 0x000181F2u);
}

TEST(TemplateModule, MatchesTheFileInTheSourceTree) {
    std::ifstream file(KSB_SOURCE_DIR "/skin/template_module.bin", std::ios::binary);
#ifdef _WIN32
    if (!file)
        GTEST_SKIP() << "source tree not reachable from this build";
#endif
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t> stored{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    const auto bytes = TemplateModule();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), stored);
}

#ifdef _WIN32
// The program carries the template as resource "DLL" #1 in language 1049 only.
BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

TEST(TemplateModule, CarriedAsResourceInLanguage1049) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(nullptr, L"DLL", MAKEINTRESOURCEW(1), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1049});
    HRSRC found = FindResourceExW(nullptr, L"DLL", MAKEINTRESOURCEW(1),
                                  MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, found), 1024u);
}
#else
// pefile reads the bytes, handed over as hex on the command line.
TEST(TemplateModule, PefileReadsAResourceOnlyDll) {
    const auto bytes = TemplateModule();
    ASSERT_EQ(bytes.size(), 1024u);
    std::string hex;
    static const char kDigits[] = "0123456789abcdef";
    for (const std::uint8_t b : bytes) {
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 0xF]);
    }
    const std::string script =
        "import sys, pefile\n"
        "pe = pefile.PE(data=bytes.fromhex(sys.argv[1]))\n"
        "print('dll', pe.is_dll(), hex(pe.FILE_HEADER.Machine), hex(pe.OPTIONAL_HEADER.Magic))\n"
        "print('sections', [s.Name.rstrip(b'\\0').decode() for s in pe.sections])\n"
        "root = pe.DIRECTORY_ENTRY_RESOURCE\n"
        "print('resources', len(root.entries), root.struct.MajorVersion)\n"
        "print('checksum', hex(pe.OPTIONAL_HEADER.CheckSum), hex(pe.generate_checksum()))\n";
    const std::string command = "/usr/bin/python3 -c \"" + script + "\" " + hex + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    ASSERT_EQ(pclose(pipe), 0) << output;

    char realChecksum[32];
    std::snprintf(realChecksum, sizeof realChecksum, "%#x",
                  static_cast<unsigned>(ImageChecksum(bytes, 0x110)));
    EXPECT_EQ(output, "dll True 0x14c 0x10b\n"
                      "sections ['.rsrc']\n"
                      "resources 0 4\n"
                      "checksum 0x181f2 " +
                          std::string(realChecksum) + "\n");
}
#endif

} // namespace
} // namespace skin
