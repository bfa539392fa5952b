// The unpacker's sheet (skin.html). PLACEHOLDER on this branch: the real
// page comes from the sheet's own branch, which replaces both files.
#pragma once

#include "skin/unpacked_skin.h"

#include <string>

namespace app::unpack {

// The whole page as UTF-8.
std::string SkinSheetHtml(const skin::UnpackedSkin& skin);

} // namespace app::unpack
