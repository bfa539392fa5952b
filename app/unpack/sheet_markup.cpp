#include "app/unpack/sheet_markup.h"

#include "app/unpack/pngs_ahead.h"
#include "platform/platform.h"
#include "skin/unpack/icon_image_facts.h"
#include "skin/unpack/icon_image_png.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace app::unpack {

using skin::UnpackedIconImage;

namespace {

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

} // namespace

void AppendPageHead(std::string& out) {
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"";
    out += kPolicy;
    out += "\">\n<title>Skin sheet</title>\n<style>";
    out += kStyle;
    out += "</style></head>\n<body>\n";
}

// ---------------------------------------------------------------- escaping

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

void AppendImageDataUri(std::string& out, const UnpackedIconImage& image, PngsAhead* ahead) {
    if (image.png) {
        out += "data:image/png;base64,";
        AppendBase64(out, {}, image.bytes);
        return;
    }
    // Most of a large page is its DIB images; as PNG they take a third of
    // the bytes, and a browser has less to read. The .ico stays where the
    // PNG would not be smaller (small images of few colours) or the DIB is
    // none the conversion reads.
    std::optional<std::vector<std::uint8_t>> converted;
    if (ahead != nullptr)
        converted = ahead->Take(image);
    if (!converted)
        converted = skin::DibIconToPng(image.bytes);
    if (const std::vector<std::uint8_t>& png = *converted;
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
                  std::u16string_view alt, bool scaled) {
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

constexpr std::uint32_t kDrawnImageSize = 64;

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

std::size_t ImageDrawnFromIconFile(const skin::UnpackedIconGroup& g) {
    if (g.file.empty())
        return std::string::npos;
    auto rank = [](const skin::UnpackedIconImage& image) {
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

} // namespace app::unpack
