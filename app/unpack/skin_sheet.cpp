#include "app/unpack/skin_sheet.h"

#include "platform/platform.h"
#include "skin/icon_image_facts.h"
#include "skin/icon_image_png.h"
#include "skin/string_block.h"
#include "skin/text_preview.h"

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

// The one inline handler the page carries: it marks an image that failed to
// decode, so that a check driving a browser can read the failure back from
// the DOM. The policy below allows this exact text by its SHA-256 and nothing
// else; change both together (base64 of the digest of the handler's text).
constexpr std::string_view kBrokenImageHandler = "this.setAttribute('data-broken','1')";
constexpr std::string_view kPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src 'self' data: file:; "
    "media-src 'self' file:; script-src 'unsafe-hashes' "
    "'sha256-gLwO3wbgYZxO1L2qlhgOoqOqf5Ne2jyGWszBNiXxudA='";

constexpr std::string_view kStyle = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:0 24px 24px;color:#1d1d1f;background:#fafafa}
h1{margin:16px 0 4px}h2{margin:28px 0 8px;padding-top:12px;border-top:2px solid #888}
h3{margin:16px 0 6px;font-size:15px}
code,.path{font-family:ui-monospace,monospace;font-size:12px;overflow-wrap:anywhere}
h2 .path{font-size:inherit}
.counts{color:#444;margin:0 0 8px}
.grid{display:flex;flex-wrap:wrap;gap:10px}
figure{margin:0;padding:8px;background:#fff;border:1px solid #ccc;border-radius:4px}
figcaption{margin-bottom:6px}
.images{display:flex;gap:10px;align-items:flex-end}
.image{text-align:center;font-size:11px;color:#444}
.frame{display:inline-block;line-height:0;
background:repeating-conic-gradient(#ddd 0 25%,#fff 0 50%) 0 0/8px 8px}
.frame img{image-rendering:pixelated}.frame img.scaled{image-rendering:auto}
table{border-collapse:collapse;background:#fff}
th,td{border:1px solid #ccc;padding:3px 8px;text-align:left;vertical-align:top}
td.n{text-align:right;font-variant-numeric:tabular-nums}
td.text{white-space:pre-wrap;overflow-wrap:anywhere;max-width:60em}
.flag{display:inline-block;margin-left:6px;padding:0 4px;border-radius:3px;
font-size:11px;background:#c62828;color:#fff}
tr.unloadable td{background:#fdecea}
.mark{display:inline-block;margin:0 6px 2px 0;padding:0 5px;border-radius:3px;font-size:12px;
font-style:normal;background:#5f5f5f;color:#fff;white-space:nowrap}
tr.unwritten td,figure.unwritten{background:#ececec;color:#6b6b6b}
figure.unwritten{border-style:dashed}figure.unwritten img{opacity:.55}
pre.lines{margin:0;font-size:12px;white-space:pre-wrap;overflow-wrap:anywhere;max-width:60em}
.more{color:#666;font-style:italic}
.preview img{max-width:320px;max-height:240px}
li.warning .kind{color:#c62828;font-weight:600}li.note .kind{color:#1565c0;font-weight:600}
.none{color:#666;font-style:italic}
)";

// ---------------------------------------------------------------- escaping

// A character of a text, written so that no module's text can open markup:
// the five characters with a meaning in HTML become references, and C0
// controls other than tab and line breaks (a NUL among them) become their
// visible control pictures (U+2400...) instead of characters a browser drops.
void AppendEscapedChar(std::string& out, char c) {
    switch (c) {
    case '&':
        out += "&amp;";
        return;
    case '<':
        out += "&lt;";
        return;
    case '>':
        out += "&gt;";
        return;
    case '"':
        out += "&quot;";
        return;
    case '\'':
        out += "&#39;";
        return;
    default:
        break;
    }
    auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F) {
        // U+2400 + c, and U+2421 for DEL, in UTF-8.
        unsigned picture = u == 0x7F ? 0x21u : u;
        out += "\xE2\x90";
        out.push_back(static_cast<char>(0x80 + picture));
        return;
    }
    out.push_back(c);
}

void AppendEscaped(std::string& out, std::string_view utf8) {
    for (char c : utf8)
        AppendEscapedChar(out, c);
}

// UTF-16 from a module: unpaired surrogates become U+FFFD on the way.
void AppendEscaped(std::string& out, std::u16string_view text) {
    AppendEscaped(out, platform::Utf16ToUtf8(text));
}

void AppendNumber(std::string& out, std::uint64_t n) {
    out += std::to_string(n);
}

// ---------------------------------------------------------------- base64

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::size_t Base64Length(std::size_t bytes) {
    return (bytes + 2) / 3 * 4;
}

// Encodes whole triples of `in` into `out` and gives the number of bytes used.
// With `last`, the one or two bytes left over are encoded with their padding.
std::size_t EncodeBase64(const std::uint8_t* in, std::size_t size, char*& out, bool last) {
    std::size_t i = 0;
    for (; size - i >= 3; i += 3) {
        std::uint32_t v =
            (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        out[0] = kBase64Digits[v >> 18];
        out[1] = kBase64Digits[(v >> 12) & 63];
        out[2] = kBase64Digits[(v >> 6) & 63];
        out[3] = kBase64Digits[v & 63];
        out += 4;
    }
    if (last && i < size) {
        std::uint32_t v = std::uint32_t{in[i]} << 16;
        if (size - i == 2)
            v |= std::uint32_t{in[i + 1]} << 8;
        out[0] = kBase64Digits[v >> 18];
        out[1] = kBase64Digits[(v >> 12) & 63];
        out[2] = size - i == 2 ? kBase64Digits[(v >> 6) & 63] : '=';
        out[3] = '=';
        out += 4;
        i = size;
    }
    return i;
}

// Appends the base64 of `head` followed by `body` as one stream, in one pass
// over the body and straight into the string's room (no copy of the body).
void AppendBase64(std::string& out, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body) {
    std::size_t start = out.size();
    out.resize(start + Base64Length(head.size() + body.size()));
    char* p = out.data() + start;
    // The head's leftover bytes and the first bytes of the body make whole
    // triples in a small buffer, so that the body is then encoded in place.
    std::size_t used = EncodeBase64(head.data(), head.size(), p, body.empty());
    std::array<std::uint8_t, 3> joint{};
    std::size_t rest = head.size() - used;
    std::size_t borrowed = 0;
    if (rest != 0) {
        std::copy(head.begin() + static_cast<std::ptrdiff_t>(used), head.end(), joint.begin());
        borrowed = std::min(body.size(), 3 - rest);
        std::copy_n(body.begin(), borrowed, joint.begin() + static_cast<std::ptrdiff_t>(rest));
        EncodeBase64(joint.data(), rest + borrowed, p, true);
    }
    if (borrowed < body.size())
        EncodeBase64(body.data() + borrowed, body.size() - borrowed, p, true);
}

// ---------------------------------------------------------------- icons

std::size_t ImageUriLength(const UnpackedIconImage& image) {
    return 32 + Base64Length(image.bytes.size() + (image.png ? 0 : skin::kOneImageIcoHeadSize));
}

void AppendImageDataUri(std::string& out, const UnpackedIconImage& image) {
    if (image.png) {
        out += "data:image/png;base64,";
        AppendBase64(out, {}, image.bytes);
        return;
    }
    // Most of a large page is its DIB images; as PNG they take a third of
    // the bytes, and a browser has less to read. The .ico stays where the
    // PNG would not be smaller (small images of few colours) or the DIB is
    // none the conversion reads.
    if (const auto png = skin::DibIconToPng(image.bytes);
        !png.empty() && png.size() < image.bytes.size() + skin::kOneImageIcoHeadSize) {
        out += "data:image/png;base64,";
        AppendBase64(out, {}, png);
    } else {
        out += "data:image/x-icon;base64,";
        const auto header = skin::OneImageIcoHead(image);
        AppendBase64(out, header, image.bytes);
    }
}

// Every picture of the page is an img element that marks itself when it
// fails to decode; its src is written between these two halves.
void AppendImgStart(std::string& out) {
    out += "<img src=\"";
}

void AppendImgEnd(std::string& out, std::uint32_t width, std::uint32_t height,
                  std::u16string_view alt, bool scaled = false) {
    out += '"';
    if (scaled)
        out += " class=\"scaled\"";
    if (width != 0 && height != 0) {
        out += " width=\"";
        AppendNumber(out, width);
        out += "\" height=\"";
        AppendNumber(out, height);
        out += '"';
    }
    out += " alt=\"";
    AppendEscaped(out, alt);
    out += "\" onerror=\"";
    out += kBrokenImageHandler;
    out += "\">";
}

// An image larger than this is drawn with this as its longer side, its true
// size beneath it, so that a row holds several groups.
constexpr std::uint32_t kDrawnImageSize = 64;

struct DrawnSize {
    std::uint32_t width = 0, height = 0;
    bool scaled = false;
};

DrawnSize DrawnSizeOf(const UnpackedIconImage& image) {
    const std::uint32_t longer = std::max(image.width, image.height);
    if (longer <= kDrawnImageSize)
        return {image.width, image.height, false};
    auto scale = [longer](std::uint32_t side) {
        const std::uint64_t drawn = std::uint64_t{side} * kDrawnImageSize / longer;
        return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(drawn));
    };
    return {scale(image.width), scale(image.height), true};
}

// ---------------------------------------------------------------- sections

struct Counts {
    std::size_t icons = 0, images = 0, strings = 0, data = 0, findings = 0;
    std::size_t imageBytes = 0; // the data: URIs' share of the page
};

Counts CountSkin(const skin::UnpackedSkin& skin) {
    Counts c;
    for (const auto& m : skin.modules) {
        c.icons += m.icons.size();
        for (const auto& g : m.icons) {
            c.images += g.images.size();
            for (const auto& image : g.images)
                c.imageBytes += ImageUriLength(image);
        }
        c.strings += m.strings.size();
        c.data += m.data.size();
        c.findings += m.findings.size();
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

// The image a browser draws from the group's icon file: the largest, and of
// those the deepest (by the directory's values, which the file repeats).
// Only when no other image ties with it, so that the choice is not left to
// how a browser breaks ties; npos otherwise.
std::size_t ImageDrawnFromIconFile(const skin::UnpackedIconGroup& g) {
    auto rank = [](const UnpackedIconImage& image) {
        return std::pair{std::uint64_t{image.width} * image.height, image.bitCount};
    };
    std::size_t best = std::string::npos;
    bool tie = false;
    for (std::size_t i = 0; i < g.images.size(); ++i) {
        if (best == std::string::npos || rank(g.images[i]) > rank(g.images[best])) {
            best = i;
            tie = false;
        } else if (rank(g.images[i]) == rank(g.images[best])) {
            tie = true;
        }
    }
    return tie ? std::string::npos : best;
}

void AppendIcons(std::string& out, const UnpackedModule& m) {
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
        const std::size_t fromFile = url.empty() ? std::string::npos : ImageDrawnFromIconFile(g);
        for (std::size_t i = 0; i < g.images.size(); ++i) {
            const UnpackedIconImage& image = g.images[i];
            const DrawnSize drawn = DrawnSizeOf(image);
            out += "<div class=\"image\"><div class=\"frame\">";
            AppendImgStart(out);
            if (i == fromFile)
                out += url;
            else
                AppendImageDataUri(out, image);
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

std::string SkinSheetHtml(const skin::UnpackedSkin& skin) {
    const Counts counts = CountSkin(skin);
    std::string out;
    // The images' data: URIs are most of a large page; the rest is a small
    // share per element. One reservation, so the page is written in place.
    out.reserve(counts.imageBytes + 400 * counts.images + 4096 +
                256 * (counts.strings + counts.data + counts.findings + skin.modules.size()));

    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"";
    out += kPolicy;
    out += "\">\n<title>Skin sheet</title>\n<style>";
    out += kStyle;
    out += "</style></head>\n<body>\n<header><h1>Skin sheet</h1>\n<p class=\"counts\">";
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

    for (std::size_t i = 0; i < skin.modules.size(); ++i) {
        const UnpackedModule& m = skin.modules[i];
        out += "<section id=\"module-";
        AppendNumber(out, i + 1);
        out += "\"><h2>";
        AppendModuleTitle(out, m);
        out += "</h2>\n";
        AppendIcons(out, m);
        AppendStrings(out, m);
        AppendData(out, m);
        AppendFindings(out, m);
        out += "</section>\n";
    }
    out += "</body></html>\n";
    return out;
}

} // namespace app::unpack
