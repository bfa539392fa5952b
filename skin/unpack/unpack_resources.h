// The unpacker's first step: a module's resource tree read to the depth the
// loader reads (type, name, language), what the template put there left
// out, and the language a script gets of a resource held in several; with
// the words findings use to name a resource and its languages.
//
// Every resource is a view into the module's bytes: they outlive what is
// read from them.
#pragma once

#include "acWorkRes/resource_tree.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace skin::unpack {

constexpr std::uint32_t kLastNumber = 0xFFFF;

// A type, name or language as the directory gives it: a number (any 32-bit
// value the entry holds) or a name.
struct Key {
    std::uint32_t id = 0;
    std::u16string name;

    bool IsName() const { return !name.empty(); }
    bool IsNumber(std::uint32_t n) const { return !IsName() && id == n; }
};

struct Resource {
    Key type;
    Key name;
    std::uint32_t language = 0;
    std::span<const std::uint8_t> data;
};

// The languages of one (type, name), in the directory's order.
struct NamedResource {
    Key type;
    Key name;
    std::vector<Resource> languages;
};

// "RT_ICON", "type 300", "type \"PNG\"".
std::u16string TypeText(const Key& type);
// "101", "\"IDI_TRAY\"".
std::u16string NameText(const Key& name);
// " (language 1033)", or " in 39 languages (1025, 1026, ...)" for several.
std::u16string LanguagesText(std::vector<std::uint32_t> languages);

// The language of a resource the script gets, where the module holds it in
// several: `wanted` where it is there, else 1049 (the build's own), else
// English (the lowest of primary language 0x09), else language-neutral
// (primary 0), else the lowest.
std::size_t ChooseLanguage(const std::vector<Resource>& languages,
                           std::optional<std::uint16_t> wanted);

// The leaves of a parsed tree at the depth the loader reads (type, name,
// numbered language), grouped by (type, name); `odd` receives a text for
// every entry that stands elsewhere.
void CollectResources(const acWorkRes::TResItem& root, std::vector<NamedResource>& out,
                      std::vector<std::u16string>* odd);

// The tree of a module's resource section; nullptr with `error` set when
// the bytes hold none that can be read.
std::unique_ptr<acWorkRes::TResItem> ReadTree(std::span<const std::uint8_t> bytes,
                                              std::u16string& error);

// Whether the template module holds this resource unchanged: every build
// starts from it, so it is left out.
bool FromTemplate(const Resource& resource);

} // namespace skin::unpack
