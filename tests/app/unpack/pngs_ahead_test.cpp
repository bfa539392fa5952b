// The sheet's images converted on a second thread: the page comes out the
// same byte for byte, whatever the bound, whenever the files are said to be
// written, and however the page takes them.
#include "app/unpack/pngs_ahead.h"
#include "app/unpack/skin_sheet.h"
#include "skin/unpack/icon_image_png.h"
#include "tests/app/unpack/dib_header.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// A 32-bit DIB of `side` pixels a side, its pixels from `seed`.
std::span<const std::uint8_t> Dib(std::uint32_t side, unsigned seed) {
    static std::deque<std::vector<std::uint8_t>> kept; // the model holds views
    std::vector<std::uint8_t> dib = sheet_test::DibHeader(side, side, 32);
    dib.resize(40 + side * side * 4 + (side + 31) / 32 * 4 * side);
    for (std::size_t i = 40; i < 40 + side * side * 4; ++i)
        dib[i] = static_cast<std::uint8_t>((i / 4 % side) * seed + (i / (4 * side)) * 7 + i % 4);
    return kept.emplace_back(std::move(dib));
}

skin::UnpackedSkin ThreeModules() {
    skin::UnpackedSkin skin;
    unsigned seed = 3;
    for (int m = 0; m < 3; ++m) {
        auto& module = skin.modules.emplace_back();
        module.moduleFile = u"_skin\\m" + std::u16string(1, static_cast<char16_t>(u'0' + m));
        for (int g = 0; g < 4; ++g) {
            skin::UnpackedIconGroup group;
            group.key = u"IDI_" + std::u16string(1, static_cast<char16_t>(u'A' + g));
            group.file =
                g % 2 ? u"icons\\x.ico" : u""; // with a file, its largest image is referenced
            for (const std::uint32_t side : {16u, 32u, 48u}) {
                skin::UnpackedIconImage image;
                image.width = image.height = side;
                image.bitCount = 32;
                image.bytes = Dib(side, seed++);
                group.images.push_back(image);
            }
            module.icons.push_back(group);
        }
    }
    return skin;
}

std::string Page(const skin::UnpackedSkin& skin, app::unpack::PngsAhead* ahead) {
    std::string page;
    app::unpack::WriteSkinSheet(
        skin, [&page](std::string_view part) { page += part; }, {}, ahead);
    return page;
}

TEST(PngsAhead, ThePageIsTheSameWhateverTheThreadDoes) {
    const skin::UnpackedSkin skin = ThreeModules();
    const std::string expected = Page(skin, nullptr);
    ASSERT_NE(expected.find("data:image/png;base64,"), std::string::npos);
    struct {
        std::size_t bound;
        int filesWritten; // modules said written before the page; -1 none
    } const cases[] = {{0, -1},
                       {1, 0},
                       {1, 2},
                       {app::unpack::PngsAhead::kDefaultBound, -1},
                       {app::unpack::PngsAhead::kDefaultBound, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bound << " " << c.filesWritten);
        app::unpack::PngsAhead ahead(skin, c.bound);
        for (int m = 0; m <= c.filesWritten; ++m)
            ahead.FilesWritten(static_cast<std::size_t>(m));
        EXPECT_EQ(Page(skin, &ahead), expected);
    }
}

TEST(PngsAhead, ImagesAreTakenOnceAndThoseSkippedAreLetGo) {
    const skin::UnpackedSkin skin = ThreeModules();
    app::unpack::PngsAhead ahead(skin, 0);
    const auto& first = skin.modules[0].icons[0].images[0];
    const auto& later = skin.modules[2].icons[0].images[1];
    const auto got = ahead.Take(later);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, skin::DibIconToPng(later.bytes));
    EXPECT_FALSE(ahead.Take(later)); // asked for again
    EXPECT_FALSE(ahead.Take(first)); // let go on the way
    skin::UnpackedIconImage stranger = first;
    EXPECT_FALSE(ahead.Take(stranger)); // not the page's
    // Leaving with images not taken stops the thread.
}

} // namespace
