// Used files end to end in a temporary program folder: a build of the tests'
// own lists the files, the collector moves them on the real file system.
#include "app/used_files.h"

#include "app_test_support.h"

#include <gtest/gtest.h>

#include <new>
#include <utility>

namespace {

using app_test::RecordingView;
using app_test::TempProgramFolder;

const std::u16string kSeparator = u"=====================================";

// Lists files as the skin build driver does: for each script in order a
// separator, then either "not found" or the script's name, the script itself
// and every file the script names.
struct SkinBuild {
    std::vector<std::pair<std::u16string, std::vector<std::u16string>>> scripts;
    std::vector<bool> discards;
    bool fail = false;

    app::BuildSkinsFunction Function() {
        return [this](bool discard, const std::u16string& folder, skin::BuildLog& log,
                      std::vector<std::u16string>& UsedFiles) {
            discards.push_back(discard);
            UsedFiles.clear();
            for (const auto& [script, files] : scripts) {
                log.AppendLine(kSeparator);
                const std::u16string path = platform::JoinPath(folder, u"Files\\" + script);
                if (!platform::FileExists(path)) {
                    log.AppendLine(script + u" not found !");
                    continue;
                }
                log.AppendLine(script);
                UsedFiles.push_back(script);
                if (fail)
                    throw skin::GeneralError(u"Cannot create file \"_skin\". Denied");
                UsedFiles.insert(UsedFiles.end(), files.begin(), files.end());
                log.AppendLine(u"done!");
            }
        };
    }
};

// The platform's operations, each call written down with its outcome, paths
// shown relative to the program folder. `hook` runs first and may throw.
struct RecordingFileSystem {
    explicit RecordingFileSystem(std::u16string root) : root_(std::move(root)) {}

    app::CollectorFileSystem Operations() {
        const auto real = app::CollectorFileSystem::Platform();
        auto one = [this](const char16_t* name, std::function<bool(const std::u16string&)> op) {
            return [this, name, op](const std::u16string& path) {
                hook(name, path);
                const bool ok = op(path);
                calls.push_back(std::u16string(name) + u" " + Relative(path) +
                                (ok ? u" ok" : u" failed"));
                return ok;
            };
        };
        return {one(u"exists", real.FolderExists), one(u"remove", real.RemoveEmptyFolder),
                one(u"create", real.CreateFolders),
                [this, real](const std::u16string& from, const std::u16string& to) {
                    hook(u"copy", from);
                    const bool ok = real.CopyFileReplacing(from, to);
                    calls.push_back(u"copy " + Relative(from) + u" " + Relative(to) +
                                    (ok ? u" ok" : u" failed"));
                    return ok;
                },
                one(u"delete", real.DeleteFile)};
    }

    std::u16string Relative(const std::u16string& path) const {
        std::u16string rel = path.starts_with(root_) ? path.substr(root_.size()) : path;
        for (char16_t& c : rel)
            if (c == u'\\')
                c = u'/';
        return rel;
    }

    std::function<void(const char16_t*, const std::u16string&)> hook = [](const char16_t*,
                                                                          const std::u16string&) {};
    std::vector<std::u16string> calls;

private:
    std::u16string root_;
};

class UsedFilesTest : public ::testing::Test {
protected:
    UsedFilesTest() : fs(folder.Folder()) {
        build.scripts = {
            {u"vistel.rc",
             {u"icons\\online.ico", u"data\\colors.txt", u"icons\\online.ico", u"data\\missing.wav",
              u"sounds\\deep\\gone.wav"}},
            {u"tavo.rc", {u"icons\\offline.ico"}},
        };
        folder.Write("Files\\vistel.rc", "vistel script");
        folder.Write("Files\\icons\\online.ico", "online icon");
        folder.Write("Files\\icons\\unused.ico", "not named by any script");
        folder.Write("Files\\data\\colors.txt", "colors");
        folder.Write("Files\\unused.txt", "left behind");
    }

    void Run() {
        app::CollectUsedFiles(folder.Folder(), log, usedFiles, build.Function(), fs.Operations());
    }
    std::u16string Log() const { return view.Text(); }

    // The log of a run over the fixture's files, up to the count line.
    std::u16string FirstRunLog(const std::u16string& extra = u"") const {
        return kSeparator + u"\nvistel.rc\ndone!\n" + kSeparator + u"\ntavo.rc not found !\n" +
               kSeparator + u"\nUsedFiles.Count = 6\n" + extra;
    }

    TempProgramFolder folder;
    SkinBuild build;
    RecordingFileSystem fs;
    RecordingView view;
    struct ViewLog final : skin::BuildLog {
        explicit ViewLog(RecordingView& v) : view(v) {}
        void AppendLine(std::u16string_view line) override { view.AppendLogLine(line); }
        RecordingView& view;
    } log{view};
    std::vector<std::u16string> usedFiles;
};

TEST_F(UsedFilesTest, MovesExactlyTheListedFilesKeepingTheirRelativePaths) {
    Run();
    EXPECT_EQ(build.discards, std::vector<bool>{true});
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(FirstRunLog()));

    // Moved, byte for byte, and gone from Files\.
    EXPECT_EQ(folder.Read("UsedFiles\\vistel.rc"), "vistel script");
    EXPECT_EQ(folder.Read("UsedFiles\\icons\\online.ico"), "online icon");
    EXPECT_EQ(folder.Read("UsedFiles\\data\\colors.txt"), "colors");
    EXPECT_FALSE(folder.Exists("Files\\vistel.rc"));
    EXPECT_FALSE(folder.Exists("Files\\icons\\online.ico"));
    EXPECT_FALSE(folder.Exists("Files\\data\\colors.txt"));
    // What no script names stays; an emptied subfolder of Files\ stays too.
    EXPECT_EQ(folder.Read("Files\\unused.txt"), "left behind");
    EXPECT_EQ(folder.Read("Files\\icons\\unused.ico"), "not named by any script");
    EXPECT_FALSE(folder.Exists("UsedFiles\\unused.txt"));
    EXPECT_TRUE(folder.IsFolder("Files\\data"));
    // A missing file changes nothing but the subfolders its path names.
    EXPECT_FALSE(folder.Exists("UsedFiles\\data\\missing.wav"));
    EXPECT_TRUE(folder.IsFolder("UsedFiles\\sounds\\deep"));
    EXPECT_FALSE(folder.Exists("Files\\sounds"));
}

TEST_F(UsedFilesTest, TheSecondOccurrenceOfAnEntryCopiesAndDeletesNothing) {
    Run();
    std::vector<std::u16string> online;
    for (const auto& call : fs.calls)
        if (call.find(u"online.ico") != std::u16string::npos)
            online.push_back(call);
    EXPECT_EQ(online, (std::vector<std::u16string>{
                          u"copy Files/icons/online.ico UsedFiles/icons/online.ico ok",
                          u"delete Files/icons/online.ico ok",
                          u"copy Files/icons/online.ico UsedFiles/icons/online.ico failed",
                      }));
    EXPECT_EQ(folder.Read("UsedFiles\\icons\\online.ico"), "online icon");
}

TEST_F(UsedFilesTest, SourceIsDeletedOnlyAfterAGoodCopy) {
    Run();
    for (std::size_t i = 0; i < fs.calls.size(); ++i) {
        if (!fs.calls[i].starts_with(u"delete"))
            continue;
        ASSERT_GT(i, 0u);
        const std::u16string file = fs.calls[i].substr(7, fs.calls[i].size() - 7 - 3);
        EXPECT_EQ(fs.calls[i - 1].substr(0, 5 + file.size()), u"copy " + file);
        EXPECT_TRUE(fs.calls[i - 1].ends_with(u" ok")) << app_test::Narrow(fs.calls[i - 1]);
    }
}

TEST_F(UsedFilesTest, ASecondRunFindsNothingLeftToMove) {
    Run();
    view = RecordingView();
    fs.calls.clear();
    Run();
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(kSeparator + u"\nvistel.rc not found !\n" +
                                                        kSeparator + u"\ntavo.rc not found !\n" +
                                                        kSeparator + u"\nUsedFiles.Count = 0\n"));
    EXPECT_EQ(folder.Read("UsedFiles\\vistel.rc"), "vistel script");
    // UsedFiles\ holds the first run's files, so it is not removed.
    EXPECT_EQ(fs.calls,
              (std::vector<std::u16string>{u"exists UsedFiles/ ok", u"remove UsedFiles/ failed",
                                           u"create UsedFiles/ ok"}));
}

TEST_F(UsedFilesTest, NoScriptStillCreatesUsedFiles) {
    build.scripts = {{u"quon.rc", {}}};
    Run();
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(kSeparator + u"\nquon.rc not found !\n" +
                                                        kSeparator + u"\nUsedFiles.Count = 0\n"));
    EXPECT_TRUE(usedFiles.empty());
    EXPECT_TRUE(folder.IsFolder("UsedFiles"));
    EXPECT_EQ(folder.Read("Files\\vistel.rc"), "vistel script");
}

TEST_F(UsedFilesTest, AnEmptyUsedFilesFolderIsRemovedAndCreatedAgain) {
    std::filesystem::create_directory(folder.Path("UsedFiles"));
    Run();
    ASSERT_GE(fs.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::u16string>(fs.calls.begin(), fs.calls.begin() + 3),
              (std::vector<std::u16string>{u"exists UsedFiles/ ok", u"remove UsedFiles/ ok",
                                           u"create UsedFiles/ ok"}));
    EXPECT_EQ(folder.Read("UsedFiles\\vistel.rc"), "vistel script");
}

TEST_F(UsedFilesTest, AnEarlierRunsFilesStayAndSamePathsAreReplaced) {
    folder.Write("UsedFiles\\earlier.txt", "from before");
    folder.Write("UsedFiles\\data\\colors.txt", "old colors");
    Run();
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(FirstRunLog()));
    EXPECT_EQ(folder.Read("UsedFiles\\earlier.txt"), "from before");
    EXPECT_EQ(folder.Read("UsedFiles\\data\\colors.txt"), "colors");
    EXPECT_FALSE(folder.Exists("Files\\data\\colors.txt"));
}

TEST_F(UsedFilesTest, AReadOnlyFileAlreadyInUsedFilesKeepsTheSourceSilently) {
    folder.Write("UsedFiles\\icons\\online.ico", "old icon");
    folder.MakeReadOnly("UsedFiles\\icons\\online.ico");
    Run();
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(FirstRunLog()));
    EXPECT_EQ(folder.Read("UsedFiles\\icons\\online.ico"), "old icon");
    EXPECT_EQ(folder.Read("Files\\icons\\online.ico"), "online icon");
    // The other files still move.
    EXPECT_EQ(folder.Read("UsedFiles\\data\\colors.txt"), "colors");
    EXPECT_FALSE(folder.Exists("Files\\data\\colors.txt"));
}

TEST_F(UsedFilesTest, AnErrorForOneEntryBecomesALogLineAndTheLoopGoesOn) {
    build.scripts = {{u"vistel.rc",
                      {u"bad\\x.txt", u"huge\\y.txt", u"icons\\online.ico", u"midway\\z.txt",
                       u"data\\colors.txt"}}};
    folder.Write("Files\\bad\\x.txt", "x");
    folder.Write("Files\\huge\\y.txt", "y");
    folder.Write("Files\\midway\\z.txt", "z");
    fs.hook = [](const char16_t* op, const std::u16string& path) {
        const std::u16string_view what(op);
        if (what == u"create" && path.find(u"bad") != std::u16string::npos)
            throw skin::GeneralError(u"Unable to reach the disk");
        if (what == u"create" && path.find(u"huge") != std::u16string::npos)
            throw std::bad_alloc();
        if (what == u"copy" && path.find(u"midway") != std::u16string::npos)
            throw skin::GeneralError(u"Copy broke off");
    };
    Run();
    EXPECT_EQ(app_test::Narrow(Log()),
              app_test::Narrow(kSeparator + u"\nvistel.rc\ndone!\n" + kSeparator +
                               u"\nUsedFiles.Count = 6\nUnable to reach the disk\nOut of memory\n"
                               u"Copy broke off\n"));
    // The failing entries stay as they were; the others are moved.
    EXPECT_EQ(folder.Read("Files\\bad\\x.txt"), "x");
    EXPECT_EQ(folder.Read("Files\\huge\\y.txt"), "y");
    EXPECT_EQ(folder.Read("Files\\midway\\z.txt"), "z");
    EXPECT_TRUE(folder.IsFolder("UsedFiles\\midway"));
    EXPECT_EQ(folder.Read("UsedFiles\\icons\\online.ico"), "online icon");
    EXPECT_EQ(folder.Read("UsedFiles\\data\\colors.txt"), "colors");
    EXPECT_EQ(folder.Read("UsedFiles\\vistel.rc"), "vistel script");
}

TEST_F(UsedFilesTest, AnErrorOfTheBuildEndsTheRunBeforeAnythingIsTouched) {
    std::filesystem::create_directory(folder.Path("UsedFiles"));
    build.fail = true;
    try {
        Run();
        FAIL() << "the build's error was swallowed";
    } catch (const skin::GeneralError& e) {
        EXPECT_EQ(e.Message(), u"Cannot create file \"_skin\". Denied");
    }
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(kSeparator + u"\nvistel.rc\n"));
    EXPECT_TRUE(fs.calls.empty());
    EXPECT_TRUE(folder.IsFolder("UsedFiles"));
    EXPECT_EQ(folder.Read("Files\\vistel.rc"), "vistel script");
}

TEST_F(UsedFilesTest, EntriesClimbingOutOfFilesLoseNothing) {
    // Joined unchanged, such an entry names the same file below Files\ and
    // below UsedFiles\: the copy must not run over its own source.
    build.scripts = {
        {u"vistel.rc",
         {u"..\\outside.txt", u"..\\Files\\unused.txt", u"icons\\..\\..\\outside.txt"}}};
    folder.Write("outside.txt", "outside");
    Run();
    EXPECT_EQ(folder.Read("outside.txt"), "outside");
    EXPECT_EQ(folder.Read("Files\\unused.txt"), "left behind");
    EXPECT_EQ(folder.Read("UsedFiles\\vistel.rc"), "vistel script");
}

TEST_F(UsedFilesTest, AFileInThePlaceOfUsedFilesKeepsEverySource) {
    folder.Write("UsedFiles", "a file, not a folder");
    Run();
    EXPECT_EQ(app_test::Narrow(Log()), app_test::Narrow(FirstRunLog()));
    EXPECT_EQ(folder.Read("UsedFiles"), "a file, not a folder");
    EXPECT_EQ(folder.Read("Files\\vistel.rc"), "vistel script");
    EXPECT_EQ(folder.Read("Files\\icons\\online.ico"), "online icon");
    EXPECT_EQ(folder.Read("Files\\data\\colors.txt"), "colors");
}

TEST(ForceFolders, AnEmptyPathIsAnErrorAndNothingElseIs) {
    int created = 0;
    app::CollectorFileSystem files;
    files.CreateFolders = [&created](const std::u16string&) {
        ++created;
        return false;
    };
    try {
        app::ForceFolders(files, u"");
        FAIL() << "an empty path was taken";
    } catch (const skin::GeneralError& e) {
        EXPECT_EQ(e.Message(), u"Unable to create directory");
    }
    EXPECT_EQ(created, 0);
    EXPECT_FALSE(app::ForceFolders(files, u"x"));
    EXPECT_EQ(created, 1);

    TempProgramFolder folder;
    const auto real = app::CollectorFileSystem::Platform();
    const std::u16string deep = platform::JoinPath(folder.Folder(), u"a\\b\\c\\");
    EXPECT_TRUE(app::ForceFolders(real, deep));
    EXPECT_TRUE(app::ForceFolders(real, deep)); // exists already
    EXPECT_TRUE(folder.IsFolder("a\\b\\c"));
}

} // namespace
