// What the unpacker found in a skin's modules, as plain values: the icons,
// strings and raw data of each module, the file each went to, and what the
// script language cannot express. The unpacker fills it; the sheet
// (skin.html) and the report are views over it.
//
// The resources' bytes are not copied: they are views into the module's
// bytes, which live as long as the model (UnpackedModule::source holds them
// when the unpacker read the module; a caller that hands its own bytes to
// UnpackModule keeps them).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace skin {

// One image of an icon group: its group directory entry and its RT_ICON bytes.
struct UnpackedIconImage {
    std::uint16_t iconId = 0; // the RT_ICON number the group names
    std::uint32_t width = 0;  // in pixels (a directory byte of 0 reads as 256)
    std::uint32_t height = 0;
    std::uint16_t bitCount = 0;          // bits per pixel as the group directory gives it
    std::uint8_t colorCount = 0;         // palette colours as the group directory gives it
    bool png = false;                    // the image is PNG data rather than a DIB
    std::span<const std::uint8_t> bytes; // the RT_ICON resource's data
    // The group directory entry's first 12 bytes (bWidth to dwBytesInRes),
    // which the .ico entry repeats ahead of its image offset.
    std::span<const std::uint8_t> entry;
};

// The kind of a raw-data resource, told from its first bytes.
enum class DataKind { Png, Bmp, Gif, Jpeg, Wav, Text, Binary };

struct UnpackedIconGroup {
    std::u16string key;  // the key token as the script writes it ("101", "IDI_TRAY")
    std::u16string file; // relative to Files\, "\"-separated ("vistel\icons\101.ico")
    std::uint16_t language = 0;
    std::vector<UnpackedIconImage> images; // in the group directory's order
    std::span<const std::uint8_t> header;  // the group's 6-byte header, the .ico's as well
    // Why the script does not hold this group, in a few words ("name no key
    // token can carry"); empty when it is written.
    std::u16string notWritten;
};

struct UnpackedData {
    std::u16string key;
    std::u16string file;
    std::uint16_t language = 0;
    DataKind kind = DataKind::Binary;
    std::span<const std::uint8_t> bytes;
    // Why the script does not hold this resource, in a few words; empty when
    // it is written.
    std::u16string notWritten;
};

struct UnpackedString {
    std::uint32_t entry = 0; // the entry's number: 1, 2, ... (past 15 none can be loaded)
    std::u16string text;
    bool cut = false;    // the text the block holds was cut (shown as such on the sheet)
    bool written = true; // false: listed among the findings instead (a gap before it, ...)
    // Why it is not written, in a few words ("gap before entry 7"); empty
    // when it is written.
    std::u16string notWritten;
};

// A resource, or a part of one, that no script line can give back, with the
// reason's stable name ("unexpressible-type", ...), or a note about the
// module as a whole (a language other than 1049, icon IDs renumbered).
struct UnpackedFinding {
    bool warning = true; // false for a note
    std::u16string text; // "RT_BITMAP 104 (language 1033) cannot be written in a skin script"
    std::string name;    // "unexpressible-type"
};

// A module's bytes as the unpacker holds them (a view of the file).
struct ModuleBytes;

struct UnpackedModule {
    std::u16string moduleFile;            // as given or found ("_skin\vistel.dll")
    std::u16string script;                // the script written, relative to Files\ ("vistel.rc")
    std::vector<UnpackedIconGroup> icons; // in the order of the script's lines
    std::vector<UnpackedString> strings;  // in entry order
    std::vector<UnpackedData> data;       // in the order of the script's lines
    std::vector<UnpackedFinding> findings;
    // The bytes the views above point into, when the unpacker read the module.
    std::shared_ptr<const ModuleBytes> source;
};

struct UnpackedSkin {
    std::vector<UnpackedModule> modules; // in the order of the build's table, others after
};

} // namespace skin
