// The unpacker's sheet for a large skin: 8 modules of 300 icon groups with
// 48, 32 and 16 pixel 32-bit images (as DIBs, 36 MB of image data: the page
// draws the 48-pixel one of each group from its icon file and the others as
// PNG), plus strings and raw data. Beside it, its floor: filling a fresh
// string of the page's size, which is all the memory the page must touch
// once (on a virtual machine the first touch of each page can cost more than
// the encoding).
#include "app/unpack/skin_sheet.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The bytes of a 32-bit DIB icon image: header, pixels and AND mask. The
// pixels are a pattern that repeats every 96 bytes or so, as flat icon
// colours do, so that the PNG the page draws it as is compressed as a real
// icon's would be.
std::vector<std::uint8_t> DibBytes(std::uint32_t size) {
    std::vector<std::uint8_t> bytes(40 + size * size * 4 + size * ((size + 31) / 32 * 4));
    for (std::size_t i = 40; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i % 97) * 131 + size);
    const std::uint32_t header[] = {40, size, 2 * size, 1 | (32u << 16)}; // planes, bit count
    for (std::size_t k = 0; k < std::size(header); ++k)
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * k + b] = static_cast<std::uint8_t>(header[k] >> (8 * b));
    return bytes;
}

skin::UnpackedSkin LargeSkin() {
    // The model views the bytes: the three images' bytes, shared by every
    // group, live as long as the program.
    static const std::vector<std::uint8_t> kDibs[] = {DibBytes(48), DibBytes(32), DibBytes(16)};
    skin::UnpackedSkin s;
    for (int m = 0; m < 8; ++m) {
        skin::UnpackedModule module;
        module.moduleFile =
            u"_skin\\module" + std::u16string(1, static_cast<char16_t>(u'0' + m)) + u".dll";
        module.script = u"module.rc";
        for (int g = 0; g < 300; ++g) {
            skin::UnpackedIconGroup group{u"IDI_ICON_" + std::u16string(1, char16_t(u'A' + g % 26)),
                                          u"module\\icons\\icon.ico",
                                          1049,
                                          {},
                                          {},
                                          {}};
            std::uint16_t id = 50;
            for (std::size_t k = 0; k < std::size(kDibs); ++k) {
                const std::uint32_t size = 48 - 16 * static_cast<std::uint32_t>(k);
                skin::UnpackedIconImage image;
                image.iconId = id++;
                image.width = image.height = size;
                image.bitCount = 32;
                image.bytes = kDibs[k];
                group.images.push_back(std::move(image));
            }
            module.icons.push_back(std::move(group));
        }
        for (std::uint32_t e = 1; e <= 15; ++e)
            module.strings.push_back({e,
                                      u"\u0421\u043E\u043E\u0431\u0449\u0435\u043D\u0438\u0435 <&>",
                                      false,
                                      true,
                                      {}});
        for (int d = 0; d < 20; ++d)
            module.data.push_back({u"IDR_DATA",
                                   u"module\\data\\picture #1.png",
                                   1049,
                                   skin::DataKind::Png,
                                   std::vector<std::uint8_t>(4096),
                                   {}});
        s.modules.push_back(std::move(module));
    }
    return s;
}

void BM_SkinSheet(benchmark::State& state) {
    const skin::UnpackedSkin s = LargeSkin();
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string page = app::unpack::SkinSheetHtml(s);
        size = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["page_MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_SkinSheet)->Unit(benchmark::kMillisecond);

void BM_FreshPageFill(benchmark::State& state) {
    const std::size_t size = app::unpack::SkinSheetHtml(LargeSkin()).size();
    for (auto _ : state) {
        std::string page(size, 'x');
        benchmark::DoNotOptimize(page.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FreshPageFill)->Unit(benchmark::kMillisecond);

} // namespace
