// PLACEHOLDER on this branch: a bare page naming the modules, until the
// sheet's own branch brings the real one.
#include "app/unpack/skin_sheet.h"

#include "platform/platform.h"

namespace app::unpack {

std::string SkinSheetHtml(const skin::UnpackedSkin& skin) {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Skin</title>"
                       "</head><body>\n";
    for (const skin::UnpackedModule& module : skin.modules) {
        std::string name;
        for (const char c : platform::Utf16ToUtf8(module.script))
            name += (c == '<' || c == '&') ? '_' : c;
        page += "<h2>" + name + "</h2>\n";
    }
    return page + "</body></html>\n";
}

} // namespace app::unpack
