// The unpacker's sheet: what a hostile module cannot do to the page, icon
// images that come back out of their data: URIs as valid .ico files, and the
// string entries that the messenger cannot load.
#include "acWorkRes/icon_import.h"
#include "app/unpack/skin_sheet.h"
#include "platform/platform.h"
#include "skin/script/script_reader.h"
#include "skin/unpack/icon_image_facts.h"
#include "skin/unpack/icon_image_png.h"
#include "skin/unpack/text_preview.h"
#include "tests/app/unpack/dib_header.h"

#include <gtest/gtest.h>
#ifdef KSB_TEST_ZLIB
#include <zlib.h>
#endif

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using app::unpack::FilesUrl;
using app::unpack::ImageDataUri;
using app::unpack::SkinSheetHtml;

constexpr std::string_view kHandler = "onerror=\"this.setAttribute('data-broken','1')\"";

std::size_t CountOf(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The bytes of a data: URI with the media type it names, decoded by the
// alphabet and padding rules of base64 (RFC 4648); false for anything else.
bool DecodeDataUri(std::string_view uri, std::string& mediaType, std::vector<std::uint8_t>& out) {
    constexpr std::string_view kScheme = "data:", kMarker = ";base64,";
    const auto marker = uri.find(kMarker);
    if (!uri.starts_with(kScheme) || marker == std::string_view::npos)
        return false;
    mediaType = std::string(uri.substr(kScheme.size(), marker - kScheme.size()));
    const std::string_view digits = uri.substr(marker + kMarker.size());
    if (digits.size() % 4 != 0)
        return false;
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.clear();
    std::uint32_t bits = 0;
    int held = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] == '=') {
            // Padding only in the last two places, nothing after it.
            if (i + 2 < digits.size() ||
                digits.substr(i).find_first_not_of('=') != std::string::npos)
                return false;
            break;
        }
        const auto value = kAlphabet.find(digits[i]);
        if (value == std::string_view::npos)
            return false;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<std::uint8_t>(bits >> held));
        }
    }
    return true;
}

// Bytes that live as long as the test program, as the model's views need.
std::span<const std::uint8_t> Kept(std::vector<std::uint8_t> bytes) {
    static std::deque<std::vector<std::uint8_t>> kept;
    return kept.emplace_back(std::move(bytes));
}

// An image of `bytes` bytes, `head` over the first of them.
skin::UnpackedIconImage Image(std::uint32_t size, std::uint16_t bitCount, std::size_t bytes,
                              bool png = false, std::span<const std::uint8_t> head = {}) {
    skin::UnpackedIconImage image;
    image.iconId = 50;
    image.width = image.height = size;
    image.bitCount = bitCount;
    image.png = png;
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < bytes; ++i)
        data.push_back(i < head.size() ? head[i] : static_cast<std::uint8_t>(i * 37 + 11));
    image.bytes = Kept(std::move(data));
    return image;
}

TEST(SkinSheet, HostileTextsCannotOpenMarkupOrAddHandlers) {
    const std::u16string hostile[] = {
        u"<script>alert(1)</script>",
        u"\"><img src=x onerror=alert(2)>",
        u"' onmouseover='alert(3)",
        u"x\" onerror=\"alert(4)\" y=\"",
        u"</td></tr></table><iframe src=//example.org>",
        u"&lt;b&gt; stays text",
    };
    skin::UnpackedSkin s;
    std::size_t images = 0;
    for (const auto& h : hostile) {
        skin::UnpackedModule m;
        m.moduleFile = h;
        m.script = h;
        skin::UnpackedIconGroup g;
        g.key = h;
        g.file = h;
        g.images.push_back(Image(16, 32, 40));
        images += g.images.size();
        m.icons.push_back(g);
        m.strings.push_back({1, h, false, true, h});
        m.data.push_back({h, h, 1049, skin::DataKind::Png, Kept({0x89, 'P', 'N', 'G'}), {}});
        images += 1; // the picture of the PNG data
        m.data.push_back({h, h, 1049, skin::DataKind::Wav, Kept({'R', 'I', 'F', 'F'}), h});
        const std::string text = platform::Utf16ToUtf8(h + u"\r\n" + h);
        m.data.push_back({h, h, 1049, skin::DataKind::Text, Kept({text.begin(), text.end()}), {}});
        m.findings.push_back({true, h, "unexpressible-type\"><b>"});
        s.modules.push_back(m);
    }
    const std::string page = SkinSheetHtml(s);

    // Every tag of the page is one the sheet writes itself.
    const std::set<std::string> ownTags = {
        "!DOCTYPE", "a",   "audio", "b",     "body",    "br",     "code",  "div",   "figcaption",
        "figure",   "h1",  "h2",    "h3",    "head",    "header", "html",  "img",   "li",
        "meta",     "nav", "p",     "pre",   "section", "span",   "style", "table", "tbody",
        "td",       "th",  "thead", "title", "tr",      "ul"};
    for (auto at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        auto begin = at + 1 + (page[at + 1] == '/' ? 1 : 0);
        auto end = page.find_first_of(" >", begin);
        ASSERT_NE(end, std::string::npos);
        EXPECT_TRUE(ownTags.count(page.substr(begin, end - begin)))
            << "tag at " << at << ": " << page.substr(at, 60);
    }
    // One img per image and picture, each with the marking handler and no other.
    EXPECT_EQ(CountOf(page, "<img "), images);
    EXPECT_EQ(CountOf(page, "onerror=\""), images);
    EXPECT_EQ(CountOf(page, kHandler), images);
    EXPECT_EQ(CountOf(page, "onmouseover='"), 0u);
    // The texts are still there to read, escaped: among them a reason why
    // something is not written, and the two lines of a text's preview.
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("not written: &lt;script&gt;alert(1)&lt;/script&gt;</span> "),
              std::string::npos);
    EXPECT_NE(page.find("<pre class=\"lines\">&lt;script&gt;alert(1)&lt;/script&gt;\n"
                        "&lt;script&gt;alert(1)&lt;/script&gt;</pre>"),
              std::string::npos);
    EXPECT_NE(page.find("&amp;lt;b&amp;gt; stays text"), std::string::npos);
    // Paths become percent-encoded URLs, never raw text in an attribute.
    EXPECT_NE(page.find("src=\"Files/%3Cscript%3Ealert%281%29%3C/script%3E\""), std::string::npos);
}

TEST(SkinSheet, TextsBecomeWellFormedUtf8WithVisibleControls) {
    skin::UnpackedSkin s;
    s.modules.emplace_back();
    // A lone high surrogate, a lone low one, a pair, a NUL, a Cyrillic word.
    s.modules[0].strings.push_back(
        {1,
         std::u16string(u"a\xD800z\xDC00|\U0001F600|") + u'\0' + u"|\u041F\u0440\u0438",
         false,
         true,
         {}});
    const std::string page = SkinSheetHtml(s);
    EXPECT_EQ(page.find('\0'), std::string::npos);
    EXPECT_TRUE(
        skin::IsWellFormedUtf8({reinterpret_cast<const std::uint8_t*>(page.data()), page.size()}));
    EXPECT_NE(page.find("a\xEF\xBF\xBDz\xEF\xBF\xBD|\xF0\x9F\x98\x80|\xE2\x90\x80|"
                        "\xD0\x9F\xD1\x80\xD0\xB8"),
              std::string::npos);
}

TEST(SkinSheet, DibImageUriHoldsAOneImageIcoFileThatParsesBack) {
    // Sizes around every base64 padding case of the 22-byte head plus the
    // image, and 256 pixels, which the directory writes as 0.
    for (std::uint32_t size : {16u, 48u, 256u}) {
        for (std::size_t bytes : {1u, 2u, 3u, 4u, 40u, 1128u}) {
            SCOPED_TRACE(testing::Message() << size << " px, " << bytes << " bytes");
            auto image = Image(size, 32, bytes);
            image.colorCount = 16;
            std::string type;
            std::vector<std::uint8_t> file;
            ASSERT_TRUE(DecodeDataUri(ImageDataUri(image), type, file));
            EXPECT_EQ(type, "image/x-icon");
            const auto ico = acWorkRes::ParseIconFile(file);
            ASSERT_TRUE(ico.has_value());
            EXPECT_EQ(ico->Header[2], 1); // idType: icon
            ASSERT_EQ(ico->Images.size(), 1u);
            const auto& entry = ico->Images[0].Entry;
            EXPECT_EQ(entry[0], size == 256 ? 0 : size);
            EXPECT_EQ(entry[1], size == 256 ? 0 : size);
            EXPECT_EQ(entry[2], 16);                 // colour count
            EXPECT_EQ(entry[4] | entry[5] << 8, 1);  // planes
            EXPECT_EQ(entry[6] | entry[7] << 8, 32); // bit count
            EXPECT_TRUE(std::ranges::equal(ico->Images[0].Bytes, image.bytes));
        }
    }
    // PNG data goes in as it is.
    for (std::size_t bytes : {0u, 1u, 2u, 3u, 100u}) {
        const auto image = Image(256, 32, bytes, true);
        std::string type;
        std::vector<std::uint8_t> file;
        ASSERT_TRUE(DecodeDataUri(ImageDataUri(image), type, file));
        EXPECT_EQ(type, "image/png");
        EXPECT_TRUE(std::ranges::equal(file, image.bytes));
    }
}

TEST(IconImageFacts, KindSizeAndDepthFromTheImagesOwnHeader) {
    const std::uint8_t dibHead[] = {40, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 32, 0, 0, 0, 1, 0, 4, 0};
    const auto dib = Image(16, 0, 40, false, dibHead); // 16 wide, top-down
    const std::uint8_t pngHead[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0,  13, 'I',
                                    'H',  'D', 'R', 0,   0,  1,  0,  0,  0, 0, 48, 8,  6};
    const auto png = Image(16, 0, 33, true, pngHead); // 256x48 RGBA
    const auto shortDib = Image(16, 0, 6, false, std::span(dibHead).first(4));
    auto given = dib;
    given.bitCount = 24;
    // An OS/2 core header: no DIB an icon may hold.
    const std::uint8_t noiseHead[] = {12, 0, 0, 0};
    const auto noise = Image(16, 0, 40, false, noiseHead);
    struct {
        const skin::UnpackedIconImage& image;
        skin::IconImageKind kind;
        std::uint32_t width, height;
        std::uint16_t depth;
    } const cases[] = {{dib, skin::IconImageKind::Dib, 16, 16, 4},
                       {png, skin::IconImageKind::Png, 256, 48, 32},
                       {shortDib, skin::IconImageKind::Dib, 0, 0, 0},
                       {given, skin::IconImageKind::Dib, 16, 16, 24},
                       {noise, skin::IconImageKind::Unknown, 0, 0, 0}};
    for (const auto& c : cases) {
        const auto facts = skin::ReadIconImageFacts(c.image);
        EXPECT_EQ(facts.kind, c.kind);
        EXPECT_EQ(facts.width, c.width);
        EXPECT_EQ(facts.height, c.height);
        EXPECT_EQ(facts.bitDepth, c.depth);
    }
}

TEST(SkinSheet, FileUrlsArePercentEncodedPerSegment) {
    struct {
        std::u16string file;
        std::string url;
    } const cases[] = {
        {u"vistel\\icons\\101.ico", "Files/vistel/icons/101.ico"},
        {u"tavo\\data\\a b#c?d%e.png", "Files/tavo/data/a%20b%23c%3Fd%25e.png"},
        {u"\u0444\u043E\u043D\\x&y\"z.wav", "Files/%D1%84%D0%BE%D0%BD/x%26y%22z.wav"},
        {u"a/b~c_d-e.bin", "Files/a/b~c_d-e.bin"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilesUrl(c.file), c.url);
}

// The row (or figure) of the page that holds `what`.
std::string ElementAround(const std::string& page, std::string_view what, std::string_view open,
                          std::string_view close) {
    const auto at = page.find(what);
    if (at == std::string::npos)
        return {};
    const auto start = page.rfind(open, at);
    return page.substr(start, page.find(close, at) - start);
}

TEST(SkinSheet, WhatTheScriptDoesNotHoldIsMarkedWhereItStands) {
    skin::UnpackedSkin s;
    auto& m = s.modules.emplace_back();
    // Entry, cut, written, reason; a reason alone or a false `written` alone
    // is enough to mark an entry.
    m.strings = {{1, u"one", false, true, {}},
                 {7, u"seven", false, false, u"gap before entry 7"},
                 {8, u"eight", false, true, u"string 7 before it is not"},
                 {15, u"fifteen", true, false, {}},
                 {16, u"sixteen", false, true, {}},
                 {40, u"forty", true, false, u"past entry 15"}};
    m.icons.push_back({u"IDI_KEPT", u"m\\icons\\IDI_KEPT.ico", 1049, {Image(16, 32, 40)}, {}, {}});
    m.icons.push_back({u"IDI_LEFT", {}, 1049, {Image(16, 32, 40)}, {}, u"name no key can carry"});
    m.data.push_back(
        {u"KEPT_DATA", u"m\\data\\k.bin", 1049, skin::DataKind::Binary, Kept({1}), {}});
    m.data.push_back({u"LEFT_DATA", {}, 1049, skin::DataKind::Binary, Kept({1}), u"language 1033"});
    const std::string page = SkinSheetHtml(s);
    for (const auto& entry : m.strings) {
        SCOPED_TRACE(entry.entry);
        const std::string row = ElementAround(
            page, "<td class=\"n\">" + std::to_string(entry.entry) + "<", "<tr", "</tr>");
        ASSERT_FALSE(row.empty());
        EXPECT_EQ(row.find("cannot be loaded") != std::string::npos, entry.entry > 15);
        EXPECT_EQ(row.find(">cut<") != std::string::npos, entry.cut);
        EXPECT_NE(row.find("<td class=\"n\">" + std::to_string(entry.text.size()) + "<"),
                  std::string::npos);
        const bool marked = !entry.written || !entry.notWritten.empty();
        EXPECT_EQ(row.find("unwritten\">") != std::string::npos, marked);
        std::string mark = "<span class=\"mark\">not written";
        if (!entry.notWritten.empty())
            mark += ": " + platform::Utf16ToUtf8(entry.notWritten);
        EXPECT_EQ(row.find(marked ? mark + "</span> " : mark) != std::string::npos, marked) << row;
    }
    EXPECT_NE(page.find("<h3>Strings (6, 4 not written)</h3>"), std::string::npos);
    EXPECT_NE(page.find("<h3>Icons (2, 1 not written)</h3>"), std::string::npos);
    EXPECT_NE(page.find("<h3>Raw data (2, 1 not written)</h3>"), std::string::npos);
    for (const auto& [what, open, close, marked] :
         {std::tuple{"IDI_KEPT", "<figure", "</figure>", false},
          {"IDI_LEFT", "<figure", "</figure>", true},
          {"KEPT_DATA", "<tr", "</tr>", false},
          {"LEFT_DATA", "<tr", "</tr>", true}}) {
        SCOPED_TRACE(what);
        const std::string element = ElementAround(page, what, open, close);
        EXPECT_EQ(element.find("class=\"unwritten\"") != std::string::npos, marked);
        EXPECT_EQ(element.find("<span class=\"mark\">not written: ") != std::string::npos, marked);
        // Data that was not written has no file to link to.
        if (std::string_view(open) == "<tr") {
            EXPECT_EQ(element.find("href=") != std::string::npos, !marked);
        }
    }
}

TEST(SkinSheet, LargeImagesAreDrawnAt64PixelsAndOpenWholeFromTheIconFile) {
    skin::UnpackedSkin s;
    auto& m = s.modules.emplace_back();
    auto wide = Image(128, 32, 40);
    wide.height = 32;
    m.icons.push_back({u"IDI_BIG",
                       u"m\\icons\\big #1.ico",
                       1049,
                       {Image(256, 32, 300, true), wide, Image(64, 32, 40), Image(16, 4, 40)},
                       {},
                       {}});
    const std::string page = SkinSheetHtml(s);
    struct {
        std::string size, drawn;
        bool scaled;
    } const cases[] = {{"256\xC3\x97"
                        "256",
                        "width=\"64\" height=\"64\"", true},
                       {"128\xC3\x97"
                        "32",
                        "width=\"64\" height=\"16\"", true},
                       {"64\xC3\x97"
                        "64",
                        "width=\"64\" height=\"64\"", false},
                       {"16\xC3\x97"
                        "16",
                        "width=\"16\" height=\"16\"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string image = ElementAround(page, c.size + (c.scaled ? "</a>" : "<br>"),
                                                "<div class=\"image\">", "</div><");
        ASSERT_FALSE(image.empty());
        EXPECT_NE(image.find(c.drawn), std::string::npos) << image;
        EXPECT_EQ(image.find("class=\"scaled\"") != std::string::npos, c.scaled);
        EXPECT_EQ(image.find("<a href=\"Files/m/icons/big%20%231.ico\"") != std::string::npos,
                  c.scaled);
    }
    // The largest image is drawn from the icon file, the others from their
    // data: URIs; no image's bytes are on the page twice.
    EXPECT_NE(page.find("<img src=\"Files/m/icons/big%20%231.ico\" class=\"scaled\" width=\"64\""),
              std::string::npos);
    EXPECT_EQ(CountOf(page, "base64,"), 3u);
    // Two images the largest: which one a browser draws from the file is its
    // own choice, so both come from data: URIs.
    m.icons[0].images[1].width = 256;
    m.icons[0].images[1].height = 256;
    m.icons[0].images[1].bitCount = 32;
    EXPECT_EQ(CountOf(SkinSheetHtml(s), "base64,"), 4u);
}

#ifdef KSB_TEST_ZLIB
// zlib's own inflate as the reader of what ZlibCompress writes.
std::vector<std::uint8_t> Inflate(std::span<const std::uint8_t> stream, std::size_t size) {
    std::vector<std::uint8_t> out(size + 1);
    uLongf length = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &length, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
        return {0xBA, 0xD0};
    out.resize(length);
    return out;
}

TEST(IconImagePng, ZlibStreamsInflateBackWithZlib) {
    std::vector<std::vector<std::uint8_t>> inputs = {
        {}, {7}, std::vector<std::uint8_t>(70000, 0xAA)};
    std::vector<std::uint8_t> mixed;
    std::uint32_t seed = 1;
    for (int i = 0; i < 50000; ++i) {
        seed = seed * 1103515245u + 12345u;
        mixed.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? seed >> 24 : i % 7));
    }
    // The same 300 bytes again 40000 bytes later: past the window, never a match.
    mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 300);
    inputs.push_back(mixed);
    for (const auto& in : inputs) {
        SCOPED_TRACE(in.size());
        EXPECT_EQ(Inflate(skin::ZlibCompress(in), in.size()), in);
    }
    EXPECT_LT(skin::ZlibCompress(inputs[2]).size(), 1000u);
}

// A DIB icon image of `bits` per pixel whose pixel (x, y) is `expected(x, y)`,
// built the way the format lays it out (bottom-up rows, palette, AND mask);
// then the PNG of it, inflated by zlib, must give those pixels back.
TEST(IconImagePng, DibsComeBackPixelForPixel) {
    constexpr std::uint32_t w = 19, h = 7; // rows of every padding
    const auto expected = [](unsigned bits, std::uint32_t x, std::uint32_t y) {
        const bool masked = (x + y) % 5 == 0;
        if (bits == 32)
            return std::array<std::uint8_t, 4>{std::uint8_t(x * 13), std::uint8_t(y * 30),
                                               std::uint8_t(x + y),
                                               std::uint8_t(masked ? 0 : 40 + x)};
        const unsigned index = (x * 3 + y) % (1u << std::min(bits, 8u));
        if (bits == 24)
            return std::array<std::uint8_t, 4>{std::uint8_t(x * 9), std::uint8_t(y), 200,
                                               std::uint8_t(masked ? 0 : 255)};
        return std::array<std::uint8_t, 4>{std::uint8_t(index * 50), std::uint8_t(255 - index), 7,
                                           std::uint8_t(masked ? 0 : 255)};
    };
    for (const unsigned bits : {1u, 4u, 8u, 24u, 32u}) {
        SCOPED_TRACE(bits);
        std::vector<std::uint8_t> dib = sheet_test::DibHeader(w, h, bits);
        const unsigned colours = bits <= 8 ? 1u << bits : 0;
        for (unsigned k = 0; k < colours; ++k)
            dib.insert(dib.end(), {7, std::uint8_t(255 - k), std::uint8_t(k * 50), 0}); // BGRx
        const std::size_t xorStride = (w * bits + 31) / 32 * 4, andStride = (w + 31) / 32 * 4;
        const std::size_t xorAt = dib.size(), andAt = xorAt + xorStride * h;
        dib.resize(andAt + andStride * h);
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::size_t row = xorAt + (h - 1 - y) * xorStride,
                              mask = andAt + (h - 1 - y) * andStride;
            for (std::uint32_t x = 0; x < w; ++x) {
                const auto p = expected(bits, x, y);
                if (p[3] == 0)
                    dib[mask + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                if (bits >= 24) {
                    const std::size_t at = row + x * bits / 8;
                    dib[at] = p[2];
                    dib[at + 1] = p[1];
                    dib[at + 2] = p[0];
                    if (bits == 32)
                        dib[at + 3] = p[3];
                } else {
                    const unsigned index = (x * 3 + y) % colours;
                    dib[row + x * bits / 8] |=
                        static_cast<std::uint8_t>(index << (8 - bits - x * bits % 8));
                }
            }
        }
        const auto png = skin::DibIconToPng(dib);
        ASSERT_GT(png.size(), 8u + 25 + 12);
        const std::uint8_t ihdr[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0,
                                     w, 0, 0, 0,  h,   8,   6,   0,   0, 0};
        EXPECT_TRUE(std::equal(std::begin(ihdr), std::end(ihdr), png.begin() + 8));
        // Every chunk's CRC by zlib's crc32, and the IDAT's pixels by its inflate.
        std::vector<std::uint8_t> pixels;
        for (std::size_t at = 8; at + 12 <= png.size();) {
            const std::size_t length =
                std::size_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
            ASSERT_LE(at + 12 + length, png.size());
            const std::uint32_t crc = std::uint32_t{png[at + 8 + length]} << 24 |
                                      png[at + 9 + length] << 16 | png[at + 10 + length] << 8 |
                                      png[at + 11 + length];
            EXPECT_EQ(crc, crc32(0, png.data() + at + 4, static_cast<uInt>(length + 4)));
            if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT")
                pixels = Inflate({png.data() + at + 8, length}, h * (1 + 4 * w));
            at += 12 + length;
        }
        ASSERT_EQ(pixels.size(), h * (1 + 4 * w));
        for (std::uint32_t y = 0; y < h; ++y) {
            EXPECT_EQ(pixels[y * (1 + 4 * w)], 0); // filter: none
            for (std::uint32_t x = 0; x < w; ++x) {
                const auto p = expected(bits, x, y);
                const auto* got = &pixels[y * (1 + 4 * w) + 1 + 4 * x];
                EXPECT_TRUE(std::equal(p.begin(), p.end(), got)) << x << "," << y;
            }
        }
        // What it does not read gives nothing: compressed, 16 bits, a short
        // bitmap, a palette index past the palette.
        auto compressed = dib;
        compressed[16] = 1;
        auto sixteen = dib;
        sixteen[14] = 16;
        const std::vector<std::uint8_t> shortXor(
            dib.begin(), dib.begin() + static_cast<std::ptrdiff_t>(xorAt + 1));
        for (const auto& bad : {compressed, sixteen, shortXor})
            EXPECT_TRUE(skin::DibIconToPng(bad).empty());
        if (bits == 8) {
            auto fewColours = dib;
            fewColours[32] = 2; // biClrUsed: 2 entries; pixels use more
            EXPECT_TRUE(skin::DibIconToPng(fewColours).empty());
        }
    }
}
#endif

TEST(TextPreview, FirstLinesDecodedAndCut) {
    const auto bytes = [](std::string_view text) {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    struct {
        std::vector<std::uint8_t> bytes;
        skin::TextEncoding encoding;
        std::vector<std::u16string> lines;
        std::vector<bool> cut;
        std::size_t more;
    } const cases[] = {
        // UTF-8 without a marker, CR LF and LF, a line cut short of a pair.
        {bytes("\xD0\x9F\xD1\x80\xD0\xB8\r\nabcdefgh\n12345\xF0\x9F\x98\x80"
               "7\nx"),
         skin::TextEncoding::Utf8,
         {u"\u041F\u0440\u0438", u"abcdef", u"12345"},
         {false, true, true},
         1},
        // Not UTF-8: Windows-1251, whatever the system's code page.
        {bytes("\xCF\xF0\xE8\xE2\xE5\xF2 \xB9\x31"),
         skin::TextEncoding::Windows1251,
         {u"\u041F\u0440\u0438\u0432\u0435\u0442"},
         {true},
         0},
        // UTF-16 LE by its marker; the first NUL ends the text.
        {{0xFF, 0xFE, 'h', 0, 'i', 0, '\n', 0, 0x16, 0x04, 0, 0, 'z', 0},
         skin::TextEncoding::Utf16,
         {u"hi", u"\u0416"},
         {false, false},
         0},
        {bytes("\xEF\xBB\xBF"
               "a\n\nb\n"),
         skin::TextEncoding::Utf8,
         {u"a", u"", u"b"},
         {false, false, false},
         0},
    };
    for (const auto& c : cases) {
        const auto preview = skin::PreviewText(c.bytes, 3, 6);
        EXPECT_EQ(preview.encoding, c.encoding);
        ASSERT_EQ(preview.lines.size(), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(preview.lines[i].text, c.lines[i]) << i;
            EXPECT_EQ(preview.lines[i].cut, c.cut[i]) << i;
        }
        EXPECT_EQ(preview.moreLines, c.more);
    }
#ifndef _WIN32
    // The table against iconv's Windows-1251, which the POSIX ANSI code page is.
    for (unsigned b = 1; b < 256; ++b) {
        if (b == 0x98)
            continue; // unassigned: iconv refuses it
        const std::u16string iconv = platform::AnsiToUtf16(std::string(1, static_cast<char>(b)));
        EXPECT_EQ(iconv, std::u16string(1, skin::Windows1251ToUtf16(static_cast<std::uint8_t>(b))))
            << b;
    }
#endif
}

} // namespace
