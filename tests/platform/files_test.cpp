// Opening, creating, reading and writing files, and the sharing rules that
// keep a second opener out of a file under update.
#include "platform/platform.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using ksbtest::BytesOf;
using ksbtest::ReadText;
using ksbtest::ScratchFolder;
using ksbtest::WriteFile;
using platform::File;
using platform::OpenMode;

TEST(Files, CreateWriteReadAndResize) {
    ScratchFolder dir;
    std::u16string path = dir.Path(u"data.bin");
    {
        File file = platform::CreateAnew(path);
        ASSERT_TRUE(file.IsOpen()) << platform::LastError();
        auto payload = BytesOf("0123456789");
        ASSERT_TRUE(file.WriteAt(0, payload));
        ASSERT_TRUE(file.WriteAt(20, BytesOf("XY")));
        std::uint64_t size = 0;
        ASSERT_TRUE(file.GetSize(size));
        EXPECT_EQ(size, 22u);

        std::vector<std::uint8_t> part(4);
        ASSERT_TRUE(file.ReadAt(3, part));
        EXPECT_EQ(part, BytesOf("3456"));

        ASSERT_TRUE(file.SetSize(30)); // extends with zeros
        std::vector<std::uint8_t> all;
        ASSERT_TRUE(file.ReadAll(all));
        ASSERT_EQ(all.size(), 30u);
        EXPECT_EQ(all[20], 'X');
        EXPECT_EQ(all[21], 'Y');
        for (std::size_t i = 22; i < 30; ++i)
            EXPECT_EQ(all[i], 0) << "offset " << i;

        ASSERT_TRUE(file.SetSize(5)); // cuts
        ASSERT_TRUE(file.ReadAll(all));
        EXPECT_EQ(all, BytesOf("01234"));
    }
    EXPECT_EQ(ReadText(dir.Native(u"data.bin")), "01234");
}

TEST(Files, ReadPastTheEndFails) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"short.bin"), "abc");
    File file = platform::OpenExisting(dir.Path(u"short.bin"), OpenMode::ReadShareRead);
    ASSERT_TRUE(file);
    std::vector<std::uint8_t> out(4);
    EXPECT_FALSE(file.ReadAt(0, out));
    EXPECT_EQ(platform::LastError(), platform::kErrorHandleEof);
    std::vector<std::uint8_t> one(1);
    EXPECT_FALSE(file.ReadAt(3, one));
    EXPECT_FALSE(file.ReadAt(UINT64_MAX, one));
    ASSERT_TRUE(file.ReadAt(2, one));
    EXPECT_EQ(one[0], 'c');
    std::vector<std::uint8_t> none;
    EXPECT_TRUE(file.ReadAt(3, none));
}

TEST(Files, CreateAnewDiscardsTheOldContent) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"old.bin"), "old content here");
    File file = platform::CreateAnew(dir.Path(u"old.bin"));
    ASSERT_TRUE(file);
    std::uint64_t size = 1;
    ASSERT_TRUE(file.GetSize(size));
    EXPECT_EQ(size, 0u);
}

TEST(Files, MissingFilesAndFoldersGiveClearCodes) {
    ScratchFolder dir;
    platform::SetLastError(0);
    File missing = platform::OpenExisting(dir.Path(u"missing.bin"), OpenMode::ReadShareRead);
    EXPECT_FALSE(missing);
    EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);

    File inMissingFolder = platform::CreateAnew(dir.Path(u"no\\such\\folder.bin"));
    EXPECT_FALSE(inMissingFolder);
    EXPECT_NE(platform::LastError(), 0u);

    // A folder is no file, for readers and writers alike.
    ksbtest::fs::create_directory(dir.Native(u"sub"));
    for (OpenMode mode :
         {OpenMode::ExclusiveReadWrite, OpenMode::ReadShareRead, OpenMode::ReadShareReadWrite}) {
        platform::SetLastError(0);
        EXPECT_FALSE(platform::OpenExisting(dir.Path(u"sub"), mode));
        EXPECT_NE(platform::LastError(), 0u);
    }
    EXPECT_FALSE(platform::CreateAnew(dir.Path(u"sub")));
}

TEST(Files, ReadOnlyFilesRefuseWriters) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"ro.bin"), "keep me");
    ksbtest::MakeReadOnly(dir.Native(u"ro.bin"));

    EXPECT_FALSE(platform::OpenExisting(dir.Path(u"ro.bin"), OpenMode::ExclusiveReadWrite));
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    EXPECT_FALSE(platform::CreateAnew(dir.Path(u"ro.bin")));
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    EXPECT_EQ(ReadText(dir.Native(u"ro.bin")), "keep me");

    File reader = platform::OpenExisting(dir.Path(u"ro.bin"), OpenMode::ReadShareRead);
    ASSERT_TRUE(reader);
    std::vector<std::uint8_t> all;
    ASSERT_TRUE(reader.ReadAll(all));
    EXPECT_EQ(all, BytesOf("keep me"));
}

TEST(Files, ExclusiveOpenKeepsEveryOtherOpenerOut) {
    ScratchFolder dir;
    std::u16string path = dir.Path(u"module.dll");
    WriteFile(dir.Native(u"module.dll"), "module bytes");

    File held = platform::OpenExisting(path, OpenMode::ExclusiveReadWrite);
    ASSERT_TRUE(held) << platform::LastError();

    File second = platform::OpenExisting(path, OpenMode::ExclusiveReadWrite);
    EXPECT_FALSE(second);
    EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
    EXPECT_FALSE(platform::OpenExisting(path, OpenMode::ReadShareRead));
    EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
    EXPECT_FALSE(platform::OpenExisting(path, OpenMode::ReadShareReadWrite));
    EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
    // Creating the file anew must not cut the held file short.
    EXPECT_FALSE(platform::CreateAnew(path));
    EXPECT_FALSE(platform::CopyFileReplacing(path, dir.Path(u"copy.dll")));
    EXPECT_FALSE(ksbtest::fs::exists(dir.Native(u"copy.dll")));
    std::uint64_t size = 0;
    ASSERT_TRUE(held.GetSize(size));
    EXPECT_EQ(size, 12u);

    held.Close();
    EXPECT_FALSE(held);
    File again = platform::OpenExisting(path, OpenMode::ExclusiveReadWrite);
    EXPECT_TRUE(again);
}

TEST(Files, SharedReadersMeetButKeepAWriterOut) {
    ScratchFolder dir;
    std::u16string path = dir.Path(u"script.txt");
    WriteFile(dir.Native(u"script.txt"), "text");

    File first = platform::OpenExisting(path, OpenMode::ReadShareRead);
    File second = platform::OpenExisting(path, OpenMode::ReadShareRead);
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_FALSE(platform::OpenExisting(path, OpenMode::ExclusiveReadWrite));
    EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
    EXPECT_FALSE(platform::CreateAnew(path));
    EXPECT_EQ(ReadText(dir.Native(u"script.txt")), "text");
}

#ifndef _WIN32
// Another process is kept out just the same.
TEST(Files, ExclusiveOpenKeepsAnotherProcessOut) {
    ScratchFolder dir;
    std::u16string path = dir.Path(u"module.dll");
    WriteFile(dir.Native(u"module.dll"), "module bytes");
    File held = platform::OpenExisting(path, OpenMode::ExclusiveReadWrite);
    ASSERT_TRUE(held);

    auto childResult = [&](OpenMode mode) {
        pid_t pid = fork();
        if (pid == 0) {
            File other = platform::OpenExisting(path, mode);
            bool refused = !other && platform::LastError() == platform::kErrorSharingViolation;
            _exit(refused ? 0 : 1);
        }
        int status = -1;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(childResult(OpenMode::ExclusiveReadWrite), 0);
    EXPECT_EQ(childResult(OpenMode::ReadShareRead), 0);

    held.Close();
    pid_t pid = fork();
    if (pid == 0)
        _exit(platform::OpenExisting(path, OpenMode::ExclusiveReadWrite) ? 0 : 1);
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

TEST(Files, MovedFilesKeepOneOwner) {
    ScratchFolder dir;
    File a = platform::CreateAnew(dir.Path(u"a.bin"));
    ASSERT_TRUE(a);
    std::intptr_t native = a.Native();
    File b(std::move(a));
    EXPECT_FALSE(a); // NOLINT(bugprone-use-after-move): moved-from state is specified
    EXPECT_TRUE(b);
    EXPECT_EQ(b.Native(), native);
    File c = platform::CreateAnew(dir.Path(u"c.bin"));
    c = std::move(b);
    EXPECT_EQ(c.Native(), native);
    // c.bin's handle was closed by the assignment: the file can be held again.
    EXPECT_TRUE(platform::OpenExisting(dir.Path(u"c.bin"), OpenMode::ExclusiveReadWrite));
    EXPECT_FALSE(platform::OpenExisting(dir.Path(u"a.bin"), OpenMode::ExclusiveReadWrite));
}

// A temporary file leaves nothing when it is closed. On Windows its name
// exists while it is open, shared with nobody; on Linux it has none.
TEST(Files, TemporaryFilesLeaveNothingWhenClosed) {
    ScratchFolder dir;
    std::string name = platform::Utf16ToAnsi(dir.Path(u"$kiv$res$test$"));
    {
        File temp = platform::CreateTempFile(name);
        ASSERT_TRUE(temp) << platform::LastError();
        ASSERT_TRUE(temp.WriteAt(0, BytesOf("large data")));
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(temp.ReadAll(back));
        EXPECT_EQ(back, BytesOf("large data"));
        EXPECT_FALSE(platform::OpenExisting(dir.Path(u"$kiv$res$test$"), OpenMode::ReadShareRead));
    }
    EXPECT_TRUE(ksbtest::fs::is_empty(dir.Native(u"")));
}

#ifndef _WIN32
// In a shared temporary folder, names planted before the updater comes (a
// file, a link to a victim, a dangling link) are never opened or followed:
// the file has no name.
TEST(Files, TemporaryFilesPassPlantedNamesBy) {
    ScratchFolder dir;
    std::string planted = platform::Utf16ToAnsi(dir.Path(u"$kiv$res$planted$"));
    WriteFile(planted, "someone else's");
    auto victim = dir.Native(u"victim.txt");
    WriteFile(victim, "victim");
    std::string link = platform::Utf16ToAnsi(dir.Path(u"$kiv$res$link$"));
    ksbtest::fs::create_symlink(victim, link);
    std::string dangling = platform::Utf16ToAnsi(dir.Path(u"$kiv$res$dangling$"));
    ksbtest::fs::create_symlink(dir.Native(u"target.txt"), dangling);
    for (const std::string& name : {planted, link, dangling}) {
        File temp = platform::CreateTempFile(name);
        ASSERT_TRUE(temp) << name;
        EXPECT_TRUE(temp.WriteAt(0, BytesOf("mine")));
    }
    EXPECT_EQ(ReadText(planted), "someone else's");
    EXPECT_EQ(ReadText(victim), "victim");
    EXPECT_TRUE(ksbtest::fs::is_symlink(link));
    EXPECT_FALSE(ksbtest::fs::exists(dir.Native(u"target.txt")));
}

TEST(Files, TemporaryFilesAreThePrivateOfTheirOwner) {
    ScratchFolder dir;
    File temp = platform::CreateTempFile(platform::Utf16ToAnsi(dir.Path(u"$kiv$res$mode$")));
    ASSERT_TRUE(temp);
    struct stat st {};
    ASSERT_EQ(fstat(static_cast<int>(temp.Native()), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
#else
// On Windows the updater's temporary files are created always, as CREATE_ALWAYS does.
TEST(Files, TemporaryFilesReplaceAStaleOne) {
    ScratchFolder dir;
    std::string name = platform::Utf16ToAnsi(dir.Path(u"$kiv$res$stale$"));
    WriteFile(dir.Native(u"$kiv$res$stale$"), "stale");
    File temp = platform::CreateTempFile(name);
    ASSERT_TRUE(temp);
    std::uint64_t size = 1;
    ASSERT_TRUE(temp.GetSize(size));
    EXPECT_EQ(size, 0u);
}
#endif

} // namespace

namespace {

std::string Text(const platform::FileBytes& bytes) {
    return std::string(bytes.Bytes().begin(), bytes.Bytes().end());
}

TEST(ReadWholeFile, ReadsEveryByteAndAnEmptyFile) {
    ScratchFolder dir;
    std::string big(100000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(dir.Native(u"big.bin"), big);
    WriteFile(dir.Native(u"empty.bin"), "");
    for (OpenMode mode : {OpenMode::ReadShareRead, OpenMode::ReadShareReadWrite}) {
        platform::FileBytes bytes;
        ASSERT_TRUE(platform::ReadWholeFile(dir.Path(u"big.bin"), mode, bytes))
            << platform::LastError();
        EXPECT_EQ(Text(bytes), big);
        ASSERT_TRUE(platform::ReadWholeFile(dir.Path(u"empty.bin"), mode, bytes));
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(ReadWholeFile, FailsLikeAnOpenAndLeavesNothing) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"data.bin"), "payload");
    platform::FileBytes bytes;
    ASSERT_TRUE(platform::ReadWholeFile(dir.Path(u"data.bin"), OpenMode::ReadShareRead, bytes));

    EXPECT_FALSE(platform::ReadWholeFile(dir.Path(u"missing.bin"), OpenMode::ReadShareRead, bytes));
    EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
    EXPECT_TRUE(bytes.empty());

    ASSERT_TRUE(platform::CreateFolders(dir.Path(u"sub")));
    EXPECT_FALSE(platform::ReadWholeFile(dir.Path(u"sub"), OpenMode::ReadShareRead, bytes));

    // Only the read modes read.
    EXPECT_FALSE(
        platform::ReadWholeFile(dir.Path(u"data.bin"), OpenMode::ExclusiveReadWrite, bytes));

    // A file under update stays closed to readers.
    File held = platform::OpenExisting(dir.Path(u"data.bin"), OpenMode::ExclusiveReadWrite);
    ASSERT_TRUE(held);
    EXPECT_FALSE(platform::ReadWholeFile(dir.Path(u"data.bin"), OpenMode::ReadShareRead, bytes));
    EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
    held.Close();
    EXPECT_TRUE(platform::ReadWholeFile(dir.Path(u"data.bin"), OpenMode::ReadShareRead, bytes));
    EXPECT_EQ(Text(bytes), "payload");
}

TEST(ReadWholeFile, OneBufferServesFileAfterFileOfAnySize) {
    ScratchFolder dir;
    WriteFile(dir.Native(u"long.bin"), std::string(5000, 'L'));
    WriteFile(dir.Native(u"short.bin"), "short");
    WriteFile(dir.Native(u"longer.bin"), std::string(9000, 'M'));
    platform::FileBytes bytes;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(platform::ReadWholeFile(dir.Path(u"long.bin"), OpenMode::ReadShareRead, bytes));
        EXPECT_EQ(Text(bytes), std::string(5000, 'L'));
        ASSERT_TRUE(
            platform::ReadWholeFile(dir.Path(u"short.bin"), OpenMode::ReadShareRead, bytes));
        EXPECT_EQ(Text(bytes), "short");
        EXPECT_FALSE(
            platform::ReadWholeFile(dir.Path(u"missing.bin"), OpenMode::ReadShareRead, bytes));
        EXPECT_TRUE(bytes.empty());
        ASSERT_TRUE(
            platform::ReadWholeFile(dir.Path(u"longer.bin"), OpenMode::ReadShareRead, bytes));
        EXPECT_EQ(Text(bytes), std::string(9000, 'M'));
    }
}

#ifndef _WIN32
TEST(ReadWholeFile, RefusesAFifoWithoutWaiting) {
    ScratchFolder dir;
    ASSERT_EQ(mkfifo(dir.Native(u"fifo").c_str(), 0600), 0);
    platform::FileBytes bytes;
    EXPECT_FALSE(platform::ReadWholeFile(dir.Path(u"fifo"), OpenMode::ReadShareRead, bytes));
}

TEST(ReadWholeFile, ReadersShareAFile) {
    // Both descriptors were opened non-blocking; their reads still read it all.
    ScratchFolder dir;
    WriteFile(dir.Native(u"shared.bin"), "shared");
    File first = platform::OpenExisting(dir.Path(u"shared.bin"), OpenMode::ReadShareRead);
    ASSERT_TRUE(first);
    std::vector<std::uint8_t> all;
    ASSERT_TRUE(first.ReadAll(all));
    EXPECT_EQ(all, BytesOf("shared"));
    platform::FileBytes bytes;
    ASSERT_TRUE(platform::ReadWholeFile(dir.Path(u"shared.bin"), OpenMode::ReadShareRead, bytes));
    EXPECT_EQ(Text(bytes), "shared");
}
#endif

} // namespace
