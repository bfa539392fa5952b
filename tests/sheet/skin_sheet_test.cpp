// The unpacker's sheet: what a hostile module cannot do to the page, icon
// images that come back out of their data: URIs as valid .ico files, and the
// string entries that the messenger cannot load.
#include "acWorkRes/icon_import.h"
#include "app/unpack/skin_sheet.h"
#include "skin/script_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using app::unpack::FilesUrl;
using app::unpack::ImageBitDepth;
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

skin::UnpackedIconImage Image(std::uint32_t size, std::uint16_t bitCount, std::size_t bytes,
                              bool png = false) {
    skin::UnpackedIconImage image;
    image.iconId = 50;
    image.width = image.height = size;
    image.bitCount = bitCount;
    image.png = png;
    for (std::size_t i = 0; i < bytes; ++i)
        image.bytes.push_back(static_cast<std::uint8_t>(i * 37 + 11));
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
        m.strings.push_back({1, h, false});
        m.data.push_back({h, h, 1049, skin::DataKind::Png, {0x89, 'P', 'N', 'G'}});
        images += 1; // the picture of the PNG data
        m.data.push_back({h, h, 1049, skin::DataKind::Wav, {'R', 'I', 'F', 'F'}});
        m.findings.push_back({true, h, "unexpressible-type\"><b>"});
        s.modules.push_back(m);
    }
    const std::string page = SkinSheetHtml(s);

    // Every tag of the page is one the sheet writes itself.
    const std::set<std::string> ownTags = {
        "!DOCTYPE",   "a",      "audio", "b",   "body",  "br",      "code",   "div",
        "figcaption", "figure", "h1",    "h2",  "h3",    "head",    "header", "html",
        "img",        "li",     "meta",  "nav", "p",     "section", "span",   "style",
        "table",      "tbody",  "td",    "th",  "thead", "title",   "tr",     "ul"};
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
    // The texts are still there to read, escaped.
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("&amp;lt;b&amp;gt; stays text"), std::string::npos);
    // Paths become percent-encoded URLs, never raw text in an attribute.
    EXPECT_NE(page.find("src=\"Files/%3Cscript%3Ealert%281%29%3C/script%3E\""), std::string::npos);
}

TEST(SkinSheet, TextsBecomeWellFormedUtf8WithVisibleControls) {
    skin::UnpackedSkin s;
    s.modules.emplace_back();
    // A lone high surrogate, a lone low one, a pair, a NUL, a Cyrillic word.
    s.modules[0].strings.push_back(
        {1, std::u16string(u"a\xD800z\xDC00|\U0001F600|") + u'\0' + u"|\u041F\u0440\u0438", false});
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
        EXPECT_EQ(file, image.bytes);
    }
}

TEST(SkinSheet, BitDepthFromTheDirectoryElseFromTheImagesOwnHeader) {
    auto dib = Image(16, 0, 40);
    dib.bytes[14] = 4; // biBitCount
    dib.bytes[15] = 0;
    auto png = Image(16, 0, 33, true);
    png.bytes[24] = 8; // bit depth
    png.bytes[25] = 6; // RGBA
    auto shortDib = Image(16, 0, 15);
    auto given = Image(16, 24, 40);
    EXPECT_EQ(ImageBitDepth(dib), 4);
    EXPECT_EQ(ImageBitDepth(png), 32);
    EXPECT_EQ(ImageBitDepth(shortDib), 0);
    EXPECT_EQ(ImageBitDepth(given), 24);
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

TEST(SkinSheet, EntriesPastFifteenAndCutStringsAreMarked) {
    skin::UnpackedSkin s;
    s.modules.emplace_back();
    s.modules[0].strings = {
        {1, u"one", false}, {15, u"fifteen", true}, {16, u"sixteen", false}, {40, u"forty", true}};
    const std::string page = SkinSheetHtml(s);
    for (const auto& entry : s.modules[0].strings) {
        SCOPED_TRACE(entry.entry);
        const auto cell = page.find("<td class=\"n\">" + std::to_string(entry.entry) + "<");
        ASSERT_NE(cell, std::string::npos);
        const auto rowStart = page.rfind("<tr", cell);
        const auto rowEnd = page.find("</tr>", cell);
        const std::string row = page.substr(rowStart, rowEnd - rowStart);
        EXPECT_EQ(row.find("cannot be loaded") != std::string::npos, entry.entry > 15);
        EXPECT_EQ(row.find(">cut<") != std::string::npos, entry.cut);
        EXPECT_NE(row.find("<td class=\"n\">" + std::to_string(entry.text.size()) + "<"),
                  std::string::npos);
    }
}

} // namespace
