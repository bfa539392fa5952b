// An independent reader of the modules the updater writes: checks the PE
// structure, the resource directory and the resources this program stores,
// and lists every problem it finds. Used by the tests and the fuzz targets.
#pragma once

#include <compare>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ksbtest {

struct ValidationOptions {
    bool checkChecksum = true;     // the stored CheckSum must be the computed one
    bool checkStringBlocks = true; // RT_STRING blocks hold >= 16 strings, filling them exactly
    bool checkIconGroups = true;   // RT_GROUP_ICON directories name existing RT_ICON resources
};

// The problems found; empty for a sound module.
std::vector<std::string> ValidateModule(std::span<const std::uint8_t> file,
                                        const ValidationOptions& options = {});

// One data leaf of a resource directory, with the path that leads to it.
// A named level has kNamed as its number and its name in the text.
struct ResourceLeaf {
    static constexpr std::uint32_t kNamed = 0xFFFFFFFFu;
    std::uint32_t type = 0;
    std::u16string typeName;
    std::uint32_t name = 0;
    std::u16string nameText;
    std::uint32_t language = 0;
    std::vector<std::uint8_t> data;

    friend bool operator==(const ResourceLeaf&, const ResourceLeaf&) = default;
    friend auto operator<=>(const ResourceLeaf&, const ResourceLeaf&) = default;
};

// The data leaves of the module's resource directory at the depth of a
// language, in directory order; what ValidateModule would complain about is
// skipped. Empty for a module without a readable resource directory.
std::vector<ResourceLeaf> ListResources(std::span<const std::uint8_t> file);

// The PE image checksum of a whole file, its CheckSum field counted as zero.
std::uint32_t ComputeImageChecksum(std::span<const std::uint8_t> file);

} // namespace ksbtest
