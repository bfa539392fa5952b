// The unpacker's sheet (skin.html): a whole skin on one page, for people.
//
// A view over the plain values the unpacker hands over (skin/unpacked_model.h):
// one section per module with its icon groups drawn image by image, its
// string entries, its raw data and what the script language could not
// express. The page works offline and shows everything without running a
// script: styles are inline, icon images are data: URIs (but the one a
// browser draws from its group's icon file, which is referenced), and raw
// data is referenced by a relative URL under Files/ (the page lies in the
// folder that holds Files/), so a 40 MB skin does not become an 80 MB page.
//
// Everything that comes from a module (names, texts, paths) is escaped; a
// Content-Security-Policy allows no network, no script of its own, and only
// the one inline handler that marks an image that failed to decode
// (data-broken="1"), which a browser-driven check reads back.
#pragma once

#include "skin/unpack/unpacked_model.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace app::unpack {

// Where the page goes as it is made: its UTF-8 bytes in order, a part at a time.
using SheetOutput = std::function<void(std::string_view part)>;
// Called once a module's section is written: its bytes are not read again.
using SectionDone = std::function<void(const skin::UnpackedModule& module)>;

class PngsAhead;

// Writes the page as it is made: the head, then one module's section at a
// time, so that no more than one section is held at once. `ahead`, when
// given, holds images converted meanwhile (pngs_ahead.h).
void WriteSkinSheet(const skin::UnpackedSkin& skin, const SheetOutput& write,
                    const SectionDone& sectionDone = {}, PngsAhead* ahead = nullptr);

// The whole page as UTF-8.
std::string SkinSheetHtml(const skin::UnpackedSkin& skin);

// The parts of the page that have rules of their own, for the tests.

// The data: URI of an icon image: image/png for PNG data; a DIB becomes a
// PNG file of its pixels where that is smaller, else a one-image .ico file
// (image/x-icon): ICONDIR, one ICONDIRENTRY from the group's directory entry
// (a width or height of 256 is written as 0, as the format has it), then the
// bytes.
std::string ImageDataUri(const skin::UnpackedIconImage& image);

// The relative URL of a file under Files/: the "\"-separated path with "/"
// between its segments, each segment's UTF-8 bytes percent-encoded except
// the unreserved characters (A-Z a-z 0-9 - . _ ~).
std::string FilesUrl(std::u16string_view file);

} // namespace app::unpack
