// The script writer: the reader's inverse. Every line it writes, the reader
// reads back to the same request (same text, same key token, same file).
#pragma once

#include "skin/script/script_reader.h"
#include "skin/unpack/unpacked_model.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// A text as a quoted value token: every quote and every backslash doubled,
// since the reader halves pairs of quotes inside quotes and then pairs of
// backslashes, left to right.
std::u16string QuoteScriptText(std::u16string_view text);

// "    3 "text"": one entry of a STRINGTABLE block.
std::u16string StringEntryLine(std::uint32_t entry, std::u16string_view text);

// "101 ICON vistel\icons\101.ico" or "IDR_X RCDATA vistel\data\IDR_X.png".
// `kind` is RequestKind::Icon or RequestKind::RcData; the file name is
// written bare and must hold no separator, quote or pair of backslashes.
std::u16string ResourceLine(std::u16string_view keyToken, RequestKind kind,
                            std::u16string_view file);

// Why a string name cannot be written bare as a key token and come back as
// the same string name; empty when it can.
std::u16string KeyNameProblem(std::u16string_view name);
// Why a text cannot be written as a string entry and come back the same;
// empty when it can.
std::u16string StringTextProblem(std::u16string_view text);

// The whole script of an unpacked module: UTF-8 with its marker, or UTF-16
// little-endian with its marker where a text or a name holds a character
// outside the Basic Multilingual Plane (a surrogate), which only UTF-16
// brings to the reader; CR LF line ends; a STRINGTABLE block with the written
// strings in entry order, then the ICON lines and the RCDATA lines of what is
// written, in the module's order.
std::vector<std::uint8_t> WriteSkinScript(const UnpackedModule& module);

// The requests WriteSkinScript's script asks for, in order: what the reader
// must give back when it reads that script.
std::vector<LineRequest> ScriptRequestsOf(const UnpackedModule& module);

} // namespace skin
