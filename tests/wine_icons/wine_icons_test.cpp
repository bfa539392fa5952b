// Imported icons as Windows reads them: the module is loaded as a data file,
// each group is found in language 1049, LookupIconIdFromDirectoryEx picks an
// image from its directory, and CreateIconFromResourceEx makes an icon of it.
#include "acWorkRes/acWorkRes.h"
#include "skin/template_module.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr WORD kLanguage = 1049;

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    PutU16(out, at, value & 0xFFFF);
    PutU16(out, at + 2, value >> 16);
}

// A square 32-bit DIB icon image: BITMAPINFOHEADER (height doubled for the
// mask), the colour pixels, then the AND mask, rows padded to 32 bits.
std::vector<std::uint8_t> DibImage(std::uint32_t side, std::uint8_t shade) {
    const std::uint32_t pixels = side * side * 4;
    const std::uint32_t maskRow = (side + 31) / 32 * 4;
    std::vector<std::uint8_t> image(40 + pixels + maskRow * side);
    PutU32(image, 0, 40);
    PutU32(image, 4, side);
    PutU32(image, 8, side * 2);
    PutU16(image, 12, 1);
    PutU16(image, 14, 32);
    PutU32(image, 20, pixels + maskRow * side);
    for (std::uint32_t i = 0; i < side * side; ++i) {
        image[40 + 4 * i] = shade;
        image[40 + 4 * i + 1] = static_cast<std::uint8_t>(i);
        image[40 + 4 * i + 2] = static_cast<std::uint8_t>(255 - shade);
        image[40 + 4 * i + 3] = 0xFF;
    }
    return image;
}

// An .ico file holding one image of each size.
std::vector<std::uint8_t> IcoFile(const std::vector<std::uint32_t>& sides, std::uint8_t shade) {
    std::vector<std::vector<std::uint8_t>> images;
    for (std::uint32_t side : sides)
        images.push_back(DibImage(side, shade));
    std::vector<std::uint8_t> file(6 + 16 * images.size());
    PutU16(file, 2, 1);
    PutU16(file, 4, static_cast<std::uint32_t>(images.size()));
    for (std::size_t k = 0; k < images.size(); ++k) {
        const std::size_t entry = 6 + 16 * k;
        file[entry] = static_cast<std::uint8_t>(sides[k] % 256);
        file[entry + 1] = static_cast<std::uint8_t>(sides[k] % 256);
        PutU16(file, entry + 4, 1);
        PutU16(file, entry + 6, 32);
        PutU32(file, entry + 8, static_cast<std::uint32_t>(images[k].size()));
        PutU32(file, entry + 12, static_cast<std::uint32_t>(file.size()));
        file.insert(file.end(), images[k].begin(), images[k].end());
    }
    return file;
}

using ksbtest::WriteFile;

// A group name as the resource calls take it.
struct GroupName {
    std::u16string text; // empty for a numbered group
    WORD number = 0;

    acWorkRes::ResourceId Id() const {
        return text.empty() ? acWorkRes::ResourceId(number) : acWorkRes::ResourceId(text);
    }
    LPCWSTR Win32() const {
        return text.empty() ? MAKEINTRESOURCEW(number) : reinterpret_cast<LPCWSTR>(text.c_str());
    }
};

class WineIconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = scratch_.Path("skin.dll");
        const auto bytes = skin::TemplateModule();
        ASSERT_EQ(bytes.size(), skin::kTemplateModuleSize);
        WriteFile(module_, bytes);
    }

    // One update of the module: `edit` runs between begin and commit.
    template <typename Edit> void Update(Edit edit) {
        acWorkRes::ResourceUpdateHandle* handle =
            acWorkRes::BeginResourceUpdate(module_.u16string(), false);
        ASSERT_NE(handle, nullptr) << "error " << GetLastError();
        edit(handle);
        ASSERT_TRUE(acWorkRes::EndResourceUpdate(handle, false));
    }

    std::uint32_t Import(acWorkRes::ResourceUpdateHandle* handle, const GroupName& name,
                         const std::vector<std::uint32_t>& sides, std::uint8_t shade) {
        const fs::path ico = scratch_.Path("icon" + std::to_string(files_++) + ".ico");
        WriteFile(ico, IcoFile(sides, shade));
        return acWorkRes::AddIconFromFile(handle, name.Id(), kLanguage, ico.u16string());
    }

    // The group's directory as the loader gives it, and the RT_ICON ID that
    // LookupIconIdFromDirectoryEx picks for a square of `side`; 0 when either fails.
    int PickedIconId(HMODULE module, const GroupName& name, int side) {
        HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(14), name.Win32(), kLanguage);
        if (!found)
            return 0;
        HGLOBAL loaded = LoadResource(module, found);
        auto* directory = static_cast<PBYTE>(loaded ? LockResource(loaded) : nullptr);
        if (!directory)
            return 0;
        return LookupIconIdFromDirectoryEx(directory, TRUE, side, side, LR_DEFAULTCOLOR);
    }

    // Makes an icon of RT_ICON `id`; the width of its colour bitmap, 0 on failure.
    int IconWidth(HMODULE module, int id, int side) {
        HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id), kLanguage);
        if (!found)
            return 0;
        HGLOBAL loaded = LoadResource(module, found);
        auto* bits = static_cast<PBYTE>(loaded ? LockResource(loaded) : nullptr);
        if (!bits)
            return 0;
        HICON icon = CreateIconFromResourceEx(bits, SizeofResource(module, found), TRUE, 0x00030000,
                                              side, side, LR_DEFAULTCOLOR);
        if (!icon)
            return 0;
        int width = 0;
        ICONINFO info{};
        if (GetIconInfo(icon, &info)) {
            BITMAP bitmap{};
            if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap))
                width = bitmap.bmWidth;
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            if (info.hbmMask)
                DeleteObject(info.hbmMask);
        }
        DestroyIcon(icon);
        return width;
    }

    // For each size: the group's directory leads to `expectedIds[k]`, and that
    // image becomes an icon of that size.
    void ExpectIcons(const GroupName& name, const std::vector<int>& sides,
                     const std::vector<int>& expectedIds) {
        HMODULE module = LoadLibraryExW(module_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const int id = PickedIconId(module, name, sides[k]);
            EXPECT_EQ(id, expectedIds[k]) << "size " << sides[k];
            EXPECT_EQ(IconWidth(module, id, sides[k]), sides[k]) << "RT_ICON " << id;
        }
        FreeLibrary(module);
    }

    bool HasIcon(int id) {
        HMODULE module = LoadLibraryExW(module_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module)
            return false;
        const bool found = FindResourceExW(module, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id),
                                           kLanguage) != nullptr;
        FreeLibrary(module);
        return found;
    }

    const ksbtest::ScratchFolder scratch_{"wine-icons"};
    fs::path module_;
    int files_ = 0;
};

const GroupName kMain{u"MAINICON", 0};
const GroupName kSeven{u"", 7};

TEST_F(WineIconsTest, NewGroupsCountFrom50AndEachGivesAnIcon) {
    Update([&](acWorkRes::ResourceUpdateHandle* handle) {
        EXPECT_EQ(Import(handle, kMain, {16, 32, 48}, 0x10), 0u);
        EXPECT_EQ(Import(handle, kSeven, {16, 32}, 0x20), 0u);
    });
    ExpectIcons(kMain, {16, 32, 48}, {50, 51, 52});
    ExpectIcons(kSeven, {16, 32}, {53, 54});
}

TEST_F(WineIconsTest, TakenIdsArePassedOver) {
    Update([&](acWorkRes::ResourceUpdateHandle* handle) {
        const std::vector<std::uint8_t> other = DibImage(16, 0x30);
        for (std::uint16_t id : {50, 52})
            ASSERT_TRUE(acWorkRes::UpdateResourceItem(handle, acWorkRes::kRtIcon, id, kLanguage,
                                                      other.data(),
                                                      static_cast<std::uint32_t>(other.size())));
    });
    Update([&](acWorkRes::ResourceUpdateHandle* handle) {
        EXPECT_EQ(Import(handle, kMain, {16, 32, 48}, 0x40), 0u);
    });
    ExpectIcons(kMain, {16, 32, 48}, {51, 53, 54});
}

TEST_F(WineIconsTest, ReplacedGroupsHandTheirIdsOnAndDropTheirSurplusImages) {
    Update([&](acWorkRes::ResourceUpdateHandle* handle) {
        EXPECT_EQ(Import(handle, kMain, {16, 32, 48}, 0x50), 0u);
        EXPECT_EQ(Import(handle, kSeven, {16, 32, 48, 64}, 0x60), 0u);
    });
    // Four images become two (53 and 54; 55 and 56 go), then three become
    // five: 50-52 again, then the lowest free IDs from 50, which are the 55
    // and 56 that group 7 just gave up.
    Update([&](acWorkRes::ResourceUpdateHandle* handle) {
        EXPECT_EQ(Import(handle, kSeven, {16, 32}, 0x70), 0u);
        EXPECT_EQ(Import(handle, kMain, {16, 24, 32, 48, 64}, 0x80), 0u);
    });
    ExpectIcons(kSeven, {16, 32}, {53, 54});
    ExpectIcons(kMain, {16, 24, 32, 48, 64}, {50, 51, 52, 55, 56});
    EXPECT_FALSE(HasIcon(57));
}

TEST_F(WineIconsTest, ImportingOneNameTwiceInAnUpdateLeavesOneWorkingGroup) {
    Update([&](acWorkRes::ResourceUpdateHandle* handle) {
        EXPECT_EQ(Import(handle, kMain, {16, 32, 48}, 0x90), 0u);
        EXPECT_EQ(Import(handle, kMain, {32, 48}, 0xA0), 0u);
    });
    ExpectIcons(kMain, {32, 48}, {50, 51});
    EXPECT_FALSE(HasIcon(52));
}

} // namespace
