// Committing an update: whole modules compared byte for byte with modules
// built from their field tables, and each one read back by pefile.
#include "acWorkRes/acWorkRes.h"
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/section_writer.h"
#include "platform/fault_injection.h"
#include "test_modules.h"

#include <gtest/gtest.h>

#include <functional>

namespace acWorkRes {
namespace {

using namespace acWorkResTest;

using Edit = std::function<void(ResourceUpdateHandle*)>;

void Put(ResourceUpdateHandle* handle, const ResourceId& type, const ResourceId& name,
         std::uint16_t language, const std::vector<std::uint8_t>& data) {
    // An empty vector may have no data address, and a nil address deletes.
    static const std::uint8_t none = 0;
    ASSERT_TRUE(UpdateResourceItem(handle, type, name, language, data.empty() ? &none : data.data(),
                                   static_cast<std::uint32_t>(data.size())));
}

// Writes `module` to `path`, applies `edit` in one update and commits.
std::vector<std::uint8_t> Commit(const fs::path& path, const std::vector<std::uint8_t>& module,
                                 const Edit& edit, bool expected = true) {
    WriteFile(path, module);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    EXPECT_NE(handle, nullptr);
    if (!handle)
        return {};
    if (edit)
        edit(handle);
    EXPECT_EQ(EndResourceUpdate(handle, false), expected);
    return ReadFile(path);
}

const std::vector<std::uint8_t> kAbc = {1, 2, 3, 4, 5};

Edit AddAbc() {
    return [](ResourceUpdateHandle* h) { Put(h, kRtRcData, u"ABC", 1049, kAbc); };
}

// 4572 bytes: with the 88 bytes of tables a new section of exactly 0x1234.
std::vector<std::uint8_t> Item0x1234() {
    std::vector<std::uint8_t> data(0x1234 - 88);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return data;
}

Edit AddItem0x1234() {
    return [](ResourceUpdateHandle* h) { Put(h, kRtRcData, 1, 1049, Item0x1234()); };
}

// The worked example's section: type 10, name "ABC", language 1049, 5 bytes,
// written out by hand; the root keeps the template's MajorVersion 4.
std::vector<std::uint8_t> AbcSection(std::uint32_t rva) {
    ByteImage s;
    s.Directory(0, 0, 1, 4);
    s.Entry(16, 10, 0x80000000 | 24);
    s.Directory(24, 1, 0);
    s.Entry(40, 0x80000000 | 88, 0x80000000 | 48);
    s.Directory(48, 0, 1);
    s.Entry(64, 1049, 72);
    s.DataEntry(72, rva + 96, 5);
    s.Name(88, u"ABC");
    s.Put(96, kAbc);
    s.Data.resize(104);
    return s.Data;
}

// Type 10, name 1, language 1049 holding `data`.
std::vector<std::uint8_t> NumberedSection(std::uint32_t rva,
                                          const std::vector<std::uint8_t>& data) {
    ByteImage s;
    s.Directory(0, 0, 1, 4);
    s.Entry(16, 10, 0x80000000 | 24);
    s.Directory(24, 0, 1);
    s.Entry(40, 1, 0x80000000 | 48);
    s.Directory(48, 0, 1);
    s.Entry(64, 1049, 72);
    s.DataEntry(72, rva + 88, static_cast<std::uint32_t>(data.size()));
    s.Put(88, data);
    s.Data.resize((s.Data.size() + 3) / 4 * 4);
    return s.Data;
}

std::vector<std::uint8_t> EmptySection() {
    ByteImage s;
    s.Directory(0, 0, 0, 4);
    return s.Data;
}

// The template after a commit of `section`, with `rawSize`/`imageSize` the
// section's new raw size and the new SizeOfImage.
TestModule TemplateWith(const std::vector<std::uint8_t>& section, std::uint32_t rawSize,
                        std::uint32_t imageSize) {
    TestModule m = TemplateModule();
    const auto size = static_cast<std::uint32_t>(section.size());
    const std::int64_t rawDelta = std::int64_t{rawSize} - 0x200;
    const std::int64_t virtualDelta = std::int64_t{imageSize} - 0x2000;
    m.SizeOfInitializedData = static_cast<std::uint32_t>(0x200 + rawDelta);
    m.SizeOfImage = imageSize;
    m.DataDirectories[2].second = size;
    // The certificate entry points past the end: moved like an image address.
    m.DataDirectories[4].first = static_cast<std::uint32_t>(0x10800 + virtualDelta);
    m.Sections[0].VirtualSize = size;
    m.Sections[0].SizeOfRawData = rawSize;
    m.Sections[0].Raw = section;
    return m;
}

std::vector<std::uint8_t> Expected(const TestModule& module) {
    return WithChecksum(module.Bytes());
}

const std::vector<std::string> kAbcWalk = {"res 10 \"ABC\" 1049 5"};
const std::vector<std::string> kItemWalk = {"res 10 1 1049 4572"};

TEST(SectionWriter, WorkedExampleKeepsTheFileSize) {
    ScratchFolder scratch;
    const auto path = scratch.Path("abc.dll");
    const auto bytes = Commit(path, TemplateModule().Bytes(), AddAbc());
    // RawDelta 0 and VirtualDelta 0: only the section, its sizes and the checksum change.
    EXPECT_TRUE(SameBytes(Expected(TemplateWith(AbcSection(0x1000), 0x200, 0x2000)), bytes));
    EXPECT_TRUE(PassesPeCheck(path, kAbcWalk));
}

TEST(SectionWriter, GrowthBeyondTheSectionAlignment) {
    ScratchFolder scratch;
    const auto path = scratch.Path("grown.dll");
    const auto bytes = Commit(path, TemplateModule().Bytes(), AddItem0x1234());
    // NewSize 0x1234: RawDelta 0x1200, VirtualDelta 0x1000.
    EXPECT_EQ(bytes.size(), 0x1600u);
    EXPECT_TRUE(SameBytes(
        Expected(TemplateWith(NumberedSection(0x1000, Item0x1234()), 0x1400, 0x3000)), bytes));
    EXPECT_TRUE(PassesPeCheck(path, kItemWalk));

    // Taking the item out again shrinks the file back to the template's size.
    const auto shrunk = Commit(path, bytes, [](ResourceUpdateHandle* h) {
        EXPECT_TRUE(UpdateResourceItem(h, kRtRcData, 1, 1049, nullptr, 0));
    });
    EXPECT_TRUE(SameBytes(Expected(TemplateWith(EmptySection(), 0x200, 0x2000)), shrunk));
    EXPECT_TRUE(PassesPeCheck(path, {}));
}

TEST(SectionWriter, AShortFileIsFirstExtendedToTheEndOfItsSection) {
    ScratchFolder scratch;
    const auto path = scratch.Path("short.dll");
    TestModule cut = TemplateModule();
    cut.FileSize = 0x300;
    EXPECT_TRUE(SameBytes(Expected(TemplateWith(AbcSection(0x1000), 0x200, 0x2000)),
                          Commit(path, cut.Bytes(), AddAbc())));
    EXPECT_TRUE(PassesPeCheck(path, kAbcWalk));
    EXPECT_TRUE(
        SameBytes(Expected(TemplateWith(NumberedSection(0x1000, Item0x1234()), 0x1400, 0x3000)),
                  Commit(path, cut.Bytes(), AddItem0x1234())));
    EXPECT_TRUE(PassesPeCheck(path, kItemWalk));
}

TEST(SectionWriter, ACommitWithoutChangesRewritesTheLayoutOnceThenNothing) {
    ScratchFolder scratch;
    const auto path = scratch.Path("same.dll");
    const auto first = Commit(path, TemplateModule().Bytes(), {});
    EXPECT_TRUE(SameBytes(Expected(TemplateWith(EmptySection(), 0x200, 0x2000)), first));
    EXPECT_TRUE(SameBytes(first, Commit(path, first, {})));
}

TEST(SectionWriter, DiscardingLeavesTheFileAndNoTemporaryFiles) {
    ScratchFolder scratch;
    const auto path = scratch.Path("discard.dll");
    const auto original = TemplateModule().Bytes();
    WriteFile(path, original);
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    ASSERT_NE(handle, nullptr);
    Put(handle, kRtRcData, 1, 1049, std::vector<std::uint8_t>(100000, 1));
    Put(handle, kRtRcData, 2, 1049, std::vector<std::uint8_t>(40000, 2));
    EXPECT_EQ(scratch.TempFileCount(), 2u);
    EXPECT_TRUE(EndResourceUpdate(handle, true));
    EXPECT_EQ(scratch.TempFileCount(), 0u);
    EXPECT_TRUE(SameBytes(original, ReadFile(path)));
    EXPECT_TRUE(EndResourceUpdate(nullptr, false));
    EXPECT_TRUE(EndResourceUpdate(nullptr, true));
}

std::string Sum(const std::uint8_t* data, std::uint32_t size) {
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < size; ++i)
        sum = sum * 31 + data[i];
    return std::to_string(sum);
}

// "type/name/language:size:checksum" of every leaf, read back through a fresh update.
std::vector<std::string> ReadBack(const fs::path& path) {
    std::vector<std::string> out;
    ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false);
    EXPECT_NE(handle, nullptr);
    if (!handle)
        return out;
    for (auto* t = handle->Root->FirstChild.get(); t; t = t->Next.get()) {
        for (auto* n = t->FirstChild.get(); n; n = n->Next.get()) {
            for (auto* l = n->FirstChild.get(); l; l = l->Next.get())
                out.push_back(Label(*t) + "/" + Label(*n) + "/" + std::to_string(l->Id) + ":" +
                              std::to_string(l->DataSize) + ":" + Sum(l->ImageData, l->DataSize));
        }
    }
    EXPECT_TRUE(EndResourceUpdate(handle, true));
    return out;
}

TEST(SectionWriter, RoundTripOfAModuleWithEveryKindOfItem) {
    ScratchFolder scratch;
    const auto path = scratch.Path("round.dll");
    std::vector<std::uint8_t> large(40 * 1024);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<std::uint8_t>(i >> 3);
    const std::vector<std::uint8_t> strings = {0, 0, 3, 0, 'a', 0, 'b', 0, 'c', 0};
    const auto bytes = Commit(path, TemplateModule().Bytes(), [&](ResourceUpdateHandle* h) {
        Put(h, kRtRcData, u"logo", 1049, {'l'});
        Put(h, kRtRcData, u"LOGO", 1049, {'L', 'L'});
        Put(h, kRtRcData, u"ZZ", 1049, {'z', 'z', 'z'});
        Put(h, kRtRcData, 7, 1049, large);
        Put(h, kRtRcData, 7, 1033, {});
        Put(h, kRtString, 1, 1049, strings);
        Put(h, u"\u0414\u0410\u041D\u041E", u"X", 1049, {9});
    });
    EXPECT_TRUE(
        PassesPeCheck(path, {"res \"\u0414\u0410\u041D\u041E\" \"X\" 1049 1", "res 6 1 1049 10",
                             "res 10 \"LOGO\" 1049 2", "res 10 \"ZZ\" 1049 3",
                             "res 10 \"logo\" 1049 1", "res 10 7 1033 0", "res 10 7 1049 40960"}));
    const auto sum = [](const std::vector<std::uint8_t>& data) {
        return Sum(data.data(), static_cast<std::uint32_t>(data.size()));
    };
    EXPECT_EQ(ReadBack(path), (std::vector<std::string>{
                                  "\"????\"/\"X\"/1049:1:" + sum({9}),
                                  "6/1/1049:10:" + sum(strings),
                                  "10/\"LOGO\"/1049:2:" + sum({'L', 'L'}),
                                  "10/\"ZZ\"/1049:3:" + sum({'z', 'z', 'z'}),
                                  "10/\"logo\"/1049:1:" + sum({'l'}),
                                  "10/7/1033:0:" + sum({}),
                                  "10/7/1049:40960:" + sum(large),
                              }));
    // Already in this layout: committing again changes no byte.
    EXPECT_TRUE(SameBytes(bytes, Commit(path, bytes, {})));
}

// A module whose resource section is followed by a data section (holding a
// debug directory) and an uninitialised section, with a certificate, COFF
// symbols, relocations and debug data in the file's tail; `grown` gives the
// same module after a commit that moved everything by RawDelta 0x1200 and
// VirtualDelta 0x1000. Three section headers need 0x400 bytes of headers.
TestModule LaterSectionsModule(bool grown) {
    const std::uint32_t rd = grown ? 0x1200 : 0;
    const std::uint32_t vd = grown ? 0x1000 : 0;
    TestModule m = TemplateModule();
    m.SizeOfHeaders = 0x400;
    m.SizeOfInitializedData = 0x400 + rd;
    m.SizeOfImage = 0x4000 + vd;
    m.PointerToSymbolTable = 0x840 + rd;
    m.DataDirectories[2] = {0x1000, grown ? 0x1234u : 0x10u};
    m.DataDirectories[4] = {0x800 + rd, 0x20};    // a certificate really in the file
    m.DataDirectories[6] = {0x2000 + vd, 3 * 28}; // debug directory at the start of .data
    m.DataDirectories[7] = {0x2080 + vd, 8};
    m.Sections[0].PointerToRawData = 0x400;
    if (grown) {
        m.Sections[0].VirtualSize = 0x1234;
        m.Sections[0].SizeOfRawData = 0x1400;
        m.Sections[0].Raw = NumberedSection(0x1000, Item0x1234());
    }
    ByteImage data;
    // Debug entries: data in .data (moves), data in the tail outside any
    // section (address 0 stays), data before the resource section (stays).
    const std::uint32_t entries[3][3] = {
        {0x10, 0x2060 + vd, 0x660 + rd}, {0x10, 0, 0x830 + rd}, {0x10, 0x2070, 0x100}};
    for (std::uint32_t k = 0; k < 3; ++k) {
        data.U32(28 * k + 16, entries[k][0]);
        data.U32(28 * k + 20, entries[k][1]);
        data.U32(28 * k + 24, entries[k][2]);
    }
    data.Text(0x60, "debug data, one.");
    data.Text(0x80, "archdata");
    TestSection dataSection =
        MakeSection(".data", 0x100, 0x2000 + vd, 0x200, 0x600 + rd, data.Data);
    dataSection.PointerToRelocations = 0x820 + rd;
    dataSection.PointerToLinenumbers = 0x100;
    dataSection.Characteristics = 0xC0000040;
    // No raw data: its pointer of 0 means none and stays 0.
    TestSection bss = MakeSection(".bss", 0x100, 0x3000 + vd, 0, 0);
    bss.Characteristics = 0xC0000080;
    m.Sections.push_back(dataSection);
    m.Sections.push_back(bss);
    ByteImage certificate;
    certificate.U32(0, 0x20);
    certificate.U16(4, 0x0200);
    certificate.U16(6, 0x0002);
    certificate.Text(8, "certificate bytes.......");
    m.Extra.push_back({0x800 + rd, certificate.Data});
    m.Extra.push_back({0x820 + rd, {'r', 'e', 'l', 'o', 'c', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}});
    m.Extra.push_back({0x830 + rd, {'d', 'e', 'b', 'u', 'g', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}});
    m.Extra.push_back({0x840 + rd, {'s', 'y', 'm', 'b', 'o', 'l', 's', 0, 0, 0, 0, 0, 0, 0, 0, 3}});
    return m;
}

TEST(SectionWriter, LaterSectionsAndTheTailMoveAsAWhole) {
    ScratchFolder scratch;
    const auto path = scratch.Path("later.dll");
    const auto before = LaterSectionsModule(false).Bytes();
    WriteFile(path, before);
    EXPECT_TRUE(PassesPeCheck(path, {}, "--allow-bad-checksum"));
    const auto bytes = Commit(path, before, AddItem0x1234());
    EXPECT_TRUE(SameBytes(Expected(LaterSectionsModule(true)), bytes));
    EXPECT_TRUE(PassesPeCheck(path, kItemWalk));
    // And back: every field returns to where it was.
    const auto back = Commit(path, bytes, [](ResourceUpdateHandle* h) {
        EXPECT_TRUE(UpdateResourceItem(h, kRtRcData, 1, 0, nullptr, 0));
    });
    TestModule original = LaterSectionsModule(false);
    original.Sections[0].Raw = EmptySection();
    EXPECT_TRUE(SameBytes(Expected(original), back));
}

TEST(SectionWriter, RawDeltaZeroWithVirtualDeltaStillMovesAddresses) {
    // The resource table claims 0x1800 bytes (two pages) in one 0x200-byte raw block.
    const auto module = [](bool committed) {
        TestModule m = TemplateModule();
        m.SizeOfInitializedData = 0x400;
        m.SizeOfImage = committed ? 0x3000 : 0x4000;
        m.DataDirectories[2].second = committed ? 104 : 0x1800;
        m.DataDirectories[4].first = committed ? 0xF800 : 0x10800;
        m.Sections[0].VirtualSize = committed ? 104 : 0x1800;
        if (committed)
            m.Sections[0].Raw = AbcSection(0x1000);
        m.Sections.push_back(MakeSection(".data", 0x100, committed ? 0x2000u : 0x3000u, 0x200,
                                         0x400, {'d', 'a', 't', 'a'}));
        return m;
    };
    ScratchFolder scratch;
    const auto path = scratch.Path("virtual.dll");
    const auto bytes = Commit(path, module(false).Bytes(), AddAbc());
    EXPECT_EQ(bytes.size(), 0x600u);
    EXPECT_TRUE(SameBytes(Expected(module(true)), bytes));
    EXPECT_TRUE(PassesPeCheck(path, kAbcWalk));
}

TEST(SectionWriter, OddAlignments) {
    for (std::uint32_t unit : {0x20u, 0x30u, 0x1000u}) {
        SCOPED_TRACE(unit);
        // One unit for file and image alignment; the resource section first,
        // a data section after it, each one unit long.
        const std::uint32_t start = (0x200 + unit - 1) / unit * unit;
        const auto module = [&](bool committed) {
            const std::uint32_t newRaw = (104 + unit - 1) / unit * unit;
            const std::uint32_t delta = committed ? newRaw - unit : 0;
            TestModule m = TemplateModule();
            m.FileAlignment = m.SectionAlignment = unit;
            m.SizeOfHeaders = start;
            m.SizeOfInitializedData = 2 * unit + delta;
            m.SizeOfImage = start + 2 * unit + delta;
            m.DataDirectories[2] = {start, committed ? 104u : 0x10u};
            m.DataDirectories[4] = {0, 0};
            TestSection& rsrc = m.Sections[0];
            rsrc.VirtualAddress = rsrc.PointerToRawData = start;
            rsrc.VirtualSize = committed ? 104 : 0x10;
            rsrc.SizeOfRawData = committed ? newRaw : unit;
            rsrc.Raw = committed ? AbcSection(start) : TemplateResourceSection();
            m.Sections.push_back(MakeSection(".data", unit, start + unit + delta, unit,
                                             start + unit + delta, {'d', 'a', 't', 'a'}));
            return m;
        };
        ScratchFolder scratch;
        const auto path = scratch.Path("odd.dll");
        EXPECT_TRUE(
            SameBytes(Expected(module(true)), Commit(path, module(false).Bytes(), AddAbc())));
        EXPECT_TRUE(PassesPeCheck(path, kAbcWalk));
    }
}

TEST(SectionWriter, DebugDirectorySizesAndTheEndOfTheFile) {
    // Three debug entries at .data's start, each pointing at data inside .data.
    const auto module = [](std::uint32_t debugSize, std::uint32_t debugRva, bool committed,
                           int movedEntries) {
        const std::uint32_t rd = committed ? 0x1200 : 0;
        const std::uint32_t vd = committed ? 0x1000 : 0;
        TestModule m = committed
                           ? TemplateWith(NumberedSection(0x1000, Item0x1234()), 0x1400, 0x4000)
                           : TemplateModule();
        m.SizeOfInitializedData += 0x200;
        m.SizeOfImage = 0x3000 + vd;
        m.DataDirectories[4] = {0, 0};
        m.DataDirectories[6] = {debugRva + vd, debugSize};
        ByteImage data;
        const std::uint32_t at = debugRva - 0x2000;
        for (int k = 0; k < 3 && at + 28 * k + 28 <= 0x200; ++k) {
            const std::uint32_t move = k < movedEntries ? 1 : 0;
            data.U32(at + 28 * k + 16, 4);
            data.U32(at + 28 * k + 20, 0x2100 + 0x10 * k + move * vd);
            data.U32(at + 28 * k + 24, 0x500 + 0x10 * k + move * rd);
        }
        data.Data.resize(0x200);
        m.Sections.push_back(
            MakeSection(".data", 0x200, 0x2000 + vd, 0x200, 0x400 + rd, data.Data));
        return m;
    };
    struct Case {
        const char* what;
        std::uint32_t size;
        std::uint32_t rva;
        int moved;
    };
    // Size 56 is two entries; a size of 3, no multiple of 28, is three; a
    // directory that the file ends in the middle of is walked up to the end.
    for (const Case& c : {Case{"56 bytes", 56, 0x2000, 2}, Case{"size 3", 3, 0x2000, 3},
                          Case{"cut by the end of the file", 84, 0x2200 - 56, 2}}) {
        SCOPED_TRACE(c.what);
        ScratchFolder scratch;
        const auto path = scratch.Path("debug.dll");
        const auto bytes = Commit(path, module(c.size, c.rva, false, 0).Bytes(), AddItem0x1234());
        EXPECT_TRUE(SameBytes(Expected(module(c.size, c.rva, true, c.moved)), bytes));
        // The cut directory is damaged input, and pefile says so for the output too.
        if (c.size != 84) {
            EXPECT_TRUE(PassesPeCheck(path, kItemWalk));
        }
    }
}

TEST(SectionWriter, ACommitThatCannotBeLaidOutLeavesTheFileAlone) {
    ScratchFolder scratch;
    const auto path = scratch.Path("refused.dll");
    // The section sits so high in the image that data addresses would pass 4 GiB.
    TestModule high = TemplateModule();
    high.DataDirectories[2].first = high.Sections[0].VirtualAddress = 0xFFFFF000u;
    const auto highBytes = high.Bytes();
    const auto after = Commit(
        path, highBytes,
        [](ResourceUpdateHandle* h) {
            Put(h, kRtRcData, 1, 1049, std::vector<std::uint8_t>(0x2000, 1));
            Put(h, kRtRcData, 2, 1049, std::vector<std::uint8_t>(40000, 2));
        },
        false);
    EXPECT_TRUE(SameBytes(highBytes, after));
    EXPECT_EQ(scratch.TempFileCount(), 0u);

    // The section's raw data overlaps the headers.
    TestModule overlapping = TemplateModule();
    overlapping.Sections[0].PointerToRawData = 0x1C0;
    overlapping.Sections[0].Raw.clear(); // the table there reads as an empty root
    const auto overlappingBytes = overlapping.Bytes();
    EXPECT_TRUE(SameBytes(overlappingBytes, Commit(path, overlappingBytes, AddAbc(), false)));

    // A file alignment of 0 cannot be rounded to.
    TestModule noAlignment = TemplateModule();
    noAlignment.FileAlignment = 0;
    const auto noAlignmentBytes = noAlignment.Bytes();
    EXPECT_TRUE(SameBytes(noAlignmentBytes, Commit(path, noAlignmentBytes, AddAbc(), false)));
}

TEST(SectionWriter, EveryFailingFileOperationLeavesAWholeModule) {
    // Each write, resize, mapping and file creation of one growing update
    // fails in turn. Whatever fails, the module is either the old one or the
    // new one holding exactly the items that were accepted, and no temporary
    // file stays behind.
    ScratchFolder scratch;
    const auto path = scratch.Path("faults.dll");
    const auto original = TemplateModule().Bytes();
    struct Item {
        ResourceId Name;
        std::vector<std::uint8_t> Data;
        std::string Tree; // as ReadBack shows it
        std::string Walk; // as pecheck.py shows it
    };
    // In the order of the section: names first, then numbers.
    std::vector<Item> items = {{u"NAME", {4, 5}, "", ""},
                               {1, {1, 2, 3}, "", ""},
                               {7, std::vector<std::uint8_t>(40000, 7), "", ""}};
    for (Item& item : items) {
        const std::string name =
            item.Name.IsName() ? std::string("\"NAME\"") : std::to_string(item.Name.Number());
        const std::string size = std::to_string(item.Data.size());
        item.Tree = "10/" + name + "/1049:" + size + ":" +
                    Sum(item.Data.data(), static_cast<std::uint32_t>(item.Data.size()));
        item.Walk = "res 10 " + name + " 1049 " + size;
    }
    for (std::uint64_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        WriteFile(path, original);
        platform::testing::FailNthOperation(n);
        std::vector<std::string> tree, walk;
        bool committed = false;
        if (ResourceUpdateHandle* handle = BeginResourceUpdate(U16(path), false)) {
            for (const Item& item : items) {
                if (UpdateResourceItem(handle, kRtRcData, item.Name, 1049, item.Data.data(),
                                       static_cast<std::uint32_t>(item.Data.size()))) {
                    tree.push_back(item.Tree);
                    walk.push_back(item.Walk);
                }
            }
            committed = EndResourceUpdate(handle, false);
        }
        const bool failed = platform::testing::InjectedFailureHappened();
        platform::testing::FailNthOperation(0);
        EXPECT_EQ(scratch.TempFileCount(), 0u);
        if (committed) {
            EXPECT_EQ(ReadBack(path), tree);
            EXPECT_TRUE(PassesPeCheck(path, walk));
        } else {
            EXPECT_TRUE(SameBytes(original, ReadFile(path)));
        }
        if (!failed)
            break;
    }
}

TEST(ResizeFileRegion, MovesTheTailBothWaysAndExtendsShortFiles) {
    ScratchFolder scratch;
    const auto path = scratch.Path("plain.bin");
    const auto resize = [&](std::vector<std::uint8_t> content, std::uint64_t offset,
                            std::int64_t delta) {
        WriteFile(path, content);
        auto file = platform::OpenExisting(U16(path), platform::OpenMode::ExclusiveReadWrite);
        auto view = platform::MapWholeFile(file, true);
        EXPECT_TRUE(ResizeFileRegion(file, offset, delta, view));
        EXPECT_EQ(view.Size(), std::max<std::uint64_t>(content.size(), offset) + delta);
        std::vector<std::uint8_t> seen(view.Data(), view.Data() + view.Size());
        view.Unmap();
        file.Close();
        EXPECT_TRUE(SameBytes(seen, ReadFile(path)));
        return seen;
    };
    const std::vector<std::uint8_t> abc = {'a', 'b', 'c', 'd', 'e', 'f'};
    auto grown = resize(abc, 2, 3);
    grown[2] = grown[3] = grown[4] = '_'; // the gap's content is the caller's to write
    EXPECT_EQ(grown, (std::vector<std::uint8_t>{'a', 'b', '_', '_', '_', 'c', 'd', 'e', 'f'}));
    EXPECT_EQ(resize(abc, 4, -2), (std::vector<std::uint8_t>{'a', 'b', 'e', 'f'}));
    EXPECT_EQ(resize(abc, 8, 0), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e', 'f', 0, 0}));
    EXPECT_EQ(resize(abc, 8, -2), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e', 'f'}));
}

} // namespace
} // namespace acWorkRes
