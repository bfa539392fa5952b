#include "test_modules.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace acWorkResTest {

void ByteImage::U8(std::size_t at, std::uint8_t value) {
    if (Data.size() < at + 1)
        Data.resize(at + 1);
    Data[at] = value;
}

void ByteImage::U16(std::size_t at, std::uint16_t value) {
    U8(at, static_cast<std::uint8_t>(value));
    U8(at + 1, static_cast<std::uint8_t>(value >> 8));
}

void ByteImage::U32(std::size_t at, std::uint32_t value) {
    U16(at, static_cast<std::uint16_t>(value));
    U16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

void ByteImage::Put(std::size_t at, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        U8(at + i, bytes[i]);
}

void ByteImage::Text(std::size_t at, std::string_view ascii) {
    for (std::size_t i = 0; i < ascii.size(); ++i)
        U8(at + i, static_cast<std::uint8_t>(ascii[i]));
}

void ByteImage::Name(std::size_t at, std::u16string_view name) {
    U16(at, static_cast<std::uint16_t>(name.size()));
    for (std::size_t i = 0; i < name.size(); ++i)
        U16(at + 2 + 2 * i, name[i]);
}

void ByteImage::Directory(std::size_t at, std::uint16_t named, std::uint16_t ids,
                          std::uint16_t majorVersion) {
    U32(at, 0);
    U32(at + 4, 0);
    U16(at + 8, majorVersion);
    U16(at + 10, 0);
    U16(at + 12, named);
    U16(at + 14, ids);
}

void ByteImage::Entry(std::size_t at, std::uint32_t name, std::uint32_t offset) {
    U32(at, name);
    U32(at + 4, offset);
}

void ByteImage::DataEntry(std::size_t at, std::uint32_t rva, std::uint32_t size,
                          std::uint32_t codePage, std::uint32_t reserved) {
    U32(at, rva);
    U32(at + 4, size);
    U32(at + 8, codePage);
    U32(at + 12, reserved);
}

TestSection MakeSection(std::string name, std::uint32_t virtualSize, std::uint32_t virtualAddress,
                        std::uint32_t rawSize, std::uint32_t rawPointer,
                        std::vector<std::uint8_t> raw) {
    TestSection section;
    section.Name = std::move(name);
    section.VirtualSize = virtualSize;
    section.VirtualAddress = virtualAddress;
    section.SizeOfRawData = rawSize;
    section.PointerToRawData = rawPointer;
    section.Raw = std::move(raw);
    return section;
}

std::vector<std::uint8_t> TestModule::Bytes() const {
    ByteImage m;
    m.Data.assign(SizeOfHeaders, 0);
    // DOS header and stub.
    m.Text(0, "MZ");
    m.U16(0x02, 0x0090);
    m.U16(0x04, 0x0003);
    m.U16(0x08, 0x0004);
    m.U16(0x0C, 0xFFFF);
    m.U16(0x10, 0x00B8);
    m.U16(0x18, 0x0040);
    m.U32(0x3C, kNt);
    const std::uint8_t stub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
    m.Put(0x40, stub);
    m.Text(0x4E, "This program cannot be run in DOS mode.\r\r\n$");
    // File header.
    m.Text(kNt, std::string_view("PE\0\0", 4));
    m.U16(kNt + 4, 0x014C);
    m.U16(kNt + 6, static_cast<std::uint16_t>(Sections.size()));
    m.U32(kNt + 8, 0x50479303);
    m.U32(kNt + 12, PointerToSymbolTable);
    m.U16(kNt + 20, SizeOfOptionalHeader);
    m.U16(kNt + 22, 0x2102);
    // Optional header.
    m.U16(kOptional, Magic);
    m.U8(kOptional + 2, 9);
    m.U32(kOptional + 8, SizeOfInitializedData);
    m.U32(kOptional + 20, 0x1000);
    m.U32(kOptional + 24, 0x1000);
    m.U32(kOptional + 28, 0x15960000);
    m.U32(kOptional + 32, SectionAlignment);
    m.U32(kOptional + 36, FileAlignment);
    m.U16(kOptional + 40, 5);
    m.U16(kOptional + 48, 5);
    m.U32(kOptional + 56, SizeOfImage);
    m.U32(kOptional + 60, SizeOfHeaders);
    m.U32(kOptional + 64, CheckSum);
    m.U16(kOptional + 68, 2);
    m.U16(kOptional + 70, 0x0400);
    m.U32(kOptional + 72, 0x100000);
    m.U32(kOptional + 76, 0x1000);
    m.U32(kOptional + 80, 0x100000);
    m.U32(kOptional + 84, 0x1000);
    m.U32(kOptional + 92, 16);
    for (std::size_t i = 0; i < DataDirectories.size(); ++i) {
        m.U32(kOptional + 96 + 8 * i, DataDirectories[i].first);
        m.U32(kOptional + 100 + 8 * i, DataDirectories[i].second);
    }
    for (std::size_t i = 0; i < Sections.size(); ++i) {
        const TestSection& s = Sections[i];
        const std::size_t at = kSectionTable + 40 * i;
        m.Text(at, s.Name.substr(0, 8));
        m.U32(at + 8, s.VirtualSize);
        m.U32(at + 12, s.VirtualAddress);
        m.U32(at + 16, s.SizeOfRawData);
        m.U32(at + 20, s.PointerToRawData);
        m.U32(at + 24, s.PointerToRelocations);
        m.U32(at + 28, s.PointerToLinenumbers);
        m.U32(at + 36, s.Characteristics);
    }
    for (const TestSection& s : Sections) {
        if (s.SizeOfRawData == 0)
            continue;
        if (m.Data.size() < std::size_t{s.PointerToRawData} + s.SizeOfRawData)
            m.Data.resize(std::size_t{s.PointerToRawData} + s.SizeOfRawData);
        const std::size_t n = std::min<std::size_t>(s.Raw.size(), s.SizeOfRawData);
        m.Put(s.PointerToRawData, std::span(s.Raw).first(n));
    }
    for (const auto& [at, bytes] : Extra)
        m.Put(at, bytes);
    if (FileSize != 0)
        m.Data.resize(FileSize);
    return m.Data;
}

std::vector<std::uint8_t> TemplateResourceSection() {
    ByteImage s;
    s.Data.assign(0x200, 0);
    s.Directory(0, 0, 0, 4);
    for (std::size_t at = 0x10; at < 0x200; at += 16)
        s.Text(at, "PADDINGXXPADDING");
    return s.Data;
}

TestModule TemplateModule() {
    TestModule m;
    m.DataDirectories[2] = {0x1000, 0x10};
    m.DataDirectories[4] = {0x00010800, 0x00000B80};
    TestSection rsrc;
    rsrc.Name = ".rsrc";
    rsrc.VirtualSize = 0x10;
    rsrc.VirtualAddress = 0x1000;
    rsrc.SizeOfRawData = 0x200;
    rsrc.PointerToRawData = 0x200;
    rsrc.Raw = TemplateResourceSection();
    m.Sections.push_back(rsrc);
    return m;
}

std::uint32_t ReferenceChecksum(std::span<const std::uint8_t> file) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 4) {
        if (i == kCheckSumAt)
            continue;
        std::uint32_t dword = 0;
        for (std::size_t k = 0; k < 4 && i + k < file.size(); ++k)
            dword |= std::uint32_t{file[i + k]} << (8 * k);
        sum += dword;
        if (sum >= (std::uint64_t{1} << 32))
            sum = (sum & 0xFFFFFFFF) + (sum >> 32);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = sum + (sum >> 16);
    sum &= 0xFFFF;
    return static_cast<std::uint32_t>(sum + file.size());
}

std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> module) {
    const std::uint32_t sum = ReferenceChecksum(module);
    for (int k = 0; k < 4; ++k)
        module[kCheckSumAt + k] = static_cast<std::uint8_t>(sum >> (8 * k));
    return module;
}

void TemplateUpdateTest::SetUp() {
    path_ = scratch_.Path("module.dll");
    WriteFile(path_, TemplateModule().Bytes());
    handle_ = acWorkRes::BeginResourceUpdate(U16(path_), false);
    ASSERT_NE(handle_, nullptr);
}

void TemplateUpdateTest::TearDown() {
    if (handle_) {
        EXPECT_TRUE(acWorkRes::EndResourceUpdate(handle_, true));
    }
}

std::string Label(const acWorkRes::TResItem& node) {
    if (!node.IsNamed())
        return std::to_string(node.Id);
    std::string text;
    for (char16_t c : node.Name)
        text += c < 0x80 ? static_cast<char>(c) : '?';
    return "\"" + text + "\"";
}

namespace {

std::string HexAround(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::ostringstream text;
    const std::size_t from = at < 8 ? 0 : at - 8;
    char buffer[24];
    std::snprintf(buffer, sizeof(buffer), "%06zx:", from);
    text << buffer;
    for (std::size_t i = from; i < from + 16 && i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof(buffer), i == at ? " [%02x]" : " %02x", bytes[i]);
        text << buffer;
    }
    return text.str();
}

} // namespace

::testing::AssertionResult SameBytes(std::span<const std::uint8_t> expected,
                                     std::span<const std::uint8_t> actual) {
    const std::size_t common = std::min(expected.size(), actual.size());
    std::size_t at = 0;
    while (at < common && expected[at] == actual[at])
        ++at;
    if (at == common && expected.size() == actual.size())
        return ::testing::AssertionSuccess();
    char offset[32];
    std::snprintf(offset, sizeof(offset), "0x%zx", at);
    return ::testing::AssertionFailure()
           << "first difference at offset " << offset << " (sizes: expected " << expected.size()
           << ", actual " << actual.size() << ")\n  expected " << HexAround(expected, at)
           << "\n  actual   " << HexAround(actual, at);
}

::testing::AssertionResult PassesPeCheck(const fs::path& path,
                                         const std::vector<std::string>& expected,
                                         const std::string& options) {
#ifdef _WIN32
    (void)path;
    (void)expected;
    (void)options;
    return ::testing::AssertionSuccess();
#else
    const std::string command = "/usr/bin/python3 '" KSB_TEST_TOOLS_DIR "/pecheck.py' " + options +
                                " '" + path.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return ::testing::AssertionFailure() << "cannot run " << command;
    std::string output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), pipe))
        output += buffer;
    const int status = pclose(pipe);
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("res ", 0) == 0)
            lines.push_back(line);
    }
    if (status != 0)
        return ::testing::AssertionFailure() << "pecheck.py failed:\n" << output;
    if (lines != expected) {
        auto failure = ::testing::AssertionFailure() << "resource walk differs:\n"
                                                     << output << "expected:\n";
        for (const std::string& line : expected)
            failure << line << "\n";
        return failure;
    }
    return ::testing::AssertionSuccess();
#endif
}

} // namespace acWorkResTest
