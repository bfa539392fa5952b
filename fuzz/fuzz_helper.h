// What the three fuzz targets share: a private program folder with its own
// temporary folder, file helpers, the checks that end a run with a finding,
// and the fixed edits of the module target.
//
// A target body is a plain function (targets.h): libFuzzer calls it through
// LLVMFuzzerTestOneInput, and the regression tests call it with every stored
// input. A broken expectation goes to the violation handler, which aborts by
// default, so that libFuzzer records the input.
#pragma once

#include "acWorkRes/acWorkRes.h"
#include "tests/support/scratch.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ksbfuzz {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

// Where findings go. The default prints the message and aborts.
using ViolationHandler = std::function<void(const std::string& message)>;
void SetViolationHandler(ViolationHandler handler);
void Violation(const std::string& message);
// Violation(message) unless `condition` holds.
void Expect(bool condition, const std::string& message);

// The process's scratch folder, made on first use and removed at exit. Its
// "tmp" subfolder is the updater's temporary folder (TMPDIR) from then on.
const fs::path& ScratchRoot();
fs::path TempFolder();

// Writes `bytes` at `path`; a file that cannot be written is a finding.
void WriteBytes(const fs::path& path, std::span<const std::uint8_t> bytes);
using ksbtest::ReadFile;
using ksbtest::U16;

// The updater's temporary files ("$kiv$res" names) left in the temporary
// folder: each is a finding, and each is removed so that one finding does
// not repeat in every later run.
void ExpectNoTemporaryFiles(const std::string& when);

// The module validator's problems, each a finding.
void ExpectSoundModule(std::span<const std::uint8_t> module, const std::string& what);

// The stored CheckSum of a committed module is the one of its bytes.
void ExpectCommittedModule(std::span<const std::uint8_t> module);

// True for a module whose commit the writer must turn into a sound module:
// the validator finds nothing in it but a stale checksum, and its headers
// make the section's new sizes expressible (see the comment in the source).
bool IsSoundInput(std::span<const std::uint8_t> module);

// The module target's edits, in one update: a named item above the
// in-memory threshold, a numbered item, a string block, and the deletion of
// RCDATA name 1 in every language. The results go into `applied`.
struct FixedEdits {
    bool largeNamed = false;
    bool smallNumbered = false;
    bool stringBlock = false;
};
FixedEdits ApplyFixedEdits(acWorkRes::ResourceUpdateHandle* handle);
// The resources of `before` after the fixed edits, for the results in `applied`.
void ExpectFixedEditsApplied(std::span<const std::uint8_t> before,
                             std::span<const std::uint8_t> after, const FixedEdits& applied);

// ---------------------------------------------------------------- icons

// One image of an .ico file as an independent reading sees it: the 12 entry
// bytes a group directory repeats, and the image's bytes.
struct IcoImage {
    Bytes entry;
    Bytes bytes;
};
// The images of an .ico file, or std::nullopt for a file that holds no
// usable icon (too short for its entries, no images, an image outside the
// file or of 2 GiB or more).
std::optional<std::vector<IcoImage>> ReadIcoImages(std::span<const std::uint8_t> file);

// The group (name or number, language 1049) in `module` lists `images`
// under the IDs firstId, firstId + 1, ..., and each of those RT_ICON
// resources holds its image.
void ExpectIconGroup(std::span<const std::uint8_t> module, const acWorkRes::ResourceId& group,
                     std::span<const std::uint8_t> header, const std::vector<IcoImage>& images,
                     std::uint32_t firstId);

// How many resources of `type` the module holds.
std::size_t CountResources(std::span<const std::uint8_t> module, std::uint32_t type);

// ---------------------------------------------------------------- scripts

// The scratch program folder (ending in "/"): Files\ holds the example
// skin's data files and icons, an empty file and a broken icon; made on
// first use.
const std::u16string& ProgramFolder();
fs::path ProgramPath(const std::string& relative);
// Every file of Files\ but the script is as it was made.
void ExpectDataFilesUnchanged();
// The module's string block 1 holds exactly the entries the script reader
// finds in `script`, as the build lays them out; no string table without any.
void ExpectStringBlockOf(std::span<const std::uint8_t> script,
                         std::span<const std::uint8_t> module);

} // namespace ksbfuzz
