#include "fuzz/fuzz_helper.h"

#include "acWorkRes/byte_reader.h"
#include "skin/script/script_reader.h"
#include "support/module_validator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace ksbfuzz {

namespace {

ViolationHandler& Handler() {
    static ViolationHandler handler;
    return handler;
}

} // namespace

void SetViolationHandler(ViolationHandler handler) {
    Handler() = std::move(handler);
}

void Violation(const std::string& message) {
    if (Handler()) {
        Handler()(message);
        return;
    }
    std::fprintf(stderr, "fuzz finding: %s\n", message.c_str());
    std::abort();
}

void Expect(bool condition, const std::string& message) {
    if (!condition)
        Violation(message);
}

namespace {

// The scratch folder, removed when the process ends normally; its "tmp" is
// the updater's temporary folder from then on.
const ksbtest::TempScratchFolder& Scratch() {
    static const ksbtest::TempScratchFolder scratch("fuzz");
    return scratch;
}

} // namespace

const fs::path& ScratchRoot() {
    return Scratch().Root();
}

fs::path TempFolder() {
    return Scratch().TempFolder();
}

void WriteBytes(const fs::path& path, std::span<const std::uint8_t> bytes) {
    if (!ksbtest::WriteFile(path, bytes))
        Violation("cannot write the scratch file " + path.string());
}

void ExpectNoTemporaryFiles(const std::string& when) {
    for (const fs::path& file : ksbtest::UpdaterTempFiles(TempFolder())) {
        std::error_code ignored;
        fs::remove(file, ignored);
        Violation("temporary file " + file.filename().string() + " left " + when);
    }
}

void ExpectSoundModule(std::span<const std::uint8_t> module, const std::string& what) {
    for (const std::string& problem : ksbtest::ValidateModule(module))
        Violation(what + ": " + problem);
}

void ExpectCommittedModule(std::span<const std::uint8_t> module) {
    const acWorkRes::ByteReader in(module);
    const auto nt = in.U32(0x3C);
    const auto stored = nt ? in.U32(std::uint64_t{*nt} + 24 + 64) : std::nullopt;
    Expect(stored && *stored == ksbtest::ComputeImageChecksum(module),
           "the committed module's CheckSum is not its own");
}

bool IsSoundInput(std::span<const std::uint8_t> module) {
    if (!ksbtest::ValidateModule(module, {.checkChecksum = false}).empty())
        return false;
    // The writer moves the image behind the section by the change of the
    // resource table's size rounded to SectionAlignment, and the file behind
    // it by the change of SizeOfRawData rounded to FileAlignment. The result
    // adds up only where the old table size, rounded, is the section's extent
    // in the image, and where a file unit is no larger than an image unit.
    const acWorkRes::ByteReader in(module);
    const std::uint64_t nt = *in.U32(0x3C);
    const std::uint64_t optional = nt + 24;
    const std::uint32_t sectionAlignment = *in.U32(optional + 32);
    const std::uint32_t fileAlignment = *in.U32(optional + 36);
    const std::uint32_t resourceRva = *in.U32(optional + 96 + 16);
    const std::uint32_t tableSize = *in.U32(optional + 96 + 20);
    if (fileAlignment > sectionAlignment)
        return false;
    const auto round = [&](std::uint64_t v) {
        return (v + sectionAlignment - 1) / sectionAlignment * sectionAlignment;
    };
    const std::uint16_t sections = *in.U16(nt + 6);
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::uint64_t header = optional + 224 + 40ull * i;
        if (*in.U32(header + 12) != resourceRva)
            continue;
        const std::uint32_t extent = std::max(*in.U32(header + 8), *in.U32(header + 16));
        return round(tableSize) == round(extent);
    }
    return false;
}

namespace {

constexpr std::uint16_t kLanguage = 1049;
constexpr std::uint32_t kLargeSize = 40000; // above the 32768 bytes kept in memory

Bytes LargeItem() {
    Bytes data(kLargeSize);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return data;
}

const Bytes kSmallItem = {'s', 'e', 'v', 'e', 'n'};

// Entry 0 empty, entry 1 "fuzz", fourteen more empty entries.
Bytes StringBlockItem() {
    Bytes block(32, 0);
    const char16_t text[] = u"fuzz";
    Bytes entry = {4, 0};
    for (char16_t c : std::u16string_view(text))
        entry.insert(entry.end(),
                     {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    block.insert(block.begin() + 2, entry.begin(), entry.end());
    return block;
}

ksbtest::ResourceLeaf Leaf(std::uint32_t type, std::uint32_t name, std::u16string nameText,
                           Bytes data) {
    ksbtest::ResourceLeaf leaf;
    leaf.type = type;
    leaf.name = name;
    leaf.nameText = std::move(nameText);
    leaf.language = kLanguage;
    leaf.data = std::move(data);
    return leaf;
}

} // namespace

FixedEdits ApplyFixedEdits(acWorkRes::ResourceUpdateHandle* handle) {
    using namespace acWorkRes;
    FixedEdits applied;
    const Bytes large = LargeItem();
    const Bytes block = StringBlockItem();
    applied.largeNamed =
        UpdateResourceItem(handle, kRtRcData, u"FUZZ", kLanguage, large.data(), kLargeSize);
    applied.smallNumbered =
        UpdateResourceItem(handle, kRtRcData, std::uint16_t{7}, kLanguage, kSmallItem.data(),
                           static_cast<std::uint32_t>(kSmallItem.size()));
    applied.stringBlock =
        UpdateResourceItem(handle, kRtString, std::uint16_t{1}, kLanguage, block.data(),
                           static_cast<std::uint32_t>(block.size()));
    Expect(UpdateResourceItem(handle, kRtRcData, std::uint16_t{1}, 0, nullptr, 0),
           "a deletion failed");
    return applied;
}

void ExpectFixedEditsApplied(std::span<const std::uint8_t> before,
                             std::span<const std::uint8_t> after, const FixedEdits& applied) {
    using ksbtest::ResourceLeaf;
    std::vector<ResourceLeaf> expected = ksbtest::ListResources(before);
    const auto named = [](std::uint32_t type, std::uint32_t name, const char16_t* text,
                          std::uint32_t language) {
        return [=](const ResourceLeaf& l) {
            return l.type == type && l.name == name && l.nameText == text && l.language == language;
        };
    };
    if (applied.largeNamed)
        std::erase_if(expected, named(10, ResourceLeaf::kNamed, u"FUZZ", kLanguage));
    if (applied.smallNumbered)
        std::erase_if(expected, named(10, 7, u"", kLanguage));
    if (applied.stringBlock)
        std::erase_if(expected, named(6, 1, u"", kLanguage));
    // Language 0 deletes only a language-neutral leaf where there is one,
    // else the name in every language.
    const bool neutral = std::any_of(expected.begin(), expected.end(), named(10, 1, u"", 0));
    std::erase_if(expected, [&](const ResourceLeaf& l) {
        return l.type == 10 && l.name == 1 && (!neutral || l.language == 0);
    });
    if (applied.largeNamed)
        expected.push_back(Leaf(10, ResourceLeaf::kNamed, u"FUZZ", LargeItem()));
    if (applied.smallNumbered)
        expected.push_back(Leaf(10, 7, u"", kSmallItem));
    if (applied.stringBlock)
        expected.push_back(Leaf(6, 1, u"", StringBlockItem()));

    std::vector<ResourceLeaf> actual = ksbtest::ListResources(after);
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    if (actual != expected)
        Violation("the committed module holds " + std::to_string(actual.size()) +
                  " resources, not the " + std::to_string(expected.size()) + " expected");
}

} // namespace ksbfuzz

namespace ksbfuzz {

// ---------------------------------------------------------------- icons

std::optional<std::vector<IcoImage>> ReadIcoImages(std::span<const std::uint8_t> file) {
    const acWorkRes::ByteReader in(file);
    const std::uint32_t count = in.U16(4).value_or(0);
    if (count == 0 || file.size() < 6 + 16ull * count)
        return std::nullopt;
    std::vector<IcoImage> images;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint64_t entry = 6 + 16ull * k;
        const std::uint64_t size = *in.U32(entry + 8);
        const std::uint64_t offset = *in.U32(entry + 12);
        if (size >= 0x80000000u || offset > file.size() || size > file.size() - offset)
            return std::nullopt;
        images.push_back({Bytes(file.begin() + entry, file.begin() + entry + 12),
                          Bytes(file.begin() + offset, file.begin() + offset + size)});
    }
    return images;
}

namespace {

const ksbtest::ResourceLeaf* FindLeaf(const std::vector<ksbtest::ResourceLeaf>& leaves,
                                      std::uint32_t type, const acWorkRes::ResourceId& name,
                                      std::uint32_t language) {
    for (const ksbtest::ResourceLeaf& l : leaves) {
        const bool sameName =
            name.IsName() ? (l.name == ksbtest::ResourceLeaf::kNamed && l.nameText == name.Name())
                          : l.name == name.Number();
        if (l.type == type && sameName && l.language == language)
            return &l;
    }
    return nullptr;
}

} // namespace

void ExpectIconGroup(std::span<const std::uint8_t> module, const acWorkRes::ResourceId& group,
                     std::span<const std::uint8_t> header, const std::vector<IcoImage>& images,
                     std::uint32_t firstId) {
    const std::vector<ksbtest::ResourceLeaf> leaves = ksbtest::ListResources(module);
    const ksbtest::ResourceLeaf* directory = FindLeaf(leaves, 14, group, kLanguage);
    if (!directory) {
        Violation("icon group missing");
        return;
    }
    Bytes expected(header.begin(), header.begin() + 6);
    for (std::size_t k = 0; k < images.size(); ++k) {
        const std::uint32_t id = firstId + static_cast<std::uint32_t>(k);
        expected.insert(expected.end(), images[k].entry.begin(), images[k].entry.end());
        expected.insert(expected.end(),
                        {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8)});
        const ksbtest::ResourceLeaf* image =
            FindLeaf(leaves, 3, static_cast<std::uint16_t>(id), kLanguage);
        Expect(image && image->data == images[k].bytes,
               "RT_ICON " + std::to_string(id) + " does not hold its image");
    }
    Expect(directory->data == expected, "icon group directory differs");
}

std::size_t CountResources(std::span<const std::uint8_t> module, std::uint32_t type) {
    const auto leaves = ksbtest::ListResources(module);
    return static_cast<std::size_t>(
        std::count_if(leaves.begin(), leaves.end(),
                      [&](const ksbtest::ResourceLeaf& l) { return l.type == type; }));
}

// ---------------------------------------------------------------- scripts

namespace {

struct ProgramFiles {
    std::u16string folder;
    std::vector<std::pair<fs::path, Bytes>> files; // every data file and its bytes
};

ProgramFiles MakeProgramFolder() {
    ProgramFiles made;
    const fs::path root = ScratchRoot() / "program";
    const fs::path files = root / "Files";
    fs::create_directories(files / "data");
    fs::create_directories(files / "icons");
    const fs::path examples = fs::path(KSB_SOURCE_DIR) / "examples" / "Files";
    for (const char* sub : {"data", "icons"}) {
        for (const auto& entry : fs::directory_iterator(examples / sub))
            fs::copy_file(entry.path(), files / sub / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    }
    WriteBytes(files / "data" / "empty.bin", {});
    const Bytes bad = {0, 0, 1, 0, 2, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0xFF, 0xFF, 0, 0, 22, 0, 0, 0};
    WriteBytes(files / "icons" / "bad.ico", bad);
    for (const auto& entry : fs::recursive_directory_iterator(files))
        if (entry.is_regular_file())
            made.files.emplace_back(entry.path(), ReadFile(entry.path()));
    made.folder = U16(root) + u"/";
    return made;
}

const ProgramFiles& Program() {
    static const ProgramFiles program = MakeProgramFolder();
    return program;
}

} // namespace

const std::u16string& ProgramFolder() {
    return Program().folder;
}

fs::path ProgramPath(const std::string& relative) {
    Program(); // made on first use
    return ScratchRoot() / "program" / relative;
}

void ExpectDataFilesUnchanged() {
    for (const auto& [path, bytes] : Program().files)
        Expect(ReadFile(path) == bytes, "the build changed " + path.string());
}

void ExpectStringBlockOf(std::span<const std::uint8_t> script,
                         std::span<const std::uint8_t> module) {
    Bytes expected = {0, 0};
    std::size_t entries = 0;
    for (const skin::LineRequest& request : skin::ReadScriptRequests(script)) {
        if (request.kind != skin::RequestKind::StringEntry)
            continue;
        const std::size_t length = std::min<std::size_t>(request.value.size(), 0xFFFF);
        expected.push_back(static_cast<std::uint8_t>(length));
        expected.push_back(static_cast<std::uint8_t>(length >> 8));
        for (std::size_t i = 0; i < length; ++i) {
            expected.push_back(static_cast<std::uint8_t>(request.value[i]));
            expected.push_back(static_cast<std::uint8_t>(request.value[i] >> 8));
        }
        ++entries;
    }
    for (std::size_t n = entries + 1; n < 16; ++n)
        expected.insert(expected.end(), {0, 0});
    const auto leaves = ksbtest::ListResources(module);
    const ksbtest::ResourceLeaf* block = FindLeaf(leaves, 6, std::uint16_t{1}, kLanguage);
    if (entries == 0) {
        Expect(CountResources(module, 6) == 0, "a string table without string entries");
        return;
    }
    Expect(CountResources(module, 6) == 1, "more than one string table");
    Expect(block && block->data == expected,
           "string block 1 does not hold the script's " + std::to_string(entries) + " entries");
}

} // namespace ksbfuzz
