// The unpacker's folder side: which modules a skin folder holds, the script
// each one becomes, and the new output folder: Files\ with the scripts, the
// icons and the raw data, and the sheet.
#pragma once

#include "platform/platform.h"
#include "skin/unpack/unpacked_model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// A temporary folder an earlier unpack left behind, and its process.
struct StaleFolder {
    std::u16string path;
    std::uint32_t process = 0;
};

// One module to read: where it lies (a native path, as JoinPath gives) and
// how the report names it ("_skin\vistel.dll", or the path as given).
struct ModuleFile {
    std::u16string path;
    std::u16string shown;
};

// A module's bytes as the unpacker holds them: a read-only view of the file,
// or, where it cannot be mapped, a copy. The model's views point into it.
struct ModuleBytes {
    platform::Mapping mapping;
    platform::FileBytes copy;

    std::span<const std::uint8_t> Bytes() const {
        return mapping ? std::span<const std::uint8_t>(mapping.Bytes()) : copy.Bytes();
    }
};

// Lets the pages of the module's bytes go until they are next read: once
// its resources are read, once its files are written, once its section of
// the sheet is written. Nothing for a module whose bytes the caller holds.
void ReleaseModuleBytes(const UnpackedModule& module);

// Writes the sheet to its file as it is made: `write` takes its parts in order.
using SheetWriter = std::function<void(const std::function<void(std::string_view part)>& write)>;
// Told, with its index, when a module's files are written (and its pages let go).
using FilesWritten = std::function<void(std::size_t module)>;

// The modules of a _skin folder (`folder` ends in a separator): the files
// ending in ".dll", whatever their letter case, those of the build's table
// first in its order, the others after by name.
std::vector<ModuleFile> ModulesInFolder(const std::u16string& folder);

// The script a module gives: its row's script for the eight modules the
// build writes ("tavo_pics.dll" -> "tavo.rc", letter case ignored), else
// the module's name with ".rc" for ".dll"; `known` tells which.
std::u16string ScriptForModule(std::u16string_view moduleFileName, bool& known);

// Reads and unpacks every module. A module that cannot be read ends the
// run with a GeneralError naming it and the reason; nothing is written.
// Two modules that would give one script (letter case aside) get "_2" and
// so on; every script outside the table gets a note.
// `language` picks the language of resources held in several (UnpackModule).
UnpackedSkin UnpackModules(const std::vector<ModuleFile>& modules,
                           std::optional<std::uint16_t> language = std::nullopt);

// Writes the unpacked skin as the new folder `target`: Files\<script>,
// Files\<stem>\icons\..., Files\<stem>\data\... (a module at a time, its
// bytes released after it) and skin.html as `sheet` writes it. Everything is written into a
// temporary folder beside `target`, which is renamed to it last. A `target` that exists and holds
// anything, or is no folder, is refused before anything is written. A
// failure removes the temporary folder and throws a GeneralError naming the
// file and the reason.
// Returns the temporary folders of earlier unpacks that it removed
// (ClearStaleFolders on the target's parent).
std::vector<StaleFolder> WriteUnpackedFolder(const UnpackedSkin& skin, const std::u16string& target,
                                             const SheetWriter& sheet,
                                             const FilesWritten& filesWritten = {});
// The same with the whole sheet at hand.
std::vector<StaleFolder> WriteUnpackedFolder(const UnpackedSkin& skin, const std::u16string& target,
                                             std::string_view sheetHtml);

// Removes, in `parent` (a folder ending in a separator, or empty for the
// current one), every folder named as the unpacker names its temporary
// folders ("<name>.unpacking-<process number>") whose process no longer
// runs: an unpack that was killed left it. Nothing else is touched. Returns
// them, by path.
std::vector<StaleFolder> ClearStaleFolders(const std::u16string& parent);

} // namespace skin
