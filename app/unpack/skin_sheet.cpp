#include "app/unpack/skin_sheet.h"

#include "app/unpack/pngs_ahead.h"
#include "app/unpack/sheet_markup.h"
#include "platform/platform.h"
#include "skin/string_block.h"
#include "skin/unpack/icon_image_facts.h"
#include "skin/unpack/icon_image_png.h"
#include "skin/unpack/text_preview.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace app::unpack {

namespace {

using skin::DataKind;
using skin::UnpackedIconImage;
using skin::UnpackedModule;

// ---------------------------------------------------------------- sections

struct Counts {
    std::size_t icons = 0, images = 0, strings = 0, data = 0, findings = 0;
    std::size_t imageBytes = 0; // the data: URIs' share of the page
};

Counts CountModule(const UnpackedModule& m) {
    Counts c;
    c.icons = m.icons.size();
    for (const auto& g : m.icons) {
        c.images += g.images.size();
        for (const auto& image : g.images)
            c.imageBytes += ImageUriLength(image);
    }
    c.strings = m.strings.size();
    c.data = m.data.size();
    c.findings = m.findings.size();
    return c;
}

Counts CountSkin(const skin::UnpackedSkin& skin) {
    Counts c;
    for (const auto& m : skin.modules) {
        const Counts own = CountModule(m);
        c.icons += own.icons;
        c.images += own.images;
        c.imageBytes += own.imageBytes;
        c.strings += own.strings;
        c.data += own.data;
        c.findings += own.findings;
    }
    return c;
}

void AppendCount(std::string& out, std::size_t n, std::string_view one, std::string_view many) {
    AppendNumber(out, n);
    out += ' ';
    out += n == 1 ? one : many;
}

// "Title (n)", and how many of them the script does not hold when any.
void AppendSectionHeading(std::string& out, std::string_view title, std::size_t n,
                          std::size_t unwritten = 0) {
    out += "<h3>";
    out += title;
    out += " (";
    AppendNumber(out, n);
    if (unwritten != 0) {
        out += ", ";
        AppendNumber(out, unwritten);
        out += " not written";
    }
    out += ")</h3>\n";
}

bool NotWritten(const skin::UnpackedString& s) {
    return !s.written || !s.notWritten.empty();
}

template <typename T> bool NotWritten(const T& resource) {
    return !resource.notWritten.empty();
}

template <typename T> std::size_t NotWrittenCount(const std::vector<T>& items) {
    return static_cast<std::size_t>(
        std::count_if(items.begin(), items.end(), [](const T& item) { return NotWritten(item); }));
}

// The mark of what the script does not hold, with the reason when one is given.
void AppendNotWrittenMark(std::string& out, std::u16string_view reason) {
    out += "<span class=\"mark\">not written";
    if (!reason.empty()) {
        out += ": ";
        AppendEscaped(out, reason);
    }
    out += "</span> ";
}

void AppendIcons(std::string& out, const UnpackedModule& m, PngsAhead* ahead) {
    AppendSectionHeading(out, "Icons", m.icons.size(), NotWrittenCount(m.icons));
    if (m.icons.empty())
        return;
    out += "<div class=\"grid\">\n";
    for (const auto& g : m.icons) {
        const bool unwritten = NotWritten(g);
        out += unwritten ? "<figure class=\"unwritten\"><figcaption>" : "<figure><figcaption>";
        if (unwritten)
            AppendNotWrittenMark(out, g.notWritten);
        out += "<b>";
        AppendEscaped(out, g.key);
        out += "</b> <span class=\"path\">";
        AppendEscaped(out, g.file);
        out += "</span></figcaption><div class=\"images\">";
        // The group's icon file, when there is one, is where a large image
        // opens whole, and the source of the image a browser draws from it:
        // the page does not carry that image's bytes (most often the largest
        // share of the group's) at all.
        const std::string url = g.file.empty() ? std::string() : FilesUrl(g.file);
        const std::size_t fromFile = ImageDrawnFromIconFile(g);
        for (std::size_t i = 0; i < g.images.size(); ++i) {
            const UnpackedIconImage& image = g.images[i];
            const DrawnSize drawn = DrawnSizeOf(image);
            out += "<div class=\"image\"><div class=\"frame\">";
            AppendImgStart(out);
            if (i == fromFile)
                out += url;
            else
                AppendImageDataUri(out, image, ahead);
            AppendImgEnd(out, drawn.width, drawn.height, g.key, drawn.scaled);
            out += "</div><br>";
            const bool link = drawn.scaled && !url.empty();
            if (link) {
                out += "<a href=\"";
                out += url; // percent-encoded: nothing in it needs escaping
                out += "\" title=\"the whole image, in the group's icon file\">";
            }
            AppendNumber(out, image.width);
            out += "\xC3\x97"; // U+00D7 MULTIPLICATION SIGN
            AppendNumber(out, image.height);
            if (link)
                out += "</a>";
            out += "<br>";
            if (std::uint16_t depth = skin::ReadIconImageFacts(image).bitDepth; depth != 0) {
                AppendNumber(out, depth);
                out += "-bit";
            } else {
                out += "depth unknown";
            }
            if (image.png)
                out += " PNG";
            out += "<br>#";
            AppendNumber(out, image.iconId);
            out += "</div>";
        }
        out += "</div></figure>\n";
    }
    out += "</div>\n";
}

void AppendStrings(std::string& out, const UnpackedModule& m) {
    AppendSectionHeading(out, "Strings", m.strings.size(), NotWrittenCount(m.strings));
    if (m.strings.empty())
        return;
    out += "<table><thead><tr><th>Entry</th><th>Length</th><th>Text</th></tr></thead><tbody>\n";
    for (const auto& s : m.strings) {
        // Entry 16 and later have no identifier the string loading reaches.
        const bool unloadable = s.entry >= std::uint32_t{skin::kStringBlockEntries};
        const bool unwritten = NotWritten(s);
        out += unloadable ? (unwritten ? "<tr class=\"unloadable unwritten\">"
                                       : "<tr class=\"unloadable\">")
                          : (unwritten ? "<tr class=\"unwritten\">" : "<tr>");
        out += "<td class=\"n\">";
        AppendNumber(out, s.entry);
        if (unloadable)
            out += "<span class=\"flag\">cannot be loaded</span>";
        out += "</td><td class=\"n\">";
        AppendNumber(out, s.text.size());
        if (s.cut)
            out += "<span class=\"flag\">cut</span>";
        out += "</td><td class=\"text\">";
        if (unwritten)
            AppendNotWrittenMark(out, s.notWritten);
        AppendEscaped(out, s.text);
        out += "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

std::string_view KindName(DataKind kind) {
    switch (kind) {
    case DataKind::Png:
        return "PNG";
    case DataKind::Bmp:
        return "BMP";
    case DataKind::Gif:
        return "GIF";
    case DataKind::Jpeg:
        return "JPEG";
    case DataKind::Wav:
        return "WAV";
    case DataKind::Text:
        return "text";
    case DataKind::Binary:
        break;
    }
    return "binary";
}

bool IsPicture(DataKind kind) {
    return kind == DataKind::Png || kind == DataKind::Bmp || kind == DataKind::Gif ||
           kind == DataKind::Jpeg;
}

// A text resource's first lines, and the encoding it was read in.
constexpr std::size_t kPreviewLines = 8;
constexpr std::size_t kPreviewWidth = 100;

std::string_view EncodingName(skin::TextEncoding encoding) {
    switch (encoding) {
    case skin::TextEncoding::Utf16:
        return "UTF-16";
    case skin::TextEncoding::Windows1251:
        return "Windows-1251";
    case skin::TextEncoding::Utf8:
        break;
    }
    return "UTF-8";
}

void AppendTextPreview(std::string& out, const skin::TextPreview& preview) {
    out += "<pre class=\"lines\">";
    for (std::size_t i = 0; i < preview.lines.size(); ++i) {
        if (i != 0)
            out += '\n';
        AppendEscaped(out, preview.lines[i].text);
        if (preview.lines[i].cut)
            out += "<span class=\"more\">\xE2\x80\xA6</span>"; // U+2026 HORIZONTAL ELLIPSIS
    }
    if (preview.moreLines != 0) {
        out += "\n<span class=\"more\">\xE2\x80\xA6 ";
        AppendCount(out, preview.moreLines, "more line", "more lines");
        out += "</span>";
    }
    out += "</pre>";
}

void AppendData(std::string& out, const UnpackedModule& m) {
    AppendSectionHeading(out, "Raw data", m.data.size(), NotWrittenCount(m.data));
    if (m.data.empty())
        return;
    out += "<table><thead><tr><th>Name</th><th>Size</th><th>Kind</th><th>File</th>"
           "<th>Preview</th></tr></thead><tbody>\n";
    for (const auto& d : m.data) {
        const std::string url = d.file.empty() ? std::string() : FilesUrl(d.file);
        const bool unwritten = NotWritten(d);
        out += unwritten ? "<tr class=\"unwritten\"><td>" : "<tr><td>";
        if (unwritten)
            AppendNotWrittenMark(out, d.notWritten);
        out += "<b>";
        AppendEscaped(out, d.key);
        out += "</b></td><td class=\"n\">";
        AppendNumber(out, d.bytes.size());
        out += " bytes</td><td>";
        out += KindName(d.kind);
        skin::TextPreview preview;
        if (d.kind == DataKind::Text) {
            preview = skin::PreviewText(d.bytes, kPreviewLines, kPreviewWidth);
            out += " (";
            out += EncodingName(preview.encoding);
            out += ')';
        }
        out += "</td><td>";
        if (!url.empty()) {
            out += "<a class=\"path\" href=\"";
            out += url; // percent-encoded: nothing in it needs escaping
            out += "\">";
            AppendEscaped(out, d.file);
            out += "</a>";
        }
        out += "</td><td class=\"preview\">";
        // Pictures and sounds are shown from their files under Files/.
        if (!url.empty() && IsPicture(d.kind)) {
            AppendImgStart(out);
            out += url;
            AppendImgEnd(out, 0, 0, d.key);
        } else if (!url.empty() && d.kind == DataKind::Wav) {
            out += "<audio controls preload=\"none\" src=\"" + url + "\"></audio>";
        }
        if (d.kind == DataKind::Text)
            AppendTextPreview(out, preview);
        out += "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

void AppendFindings(std::string& out, const UnpackedModule& m) {
    AppendSectionHeading(out, "What could not be expressed", m.findings.size());
    if (m.findings.empty()) {
        out += "<p class=\"none\">Nothing: the script holds every resource of the module.</p>\n";
        return;
    }
    out += "<ul>\n";
    for (const auto& f : m.findings) {
        out += f.warning ? "<li class=\"warning\"><span class=\"kind\">warning:</span> "
                         : "<li class=\"note\"><span class=\"kind\">note:</span> ";
        AppendEscaped(out, f.text);
        out += " <code>[";
        AppendEscaped(out, f.name);
        out += "]</code></li>\n";
    }
    out += "</ul>\n";
}

void AppendModuleTitle(std::string& out, const UnpackedModule& m) {
    out += "<span class=\"path\">";
    AppendEscaped(out, m.moduleFile);
    out += "</span> \xE2\x86\x92 <span class=\"path\">"; // U+2192 RIGHTWARDS ARROW
    AppendEscaped(out, m.script);
    out += "</span>";
}

} // namespace

std::string FilesUrl(std::u16string_view file) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "Files/";
    for (unsigned char c : platform::Utf16ToUtf8(file)) {
        if (c == '\\' || c == '/') {
            out += '/';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string ImageDataUri(const skin::UnpackedIconImage& image) {
    std::string out;
    out.reserve(ImageUriLength(image));
    AppendImageDataUri(out, image);
    return out;
}

void WriteSkinSheet(const skin::UnpackedSkin& skin, const SheetOutput& write,
                    const SectionDone& sectionDone, PngsAhead* ahead) {
    const Counts counts = CountSkin(skin);
    std::string out;
    AppendPageHead(out);
    out += "<header><h1>Skin sheet</h1>\n<p class=\"counts\">";
    AppendCount(out, skin.modules.size(), "module", "modules");
    out += " \xC2\xB7 "; // U+00B7 MIDDLE DOT
    AppendCount(out, counts.icons, "icon", "icons");
    out += " \xC2\xB7 ";
    AppendCount(out, counts.images, "image", "images");
    out += " \xC2\xB7 ";
    AppendCount(out, counts.strings, "string", "strings");
    out += " \xC2\xB7 ";
    AppendCount(out, counts.data, "data resource", "data resources");
    out += " \xC2\xB7 ";
    AppendCount(out, counts.findings, "finding", "findings");
    out += "</p>\n<nav><ul>\n";
    for (std::size_t i = 0; i < skin.modules.size(); ++i) {
        out += "<li><a href=\"#module-";
        AppendNumber(out, i + 1);
        out += "\">";
        AppendModuleTitle(out, skin.modules[i]);
        out += "</a></li>\n";
    }
    out += "</ul></nav></header>\n";

    write(out);
    for (std::size_t i = 0; i < skin.modules.size(); ++i) {
        const UnpackedModule& m = skin.modules[i];
        // A section at a time: the images' data: URIs are most of it, the
        // rest a small share per element; one reservation, written in place.
        const Counts own = CountModule(m);
        out.clear();
        out.reserve(own.imageBytes + 400 * own.images + 1024 +
                    256 * (own.strings + own.data + own.findings));
        out += "<section id=\"module-";
        AppendNumber(out, i + 1);
        out += "\"><h2>";
        AppendModuleTitle(out, m);
        out += "</h2>\n";
        AppendIcons(out, m, ahead);
        AppendStrings(out, m);
        AppendData(out, m);
        AppendFindings(out, m);
        out += "</section>\n";
        write(out);
        if (sectionDone)
            sectionDone(m);
    }
    write("</body></html>\n");
}

std::string SkinSheetHtml(const skin::UnpackedSkin& skin) {
    std::string page;
    WriteSkinSheet(skin, [&page](std::string_view part) { page += part; });
    return page;
}

} // namespace app::unpack
