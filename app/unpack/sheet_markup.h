// The pieces the sheet (skin.html) is made of: the page's head with its
// policy and style, text escaped for HTML, base64, and the img elements of
// icon images with their data: URIs.
#pragma once

#include "skin/unpack/unpacked_model.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace app::unpack {

// From "<!DOCTYPE html>" to the opening of the body, with the content policy
// that allows no script but the images' error handler, and the style.
void AppendPageHead(std::string& out);

// Text with the five characters that have a meaning in HTML as references
// and C0 controls other than tab and line breaks as their control pictures.
void AppendEscaped(std::string& out, std::string_view utf8);
// UTF-16 from a module: unpaired surrogates become U+FFFD on the way.
void AppendEscaped(std::string& out, std::u16string_view text);
void AppendNumber(std::string& out, std::uint64_t n);

// Appends the base64 of `head` followed by `body` as one stream.
void AppendBase64(std::string& out, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body);

// An upper bound of the length of an icon image's data: URI.
std::size_t ImageUriLength(const skin::UnpackedIconImage& image);
class PngsAhead;
// The data: URI of an icon image (ImageDataUri in skin_sheet.h). `ahead`,
// when given, may hold a DIB's PNG already.
void AppendImageDataUri(std::string& out, const skin::UnpackedIconImage& image,
                        PngsAhead* ahead = nullptr);

// The image a browser draws from the group's icon file, which the page
// references instead of carrying it: the largest, and of those the deepest
// (by the directory's values, which the file repeats). Only when no other
// image ties with it, so that the choice is not left to how a browser breaks
// ties; npos otherwise, and for a group the script does not write (no file).
std::size_t ImageDrawnFromIconFile(const skin::UnpackedIconGroup& g);

// Every picture of the page is an img element that marks itself when it
// fails to decode; its src is written between these two halves.
void AppendImgStart(std::string& out);
void AppendImgEnd(std::string& out, std::uint32_t width, std::uint32_t height,
                  std::u16string_view alt, bool scaled = false);

// The size an icon image is drawn at: an image larger than 64 pixels is drawn
// with 64 as its longer side, its true size beneath it, so that a row holds
// several groups.
struct DrawnSize {
    std::uint32_t width = 0, height = 0;
    bool scaled = false;
};
DrawnSize DrawnSizeOf(const skin::UnpackedIconImage& image);

} // namespace app::unpack
