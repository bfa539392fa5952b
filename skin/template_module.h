// The empty 1024-byte resource-only module every output module starts from.
#pragma once

#include <cstdint>
#include <span>

namespace skin {

constexpr std::size_t kTemplateModuleSize = 1024;

// The language the build writes every resource in (1049, Russian).
constexpr std::uint16_t kSkinLanguage = 1049;

// The template's bytes: the program's own resource "DLL" #1 on Windows, an
// array compiled in elsewhere. Empty only if the program lost its resource.
std::span<const std::uint8_t> TemplateModule();

} // namespace skin
