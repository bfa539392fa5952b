#include "fuzz/targets.h"

#include "app/unpack/skin_sheet.h"
#include "fuzz/fuzz_helper.h"
#include "platform/platform.h"
#include "skin/build_driver.h"
#include "skin/check/script_check.h"
#include "skin/template_module.h"
#include "skin/unpack/unpack_folder.h"
#include "skin/unpack/unpack_module.h"

#include <algorithm>
#include <string_view>

namespace ksbfuzz {

void ModuleTarget(std::span<const std::uint8_t> input) {
    const fs::path module = ScratchRoot() / "module.dll";
    WriteBytes(module, input);
    platform::SetLastError(0);
    acWorkRes::ResourceUpdateHandle* handle = acWorkRes::BeginResourceUpdate(U16(module), false);
    if (!handle) {
        Expect(platform::LastError() != 0, "refused without an error code");
        Expect(ReadFile(module) == Bytes(input.begin(), input.end()), "a refused module changed");
    } else {
        const FixedEdits applied = ApplyFixedEdits(handle);
        const bool committed = acWorkRes::EndResourceUpdate(handle, false);
        const Bytes output = ReadFile(module);
        if (!committed) {
            Expect(output == Bytes(input.begin(), input.end()),
                   "a failed commit changed the module");
        } else {
            // Whatever else the module holds, the updater reads back the
            // section it wrote, and the checksum is the file's own.
            ExpectCommittedModule(output);
            acWorkRes::ResourceUpdateHandle* again =
                acWorkRes::BeginResourceUpdate(U16(module), false);
            Expect(again != nullptr, "the committed module cannot be opened again");
            acWorkRes::EndResourceUpdate(again, true);
            if (IsSoundInput(input)) {
                ExpectSoundModule(output, "committed module");
                ExpectFixedEditsApplied(input, output, applied);
            }
        }
    }
    ExpectNoTemporaryFiles("by the module target");
}

void IconTarget(std::span<const std::uint8_t> input) {
    const fs::path module = ScratchRoot() / "icons.dll";
    const fs::path icon = ScratchRoot() / "input.ico";
    WriteBytes(module, skin::TemplateModule());
    WriteBytes(icon, input);
    acWorkRes::ResourceUpdateHandle* handle = acWorkRes::BeginResourceUpdate(U16(module), false);
    Expect(handle != nullptr, "the template cannot be opened");
    const auto images = ReadIcoImages(input);
    const std::uint32_t expected = images ? 0 : platform::kErrorInvalidData;
    // Imported under a name, under a number, then under the name again,
    // which replaces the first group and hands its IDs on.
    for (const acWorkRes::ResourceId& name :
         {acWorkRes::ResourceId(u"FUZZ"), acWorkRes::ResourceId(1), acWorkRes::ResourceId(u"FUZZ")})
        Expect(acWorkRes::AddIconFromFile(handle, name, 1049, U16(icon)) == expected,
               "unexpected import result");
    Expect(acWorkRes::EndResourceUpdate(handle, false), "the commit failed");
    const Bytes output = ReadFile(module);
    ExpectSoundModule(output, "module with imported icons");
    const std::uint32_t count = images ? static_cast<std::uint32_t>(images->size()) : 0;
    Expect(CountResources(output, 3) == 2 * count, "images left over or missing");
    if (images) {
        ExpectIconGroup(output, u"FUZZ", input, *images, 50);
        ExpectIconGroup(output, std::uint16_t{1}, input, *images, 50 + count);
    }
    ExpectNoTemporaryFiles("by the icon target");
}

namespace {

class CollectedLog final : public skin::BuildLog {
public:
    void AppendLine(std::u16string_view line) override { last = line; }
    std::u16string last;
};

} // namespace

void ScriptTarget(std::span<const std::uint8_t> input) {
    // One build per input, behind the marker its first byte picks: the
    // fuzzer reaches every encoding by changing that byte, at a quarter of
    // the cost of building every input behind all four markers.
    const Bytes markers[] = {{0xFF, 0xFE}, {0xFE, 0xFF}, {0xEF, 0xBB, 0xBF}, {}};
    const std::size_t pick =
        input.empty() ? std::size(markers) - 1 : input.front() % std::size(markers);
    Bytes script = markers[pick];
    if (!input.empty())
        script.insert(script.end(), input.begin() + 1, input.end());
    WriteBytes(ProgramPath("Files/vistel.rc"), script);
    CollectedLog log;
    std::vector<std::u16string> usedFiles;
    try {
        skin::BuildSkins(false, ProgramFolder(), log, usedFiles);
        Expect(log.last.find(u"not found !") != std::u16string::npos,
               "the build did not end with the last row");
        const Bytes output = ReadFile(ProgramPath("_skin/vistel.dll"));
        ExpectSoundModule(output, "built module");
        ExpectStringBlockOf(script, output);
    } catch (const skin::GeneralError& error) {
        Expect(error.Message().starts_with(u"Cannot open file \""), "unexpected build error");
    }
    Expect(!usedFiles.empty() && usedFiles.front() == u"vistel.rc",
           "the script is not the first used file");
    // The checker reads the same script: every finding names one of its lines
    // (line 1 of a script that reads as empty for its encoding).
    const std::size_t lines = std::max<std::size_t>(skin::LoadScriptLines(script).size(), 1);
    for (const skin::Finding& finding : skin::CheckSkin(ProgramFolder()).findings)
        Expect(finding.line <= lines, "a finding past the script's last line");
    ExpectDataFilesUnchanged();
    ExpectNoTemporaryFiles("by the script target");
}

namespace {

std::size_t Occurrences(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + 1))
        ++n;
    return n;
}

// Everything module bytes put on the sheet is escaped: the page has as many
// pictures and findings as the module gives, however hostile its texts.
void ExpectSheetOf(const skin::UnpackedSkin& unpacked, std::string_view page) {
    const skin::UnpackedModule& module = unpacked.modules.front();
    std::size_t pictures = 0;
    for (const skin::UnpackedIconGroup& group : module.icons)
        pictures += group.images.size();
    for (const skin::UnpackedData& data : module.data)
        pictures += data.kind == skin::DataKind::Png || data.kind == skin::DataKind::Bmp ||
                    data.kind == skin::DataKind::Gif || data.kind == skin::DataKind::Jpeg;
    Expect(Occurrences(page, "<img ") == pictures, "the sheet's pictures are not the module's");
    Expect(Occurrences(page, "<li class=\"") == module.findings.size(),
           "the sheet's findings are not the module's");
}

// What a second unpacking must give again: key, file bytes and text only,
// since the rebuilt module numbers its images from 50 and gives every
// resource the build's language.
struct Expressed {
    std::vector<std::pair<std::u16string, Bytes>> icons; // key, then the .ico file
    std::vector<std::pair<std::u16string, Bytes>> data;
    std::vector<std::pair<std::uint32_t, std::u16string>> strings;
};

Expressed ExpressedOf(const skin::UnpackedModule& module) {
    Expressed out;
    // The .ico file holds the group's header and entries with the images' own
    // sizes, but not the image IDs.
    for (const skin::UnpackedIconGroup& group : module.icons)
        if (group.notWritten.empty())
            out.icons.emplace_back(group.key, skin::IconFileBytes(group));
    for (const skin::UnpackedData& data : module.data)
        if (data.notWritten.empty())
            out.data.emplace_back(data.key, Bytes(data.bytes.begin(), data.bytes.end()));
    for (const skin::UnpackedString& string : module.strings)
        if (string.written)
            out.strings.emplace_back(string.entry, string.text);
    std::sort(out.data.begin(), out.data.end());
    return out;
}

} // namespace

void UnpackTarget(std::span<const std::uint8_t> input) {
    skin::UnpackedSkin unpacked;
    skin::UnpackedModule& module = unpacked.modules.emplace_back();
    module.moduleFile = u"_skin\\vistel.dll";
    module.script = u"vistel.rc";
    std::u16string error;
    if (!skin::UnpackModule(input, module, error)) {
        Expect(!error.empty(), "a module refused without a reason");
        Expect(module.icons.empty() && module.strings.empty() && module.data.empty() &&
                   module.findings.empty(),
               "a refused module left parts behind");
        return;
    }
    const std::string page = app::unpack::SkinSheetHtml(unpacked);
    ExpectSheetOf(unpacked, page);

    // Written as a new folder and built there as a program folder.
    const fs::path out = ScratchRoot() / "unpacked";
    fs::remove_all(out);
    CollectedLog log;
    std::vector<std::u16string> usedFiles;
    try {
        skin::WriteUnpackedFolder(unpacked, U16(out), page);
        skin::BuildSkins(false, U16(out) + u"/", log, usedFiles);
    } catch (const skin::GeneralError& failure) {
        Violation("the unpacked folder does not build: " +
                  platform::Utf16ToUtf8(failure.Message()));
        return;
    }
    const Bytes rebuilt = ReadFile(out / "_skin" / "vistel.dll");
    ExpectSoundModule(rebuilt, "rebuilt module");
    skin::UnpackedModule again;
    again.moduleFile = module.moduleFile;
    again.script = module.script;
    Expect(skin::UnpackModule(rebuilt, again, error), "the rebuilt module cannot be unpacked");
    // A fresh build of the script gives nothing to report: no other language,
    // no gap in the icon IDs, nothing the script could not carry.
    for (const skin::UnpackedFinding& finding : again.findings)
        Violation("the rebuilt module has a finding: " + finding.name);
    const Expressed before = ExpressedOf(module);
    const Expressed after = ExpressedOf(again);
    Expect(after.icons == before.icons, "the rebuilt module's icon groups differ");
    Expect(after.data == before.data, "the rebuilt module's raw data differ");
    Expect(after.strings == before.strings, "the rebuilt module's strings differ");
    ExpectNoTemporaryFiles("by the unpack target");
}

} // namespace ksbfuzz
