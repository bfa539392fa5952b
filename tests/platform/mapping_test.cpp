// Whole-file mappings: writes through the view reach the file, and a file
// that is resized is mapped again at its new size with its bytes kept.
#include "platform/platform.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using ksbtest::BytesOf;
using ksbtest::ReadText;
using ksbtest::ScratchFolder;
using ksbtest::WriteFile;
using platform::File;
using platform::Mapping;
using platform::OpenMode;

TEST(Mapping, WritesThroughTheViewReachTheFile) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"m.bin"), "abcdefgh");
    {
        File file = platform::OpenExisting(dir.Path(u"m.bin"), OpenMode::ExclusiveReadWrite);
        ASSERT_TRUE(file);
        Mapping view = platform::MapWholeFile(file, true);
        ASSERT_TRUE(view) << platform::LastError();
        ASSERT_EQ(view.Size(), 8u);
        EXPECT_EQ(std::memcmp(view.Data(), "abcdefgh", 8), 0);
        view.Data()[0] = 'A';
        view.Bytes()[7] = 'H';
        view.Unmap();
        EXPECT_FALSE(view);
        EXPECT_EQ(view.Size(), 0u);
    }
    EXPECT_EQ(ReadText(dir.Native(u"m.bin")), "AbcdefgH");
}

TEST(Mapping, ResizeAndRemapKeepsTheBytes) {
    ScratchFolder dir;
    File file = platform::CreateAnew(dir.Path(u"grow.bin"));
    ASSERT_TRUE(file);
    ASSERT_TRUE(file.WriteAt(0, BytesOf("header")));

    Mapping view = platform::MapWholeFile(file, true);
    ASSERT_TRUE(view);
    ASSERT_EQ(view.Size(), 6u);
    view.Data()[5] = 'R';
    view.Unmap(); // a mapped file is resized only after its view is gone

    // Grow past a page so that the new view cannot be the old one in disguise.
    ASSERT_TRUE(file.SetSize(70000));
    view = platform::MapWholeFile(file, true);
    ASSERT_TRUE(view);
    ASSERT_EQ(view.Size(), 70000u);
    EXPECT_EQ(std::memcmp(view.Data(), "headeR", 6), 0);
    bool zeros = true;
    for (std::size_t i = 6; i < view.Size(); ++i)
        zeros = zeros && view.Data()[i] == 0;
    EXPECT_TRUE(zeros);
    view.Data()[69999] = 0x5A;
    view.Unmap();

    ASSERT_TRUE(file.SetSize(3));
    view = platform::MapWholeFile(file, false);
    ASSERT_TRUE(view);
    EXPECT_EQ(view.Size(), 3u);
    EXPECT_EQ(std::memcmp(view.Data(), "hea", 3), 0);
    view.Unmap();

    ASSERT_TRUE(file.SetSize(70000));
    std::vector<std::uint8_t> tail(1);
    ASSERT_TRUE(file.ReadAt(69999, tail));
    EXPECT_EQ(tail[0], 0); // the cut bytes are gone for good
}

TEST(Mapping, AnEmptyFileCannotBeMapped) {
    ScratchFolder dir;
    File file = platform::CreateAnew(dir.Path(u"empty.bin"));
    ASSERT_TRUE(file);
    platform::SetLastError(0);
    Mapping view = platform::MapWholeFile(file, true);
    EXPECT_FALSE(view);
    EXPECT_EQ(view.Data(), nullptr);
    EXPECT_EQ(platform::LastError(), platform::kErrorFileInvalid);

    File closed;
    EXPECT_FALSE(platform::MapWholeFile(closed, false));
    EXPECT_NE(platform::LastError(), 0u);
}

TEST(Mapping, ReadOnlyOpenGivesOnlyAReadOnlyView) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"icon.ico"), "icon data");
    File file = platform::OpenExisting(dir.Path(u"icon.ico"), OpenMode::ReadShareReadWrite);
    ASSERT_TRUE(file);
    EXPECT_FALSE(platform::MapWholeFile(file, true));
    EXPECT_NE(platform::LastError(), 0u);
    Mapping view = platform::MapWholeFile(file, false);
    ASSERT_TRUE(view);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.Data()), view.Size()), "icon data");
}

TEST(Mapping, MovedMappingsKeepOneOwner) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"m.bin"), "xyz");
    File file = platform::OpenExisting(dir.Path(u"m.bin"), OpenMode::ExclusiveReadWrite);
    ASSERT_TRUE(file);
    Mapping a = platform::MapWholeFile(file, true);
    ASSERT_TRUE(a);
    std::uint8_t* data = a.Data();
    Mapping b(std::move(a));
    EXPECT_FALSE(a); // NOLINT(bugprone-use-after-move): moved-from state is specified
    EXPECT_EQ(b.Data(), data);
    Mapping c = platform::MapWholeFile(file, true);
    c = std::move(b);
    EXPECT_EQ(c.Data(), data);
    EXPECT_EQ(c.Size(), 3u);
    c.Data()[1] = 'Y';
    c.Unmap();
    // With every view gone the file can be resized.
    EXPECT_TRUE(file.SetSize(1));
}

} // namespace
