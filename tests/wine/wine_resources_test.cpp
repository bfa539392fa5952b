// Resources written by the updater as the Windows loader reads them: a copy
// of the template gets a string block, raw data under a number and under a
// name, and 40 KiB of raw data; the module is loaded as a data file and each
// item is read back in language 1049.
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

// A string-table block: 16 counted UTF-16 strings, empty ones as a 0 length.
std::vector<std::uint8_t> StringBlock(const std::vector<std::u16string>& strings) {
    std::vector<std::uint8_t> block;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::u16string text = i < strings.size() ? strings[i] : std::u16string();
        block.push_back(static_cast<std::uint8_t>(text.size()));
        block.push_back(static_cast<std::uint8_t>(text.size() >> 8));
        for (char16_t c : text) {
            block.push_back(static_cast<std::uint8_t>(c));
            block.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }
    return block;
}

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>((i * 131 + seed) >> 2);
    return data;
}

class WineResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = scratch_.Path("skin.dll");
        const auto bytes = skin::TemplateModule();
        ASSERT_EQ(bytes.size(), skin::kTemplateModuleSize);
        ksbtest::WriteFile(path_, bytes);
    }
    void TearDown() override {
        if (module_)
            FreeLibrary(module_);
    }

    void Put(acWorkRes::ResourceUpdateHandle* handle, const acWorkRes::ResourceId& type,
             const acWorkRes::ResourceId& name, const std::vector<std::uint8_t>& data) {
        ASSERT_TRUE(acWorkRes::UpdateResourceItem(handle, type, name, kLanguage, data.data(),
                                                  static_cast<std::uint32_t>(data.size())));
    }

    template <typename Edit> void CommitAndLoad(Edit edit) {
        acWorkRes::ResourceUpdateHandle* handle =
            acWorkRes::BeginResourceUpdate(path_.u16string(), false);
        ASSERT_NE(handle, nullptr) << "error " << GetLastError();
        edit(handle);
        ASSERT_TRUE(acWorkRes::EndResourceUpdate(handle, false));
        module_ = LoadLibraryExW(path_.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << "error " << GetLastError();
    }

    // The bytes of an item as FindResourceExW / LoadResource give them; empty
    // with `found` false when the loader does not find it.
    std::vector<std::uint8_t> Read(LPCWSTR type, LPCWSTR name, bool& found) {
        HRSRC resource = FindResourceExW(module_, type, name, kLanguage);
        found = resource != nullptr;
        if (!resource)
            return {};
        HGLOBAL loaded = LoadResource(module_, resource);
        const auto* bytes =
            static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
        if (!bytes)
            return {};
        return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module_, resource));
    }

    const ksbtest::ScratchFolder scratch_{"wine-resources"};
    fs::path path_;
    HMODULE module_ = nullptr;
};

TEST_F(WineResourcesTest, StringsNumberedNamedAndLargeDataReadBack) {
    const std::u16string privet = u"\u041F\u0440\u0438\u0432\u0435\u0442";
    const auto block = StringBlock({u"Hello", u"", u"", u"", u"", privet});
    const auto numbered = Pattern(123, 1);
    const auto named = Pattern(77, 2);
    const auto large = Pattern(40 * 1024, 3);
    CommitAndLoad([&](acWorkRes::ResourceUpdateHandle* h) {
        Put(h, acWorkRes::kRtString, 1, block);
        Put(h, acWorkRes::kRtRcData, 100, numbered);
        Put(h, acWorkRes::kRtRcData, u"SKIN_DATA", named);
        Put(h, acWorkRes::kRtRcData, 200, large);
    });

    bool found = false;
    EXPECT_EQ(Read(MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(1), found), block);
    EXPECT_TRUE(found);
    EXPECT_EQ(Read(MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(100), found), numbered);
    EXPECT_TRUE(found);
    EXPECT_EQ(Read(MAKEINTRESOURCEW(10), L"SKIN_DATA", found), named);
    EXPECT_TRUE(found);
    EXPECT_EQ(Read(MAKEINTRESOURCEW(10), L"skin_data", found), named); // the loader upper-cases
    EXPECT_EQ(Read(MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(200), found), large);
    EXPECT_TRUE(found);
    Read(MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(101), found);
    EXPECT_FALSE(found);

    // LoadStringW looks in the thread's UI language first; with only the 1049
    // block present it still comes to that one.
    wchar_t text[64] = {};
    ASSERT_EQ(LoadStringW(module_, 0, text, 64), 5);
    EXPECT_EQ(std::wstring(text), L"Hello");
    ASSERT_EQ(LoadStringW(module_, 5, text, 64), 6);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), privet);
    EXPECT_EQ(LoadStringW(module_, 3, text, 64), 0);
}

TEST_F(WineResourcesTest, TheLoaderFindsEveryUpperCaseName) {
    // Names whose order differs between a word sort and code-unit order:
    // punctuation, digits, and prefixes of one another.
    const std::vector<std::u16string> names = {
        u"IDI_A", u"IDIB",  u"A_1",    u"B_",      u"Z.Q",
        u"M+N",   u"A1",    u"A-2",    u"0ZERO",   u"9",
        u"_X",    u"X_",    u"ITEM.2", u"ITEM-10", u"ITEM10",
        u"A",     u"AB",    u"ABC",    u"~TILDE",  u"[BR]",
        u"A'B",   u"CO-OP", u"COOP",   u"CO_OP",   u"\u0416\u0423\u041A"};
    CommitAndLoad([&](acWorkRes::ResourceUpdateHandle* h) {
        for (std::size_t i = 0; i < names.size(); ++i)
            Put(h, acWorkRes::kRtRcData, names[i], Pattern(8 + i, static_cast<unsigned>(i)));
    });
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::wstring name(names[i].begin(), names[i].end());
        bool found = false;
        EXPECT_EQ(Read(MAKEINTRESOURCEW(10), name.c_str(), found),
                  Pattern(8 + i, static_cast<unsigned>(i)))
            << "name #" << i;
        EXPECT_TRUE(found) << "name #" << i;
    }
}

} // namespace
