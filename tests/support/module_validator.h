// An independent reader of the modules the updater writes: checks the PE
// structure, the resource directory and the resources this program stores,
// and lists every problem it finds. Used by the tests and the fuzz targets.
#pragma once

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

// The PE image checksum of a whole file, its CheckSum field counted as zero.
std::uint32_t ComputeImageChecksum(std::span<const std::uint8_t> file);

} // namespace ksbtest
