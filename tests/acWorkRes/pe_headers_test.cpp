// The PE headers as the updater reads them: which section holds the
// resource directory.
#include "acWorkRes/byte_reader.h"
#include "acWorkRes/pe_headers.h"
#include "test_modules.h"

#include <gtest/gtest.h>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

TEST(FindResourceSection, TakesTheFirstSectionStartingAtTheResourceDirectory) {
    TestModule module = TemplateModule();
    TestSection other = module.Sections[0];
    other.Name = ".other";
    other.PointerToRawData = 0x400;
    module.Sections.insert(module.Sections.begin(), other);
    module.Sections[0].VirtualAddress = 0x800; // starts before, covers the address
    module.Sections.push_back(other);          // the same address again, later
    const auto bytes = module.Bytes();
    const auto headers = ReadPe32Headers(bytes);
    ASSERT_TRUE(headers.has_value());
    EXPECT_EQ(headers->NumberOfSections, 3);
    const auto section = FindResourceSection(ByteReader(bytes), *headers);
    ASSERT_TRUE(section.has_value());
    EXPECT_EQ(section->Index, 1u);
    EXPECT_EQ(section->PointerToRawData, 0x200u);
}

} // namespace
} // namespace acWorkRes
