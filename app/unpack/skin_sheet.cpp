#include "app/unpack/skin_sheet.h"

#include "acWorkRes/byte_reader.h"
#include "platform/platform.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string_view>

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
.frame img{image-rendering:pixelated}
table{border-collapse:collapse;background:#fff}
th,td{border:1px solid #ccc;padding:3px 8px;text-align:left;vertical-align:top}
td.n{text-align:right;font-variant-numeric:tabular-nums}
td.text{white-space:pre-wrap;overflow-wrap:anywhere;max-width:60em}
.flag{display:inline-block;margin-left:6px;padding:0 4px;border-radius:3px;
font-size:11px;background:#c62828;color:#fff}
tr.unloadable td{background:#fdecea}
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

constexpr std::size_t kIcoHeaderSize = 6 + 16; // ICONDIR and one ICONDIRENTRY

std::uint8_t DirectoryDimension(std::uint32_t pixels) {
    return pixels >= 256 ? 0 : static_cast<std::uint8_t>(pixels);
}

std::array<std::uint8_t, kIcoHeaderSize> IcoHeader(const UnpackedIconImage& image) {
    std::array<std::uint8_t, kIcoHeaderSize> h{};
    acWorkRes::ByteWriter w(h);
    // An image of 4 GB or more cannot be in a module; its size saturates.
    auto size = static_cast<std::uint32_t>(
        std::min<std::size_t>(image.bytes.size(), std::numeric_limits<std::uint32_t>::max()));
    // The fields all lie inside the fixed header, so no write can fail.
    w.PutU16(2, 1); // idType: icon
    w.PutU16(4, 1); // idCount
    h[6] = DirectoryDimension(image.width);
    h[7] = DirectoryDimension(image.height);
    h[8] = image.colorCount;
    w.PutU16(10, 1); // wPlanes
    w.PutU16(12, image.bitCount);
    w.PutU32(14, size);
    w.PutU32(18, static_cast<std::uint32_t>(kIcoHeaderSize));
    return h;
}

std::size_t ImageUriLength(const UnpackedIconImage& image) {
    return 32 + Base64Length(image.bytes.size() + (image.png ? 0 : kIcoHeaderSize));
}

void AppendImageDataUri(std::string& out, const UnpackedIconImage& image) {
    if (image.png) {
        out += "data:image/png;base64,";
        AppendBase64(out, {}, image.bytes);
    } else {
        out += "data:image/x-icon;base64,";
        const auto header = IcoHeader(image);
        AppendBase64(out, header, image.bytes);
    }
}

// Every picture of the page is an img element that marks itself when it
// fails to decode; its src is written between these two halves.
void AppendImgStart(std::string& out) {
    out += "<img src=\"";
}

void AppendImgEnd(std::string& out, std::uint32_t width, std::uint32_t height,
                  std::u16string_view alt) {
    out += '"';
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

void AppendSectionHeading(std::string& out, std::string_view title, std::size_t n) {
    out += "<h3>";
    out += title;
    out += " (";
    AppendNumber(out, n);
    out += ")</h3>\n";
}

void AppendIcons(std::string& out, const UnpackedModule& m) {
    AppendSectionHeading(out, "Icons", m.icons.size());
    if (m.icons.empty())
        return;
    out += "<div class=\"grid\">\n";
    for (const auto& g : m.icons) {
        out += "<figure><figcaption><b>";
        AppendEscaped(out, g.key);
        out += "</b> <span class=\"path\">";
        AppendEscaped(out, g.file);
        out += "</span></figcaption><div class=\"images\">";
        for (const auto& image : g.images) {
            out += "<div class=\"image\"><div class=\"frame\">";
            AppendImgStart(out);
            AppendImageDataUri(out, image);
            AppendImgEnd(out, image.width, image.height, g.key);
            out += "</div><br>";
            AppendNumber(out, image.width);
            out += "\xC3\x97"; // U+00D7 MULTIPLICATION SIGN
            AppendNumber(out, image.height);
            out += "<br>";
            if (std::uint16_t depth = ImageBitDepth(image); depth != 0) {
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
    AppendSectionHeading(out, "Strings", m.strings.size());
    if (m.strings.empty())
        return;
    out += "<table><thead><tr><th>Entry</th><th>Length</th><th>Text</th></tr></thead><tbody>\n";
    for (const auto& s : m.strings) {
        const bool unloadable = s.entry > kLastLoadableStringEntry;
        out += unloadable ? "<tr class=\"unloadable\">" : "<tr>";
        out += "<td class=\"n\">";
        AppendNumber(out, s.entry);
        if (unloadable)
            out += "<span class=\"flag\">cannot be loaded</span>";
        out += "</td><td class=\"n\">";
        AppendNumber(out, s.text.size());
        if (s.cut)
            out += "<span class=\"flag\">cut</span>";
        out += "</td><td class=\"text\">";
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

void AppendData(std::string& out, const UnpackedModule& m) {
    AppendSectionHeading(out, "Raw data", m.data.size());
    if (m.data.empty())
        return;
    out += "<table><thead><tr><th>Name</th><th>Size</th><th>Kind</th><th>File</th>"
           "<th>Preview</th></tr></thead><tbody>\n";
    for (const auto& d : m.data) {
        const std::string url = FilesUrl(d.file);
        out += "<tr><td><b>";
        AppendEscaped(out, d.key);
        out += "</b></td><td class=\"n\">";
        AppendNumber(out, d.bytes.size());
        out += " bytes</td><td>";
        out += KindName(d.kind);
        out += "</td><td><a class=\"path\" href=\"";
        out += url; // percent-encoded: nothing in it needs escaping
        out += "\">";
        AppendEscaped(out, d.file);
        out += "</a></td><td class=\"preview\">";
        if (IsPicture(d.kind)) {
            AppendImgStart(out);
            out += url;
            AppendImgEnd(out, 0, 0, d.key);
        } else if (d.kind == DataKind::Wav)
            out += "<audio controls preload=\"none\" src=\"" + url + "\"></audio>";
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

std::uint16_t ImageBitDepth(const skin::UnpackedIconImage& image) {
    if (image.bitCount != 0)
        return image.bitCount;
    const acWorkRes::ByteReader r(image.bytes);
    if (!image.png)
        return r.U16(14).value_or(0); // biBitCount
    // The PNG signature (8), IHDR's length and type (8), width and height (8),
    // then the bit depth and the colour type.
    const auto depth = r.U8(24);
    const auto colorType = r.U8(25);
    if (!depth || !colorType)
        return 0;
    std::uint16_t channels = 0;
    switch (*colorType) {
    case 0: // grey
    case 3: // palette
        channels = 1;
        break;
    case 2: // RGB
        channels = 3;
        break;
    case 4: // grey and alpha
        channels = 2;
        break;
    case 6: // RGBA
        channels = 4;
        break;
    default:
        return 0;
    }
    return static_cast<std::uint16_t>(*depth * channels);
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
