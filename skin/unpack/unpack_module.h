// The unpacker's reading side: a module's bytes to the icons, strings and raw
// data a skin script can give back, and a finding for everything else.
//
// The module is read through the updater's reading side (headers, section
// lookup, ParseResourceDirectory); nothing here parses PE structures itself.
#pragma once

#include "skin/unpack/unpack_files.h"
#include "skin/unpack/unpacked_model.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// Fills `module` from a module's bytes. `module.moduleFile` and
// `module.script` are the caller's: the script's name ("vistel.rc") places
// the files ("vistel\icons\101.ico"). Of a resource held in several
// languages, `language` is taken where it is there, else 1049, else English,
// else language-neutral, else the lowest; a note names the one taken when it
// is not 1049. Findings that say the same of several languages of one
// resource are one finding naming them all. False, with the reason in
// `error`, when the bytes are no 32-bit module with a readable resource
// section; `module` then holds nothing of them.
bool UnpackModule(std::span<const std::uint8_t> bytes, UnpackedModule& module,
                  std::u16string& error, std::optional<std::uint16_t> language = std::nullopt);

// A finding as the report prints it: "module: warning: text [name]".
std::u16string UnpackFindingLine(const UnpackedModule& module, const UnpackedFinding& finding);

} // namespace skin
