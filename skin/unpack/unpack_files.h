// The files the unpacker writes: the kind of a raw-data resource and its
// extension, file names safe on Windows and Linux alike and unique in their
// folder, and an icon group's .ico file.
#pragma once

#include "skin/unpack/unpacked_model.h"

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// The kind of raw data told from its first bytes, and the file extension
// that goes with it (".png", ..., ".txt", ".bin").
DataKind DataKindOf(std::span<const std::uint8_t> bytes);
std::u16string_view ExtensionOf(DataKind kind);

// The .ico file that gives `group` back when the build imports it: the
// group's header, one 16-byte entry per image (the group entry's first 12
// bytes, the image's size as dwBytesInRes, its offset), then the images.
std::vector<std::uint8_t> IconFileBytes(const UnpackedIconGroup& group);

// Whether the bytes start with the PNG signature.
bool IsPng(std::span<const std::uint8_t> bytes);

// File names of one folder, unique when letter case is ignored.
class FileNames {
public:
    // `name` made safe as one file name (ASCII letters, digits, "-", "_" and
    // "." only, no dot at the end, no device name) with `extension`, and
    // "_2", "_3", ... before it where the name is taken.
    std::u16string Take(std::u16string_view name, std::u16string_view extension);

private:
    std::set<std::u16string> taken_;
};

} // namespace skin
