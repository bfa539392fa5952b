// The bodies of the fuzz targets, one per parser. Each takes one input,
// runs it through the real code in a private scratch folder and reports
// every broken expectation to the violation handler (fuzz_helper.h).
#pragma once

#include <cstdint>
#include <span>

namespace ksbfuzz {

// The input as a module file: opened for update, the fixed edits applied,
// committed, and the result re-opened and checked.
void ModuleTarget(std::span<const std::uint8_t> input);

// The input as an .ico file, imported three times into a template copy
// (under a name, under a number, and under the name again), committed and
// checked.
void IconTarget(std::span<const std::uint8_t> input);

// The input as a skin script: its first byte picks the marker (modulo 4:
// UTF-16 LE, UTF-16 BE, UTF-8, none), the rest is the text behind it. Built
// in full in a scratch program folder, the module checked, and the checker
// run over the same script.
void ScriptTarget(std::span<const std::uint8_t> input);

// The input as a module given to the unpacker: unpacked, its sheet made, the
// folder written and built again, and the rebuilt module unpacked: every
// resource the script could carry comes back the same, with nothing left to
// report.
void UnpackTarget(std::span<const std::uint8_t> input);

} // namespace ksbfuzz
