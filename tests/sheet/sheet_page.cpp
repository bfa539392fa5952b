// Writes skin.html beside a Files folder, for the browser check
// (sheet_browser_test.py): sheet_page FOLDER [--broken]
//
// FOLDER holds Files/ with scripts. Until the unpacker itself is here, the
// skin it would hand the sheet is made from those scripts: each script's
// icon files parsed into their images, its data files read, its strings
// numbered as the build numbers them. UnpackedFromScripts is the one place
// to swap for the unpacker's output.
//
// --broken adds one icon image and one picture that cannot decode, so the
// check can see that a failure does get marked.
//
// Prints "images N": the number of img elements the page must hold.
#include "acWorkRes/icon_import.h"
#include "app/unpack/skin_sheet.h"
#include "skin/build_driver.h"
#include "skin/script_reader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path FilesPath(const fs::path& files, const std::u16string& relative) {
    std::u16string native = relative;
    std::ranges::replace(native, u'\\', u'/');
    return files / fs::path(native);
}

skin::DataKind KindOf(const std::vector<std::uint8_t>& b) {
    auto starts = [&](std::string_view magic) {
        return b.size() >= magic.size() &&
               std::equal(magic.begin(), magic.end(), b.begin(),
                          [](char m, std::uint8_t c) { return static_cast<std::uint8_t>(m) == c; });
    };
    if (starts("\x89PNG"))
        return skin::DataKind::Png;
    if (starts("BM"))
        return skin::DataKind::Bmp;
    if (starts("GIF8"))
        return skin::DataKind::Gif;
    if (starts("\xFF\xD8\xFF"))
        return skin::DataKind::Jpeg;
    if (starts("RIFF") && b.size() >= 12 && std::string(b.begin() + 8, b.begin() + 12) == "WAVE")
        return skin::DataKind::Wav;
    const bool text = std::ranges::all_of(b, [](std::uint8_t c) { return c >= 9 && c != 0x7F; });
    return text ? skin::DataKind::Text : skin::DataKind::Binary;
}

std::u16string ModuleOfScript(const std::u16string& script) {
    for (const auto& target : skin::kSkinTargets)
        if (script == target.ScriptFile)
            return target.OutputModule;
    return u"_skin\\" + script.substr(0, script.size() - 3) + u".dll";
}

skin::UnpackedIconGroup GroupOfFile(const fs::path& files, std::u16string key,
                                    std::u16string file) {
    skin::UnpackedIconGroup g{std::move(key), std::move(file), 1049, {}};
    const auto bytes = ReadAll(FilesPath(files, g.file));
    const auto ico = acWorkRes::ParseIconFile(bytes);
    if (!ico)
        throw std::runtime_error("no icon in " + FilesPath(files, g.file).string());
    std::uint16_t id = 50;
    for (const auto& image : ico->Images) {
        skin::UnpackedIconImage u;
        u.iconId = id++;
        u.width = image.Entry[0] == 0 ? 256 : image.Entry[0];
        u.height = image.Entry[1] == 0 ? 256 : image.Entry[1];
        u.colorCount = image.Entry[2];
        u.bitCount = static_cast<std::uint16_t>(image.Entry[6] | image.Entry[7] << 8);
        u.png = image.Bytes.size() >= 4 && image.Bytes[0] == 0x89 && image.Bytes[1] == 'P';
        u.bytes.assign(image.Bytes.begin(), image.Bytes.end());
        g.images.push_back(std::move(u));
    }
    return g;
}

skin::UnpackedSkin UnpackedFromScripts(const fs::path& files) {
    skin::UnpackedSkin s;
    std::vector<fs::path> scripts;
    for (const auto& e : fs::directory_iterator(files))
        if (e.path().extension() == ".rc")
            scripts.push_back(e.path());
    std::ranges::sort(scripts);
    for (const auto& script : scripts) {
        skin::UnpackedModule m;
        m.script = script.filename().u16string();
        m.moduleFile = ModuleOfScript(m.script);
        std::uint32_t entry = 0;
        for (const auto& r : skin::ReadScriptRequests(ReadAll(script))) {
            if (r.kind == skin::RequestKind::StringEntry) {
                m.strings.push_back({++entry, r.value, false});
            } else if (r.kind == skin::RequestKind::Icon) {
                m.icons.push_back(GroupOfFile(files, r.keyToken, r.value));
            } else if (r.kind == skin::RequestKind::RcData) {
                if (!fs::exists(FilesPath(files, r.value))) {
                    m.findings.push_back(
                        {true, r.value + u" is not in the folder", "missing-file"});
                    continue;
                }
                auto bytes = ReadAll(FilesPath(files, r.value));
                const auto kind = KindOf(bytes);
                m.data.push_back({r.keyToken, r.value, 1049, kind, std::move(bytes)});
            }
        }
        s.modules.push_back(std::move(m));
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: sheet_page FOLDER [--broken]\n";
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        auto s = UnpackedFromScripts(folder / "Files");
        if (s.modules.empty())
            throw std::runtime_error("no script in " + (folder / "Files").string());
        if (argc > 2 && std::string(argv[2]) == "--broken") {
            skin::UnpackedIconGroup g{u"BROKEN_ICON", u"broken.ico", 1049, {}};
            skin::UnpackedIconImage image;
            image.width = image.height = 16;
            image.bitCount = 32;
            image.bytes.assign(64, 0xFF); // no BITMAPINFOHEADER a decoder accepts
            g.images.push_back(image);
            s.modules[0].icons.push_back(g);
            // A text file that the page takes for a PNG picture.
            s.modules[0].data.push_back(
                {u"BROKEN_PICTURE", u"broken.png", 1049, skin::DataKind::Png, {'n', 'o'}});
            std::ofstream(folder / "Files" / "broken.png") << "no";
        }
        std::size_t images = 0;
        for (const auto& m : s.modules) {
            for (const auto& g : m.icons)
                images += g.images.size();
            for (const auto& d : m.data)
                images += d.kind == skin::DataKind::Png || d.kind == skin::DataKind::Bmp ||
                          d.kind == skin::DataKind::Gif || d.kind == skin::DataKind::Jpeg;
        }
        const std::string page = app::unpack::SkinSheetHtml(s);
        std::ofstream out(folder / "skin.html", std::ios::binary);
        out.write(page.data(), static_cast<std::streamsize>(page.size()));
        if (!out.flush())
            throw std::runtime_error("cannot write " + (folder / "skin.html").string());
        std::cout << "images " << images << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "sheet_page: " << e.what() << "\n";
        return 1;
    }
}
