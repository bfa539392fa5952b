// Path parts, joining, folders and the copy and delete of single files.
#include "platform/platform.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using ksbtest::ReadText;
using ksbtest::ScratchFolder;
using ksbtest::WriteFile;
using ksbtest::fs::exists;

TEST(PathParts, FolderEndsAtTheLastSeparatorOrColon) {
    struct Case {
        std::u16string path, folder, name;
    };
    const Case cases[] = {
        {u"C:\\skin\\Kesto.exe", u"C:\\skin\\", u"Kesto.exe"},
        {u"/home/me/skin/kesto", u"/home/me/skin/", u"kesto"},
        {u"Files\\icons/a.ico", u"Files\\icons/", u"a.ico"},
        {u"a/b\\c", u"a/b\\", u"c"},
        {u"C:kesto.exe", u"C:", u"kesto.exe"},
        {u"\\\\server\\share\\x", u"\\\\server\\share\\", u"x"},
        {u"Files\\", u"Files\\", u""},
        {u"kesto.exe", u"", u"kesto.exe"},
        {u"", u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::FolderPart(c.path), c.folder) << platform::Utf16ToUtf8(c.path);
        EXPECT_EQ(platform::FileNamePart(c.path), c.name) << platform::Utf16ToUtf8(c.path);
        EXPECT_EQ(platform::FolderPart(c.path) + platform::FileNamePart(c.path), c.path);
    }
}

TEST(PathParts, JoinKeepsTheFolderAndMakesTheRelativePartNative) {
#ifdef _WIN32
    EXPECT_EQ(platform::JoinPath(u"C:\\skin\\", u"Files\\icons\\a.ico"),
              u"C:\\skin\\Files\\icons\\a.ico");
    EXPECT_EQ(platform::JoinPath(u"C:\\skin\\", u"Files/a b.txt"), u"C:\\skin\\Files/a b.txt");
#else
    EXPECT_EQ(platform::JoinPath(u"/home/me/skin/", u"Files\\icons\\a.ico"),
              u"/home/me/skin/Files/icons/a.ico");
    // Only the relative part is converted: the folder is the system's own.
    EXPECT_EQ(platform::JoinPath(u"/odd\\name/", u"x\\y"), u"/odd\\name/x/y");
#endif
    EXPECT_EQ(platform::JoinPath(u"", u"Files"), u"Files");
    EXPECT_EQ(platform::JoinPath(u"dir/", u""), u"dir/");
}

TEST(Folders, ExistenceTellsFilesFromFolders) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"file.txt"), "x");
    ksbtest::fs::create_directory(dir.Native(u"sub"));

    EXPECT_TRUE(platform::FileExists(dir.Path(u"file.txt")));
    EXPECT_FALSE(platform::FolderExists(dir.Path(u"file.txt")));
    EXPECT_TRUE(platform::FolderExists(dir.Path(u"sub")));
    EXPECT_FALSE(platform::FileExists(dir.Path(u"sub")));
    EXPECT_FALSE(platform::FileExists(dir.Path(u"missing")));
    EXPECT_FALSE(platform::FolderExists(dir.Path(u"missing")));
    EXPECT_FALSE(platform::FileExists(u""));
    EXPECT_FALSE(platform::FolderExists(u""));
}

TEST(Folders, CreateFoldersMakesEveryMissingLevel) {
    ScratchFolder dir;
    std::u16string deep = dir.Path(u"UsedFiles\\icons\\small\\");
    EXPECT_TRUE(platform::CreateFolders(deep));
    EXPECT_TRUE(ksbtest::fs::is_directory(dir.Native(u"UsedFiles\\icons\\small")));
    // Again: nothing to do, still a success.
    EXPECT_TRUE(platform::CreateFolders(deep));
    EXPECT_TRUE(platform::CreateFolders(dir.Path(u"UsedFiles")));
    EXPECT_TRUE(platform::CreateFolders(dir.Path(u"other\\deeper")));
    EXPECT_TRUE(ksbtest::fs::is_directory(dir.Native(u"other\\deeper")));

    EXPECT_FALSE(platform::CreateFolders(u""));
    WriteFile(dir.Native(u"plain"), "a file in the way");
    EXPECT_FALSE(platform::CreateFolders(dir.Path(u"plain")));
    EXPECT_FALSE(platform::CreateFolders(dir.Path(u"plain\\below")));
    EXPECT_EQ(ReadText(dir.Native(u"plain")), "a file in the way");
}

TEST(Folders, RemoveEmptyFolderLeavesAFolderWithContents) {
    ScratchFolder dir;
    ksbtest::fs::create_directories(dir.Native(u"full\\inner"));
    WriteFile(dir.Native(u"full\\inner\\kept.txt"), "kept");
    ksbtest::fs::create_directory(dir.Native(u"empty"));

    EXPECT_FALSE(platform::RemoveEmptyFolder(dir.Path(u"full")));
    EXPECT_EQ(ReadText(dir.Native(u"full\\inner\\kept.txt")), "kept");
    EXPECT_TRUE(platform::RemoveEmptyFolder(dir.Path(u"empty")));
    EXPECT_FALSE(exists(dir.Native(u"empty")));
    EXPECT_FALSE(platform::RemoveEmptyFolder(dir.Path(u"empty")));

    WriteFile(dir.Native(u"file"), "f");
    EXPECT_FALSE(platform::RemoveEmptyFolder(dir.Path(u"file")));
    EXPECT_TRUE(exists(dir.Native(u"file")));
}

TEST(CopyAndDelete, CopyReplacesAWritableDestination) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"src.txt"), "new");
    WriteFile(dir.Native(u"dst.txt"), "a longer old content");
    EXPECT_TRUE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"dst.txt")));
    EXPECT_EQ(ReadText(dir.Native(u"dst.txt")), "new");
    EXPECT_EQ(ReadText(dir.Native(u"src.txt")), "new");

    EXPECT_TRUE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"fresh.txt")));
    EXPECT_EQ(ReadText(dir.Native(u"fresh.txt")), "new");

    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(dir.Native(u"big.bin"), big);
    EXPECT_TRUE(platform::CopyFileReplacing(dir.Path(u"big.bin"), dir.Path(u"big copy.bin")));
    EXPECT_EQ(ReadText(dir.Native(u"big copy.bin")), big);
}

TEST(CopyAndDelete, ReadOnlySourcesCopyWithTheirMark) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"ro-src.txt"), "source");
    ksbtest::MakeReadOnly(dir.Native(u"ro-src.txt"));
    EXPECT_TRUE(platform::CopyFileReplacing(dir.Path(u"ro-src.txt"), dir.Path(u"out.txt")));
    EXPECT_EQ(ReadText(dir.Native(u"out.txt")), "source");
    auto perms = ksbtest::fs::status(dir.Native(u"out.txt")).permissions();
    EXPECT_EQ(perms & ksbtest::fs::perms::owner_write, ksbtest::fs::perms::none);
}

#ifndef _WIN32
TEST(CopyAndDelete, SpecialFilesAreRefusedWithoutWaiting) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"src.txt"), "data");
    ASSERT_EQ(mkfifo(ksbtest::fs::path(dir.Path(u"fifo")).c_str(), 0600), 0);
    // Without a peer on the other end, a blocking open would never return.
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"fifo"), dir.Path(u"out.txt")));
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"fifo")));
    EXPECT_FALSE(
        platform::OpenExisting(dir.Path(u"fifo"), platform::OpenMode::ReadShareRead).IsOpen());
    EXPECT_FALSE(
        platform::OpenExisting(dir.Path(u"fifo"), platform::OpenMode::ExclusiveReadWrite).IsOpen());
    EXPECT_FALSE(platform::CreateAnew(dir.Path(u"fifo")).IsOpen());
    EXPECT_FALSE(exists(dir.Native(u"out.txt")));
}
#endif

TEST(CopyAndDelete, FailedCopiesChangeNothing) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"src.txt"), "new");

    // A missing source: no destination appears.
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"missing.txt"), dir.Path(u"out.txt")));
    EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
    EXPECT_FALSE(exists(dir.Native(u"out.txt")));

    // A read-only destination stays as it is, even for a privileged user.
    WriteFile(dir.Native(u"ro.txt"), "read-only");
    ksbtest::MakeReadOnly(dir.Native(u"ro.txt"));
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"ro.txt")));
    EXPECT_EQ(ReadText(dir.Native(u"ro.txt")), "read-only");

    // A destination held by an update is not cut short.
    WriteFile(dir.Native(u"held.txt"), "held");
    {
        platform::File holder =
            platform::OpenExisting(dir.Path(u"held.txt"), platform::OpenMode::ExclusiveReadWrite);
        ASSERT_TRUE(holder);
        EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"held.txt")));
    }
    EXPECT_EQ(ReadText(dir.Native(u"held.txt")), "held");

    // A file copied onto itself keeps its content.
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"src.txt")));
    EXPECT_EQ(ReadText(dir.Native(u"src.txt")), "new");

    // Folders are neither sources nor destinations.
    ksbtest::fs::create_directory(dir.Native(u"folder"));
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"folder"), dir.Path(u"out.txt")));
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"folder")));
    EXPECT_TRUE(ksbtest::fs::is_directory(dir.Native(u"folder")));

    // A destination in a missing folder.
    EXPECT_FALSE(platform::CopyFileReplacing(dir.Path(u"src.txt"), dir.Path(u"no\\out.txt")));
}

TEST(CopyAndDelete, DeleteRemovesOnlyFiles) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"gone.txt"), "x");
    EXPECT_TRUE(platform::DeleteFilePath(dir.Path(u"gone.txt")));
    EXPECT_FALSE(exists(dir.Native(u"gone.txt")));
    EXPECT_FALSE(platform::DeleteFilePath(dir.Path(u"gone.txt")));
    EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);

    ksbtest::fs::create_directory(dir.Native(u"folder"));
    EXPECT_FALSE(platform::DeleteFilePath(dir.Path(u"folder")));
    EXPECT_TRUE(ksbtest::fs::is_directory(dir.Native(u"folder")));
}

TEST(CopyAndDelete, NonAsciiNamesReachTheFileSystem) {
    ScratchFolder dir;
    const std::u16string name = u"\u0418\u043a\u043e\u043d\u043a\u0430 \u00e9.ico";
    WriteFile(dir.Native(name), "icon");
    EXPECT_TRUE(platform::FileExists(dir.Path(name)));
    EXPECT_TRUE(platform::CopyFileReplacing(dir.Path(name), dir.Path(u"copy " + name)));
    EXPECT_EQ(ReadText(dir.Native(u"copy " + name)), "icon");
    EXPECT_TRUE(platform::DeleteFilePath(dir.Path(name)));
    EXPECT_FALSE(platform::FileExists(dir.Path(name)));
}

} // namespace
