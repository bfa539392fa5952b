// Tfrm's handlers with a build of the tests' own: what each click calls, what
// the log and UsedFiles hold afterwards, and how the command line dispatches.
#include "app/u_frm.h"

#include "app_test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using app_test::RecordingView;

// A build that behaves as the driver does towards the shell: clears UsedFiles,
// writes lines, lists files. Each run lists different files.
struct FakeBuild {
    struct Call {
        bool discard;
        std::u16string programFolder;
    };
    std::vector<Call> calls;
    bool fail = false;

    app::BuildSkinsFunction Function() {
        return [this](bool discard, const std::u16string& folder, skin::BuildLog& log,
                      std::vector<std::u16string>& UsedFiles) {
            calls.push_back({discard, folder});
            const std::u16string run =
                std::u16string(1, static_cast<char16_t>(u'0' + calls.size()));
            UsedFiles.clear();
            log.AppendLine(u"run " + run);
            UsedFiles.push_back(u"script" + run + u".rc");
            UsedFiles.push_back(u"icons\\a" + run + u".ico");
            if (fail)
                throw skin::GeneralError(u"Cannot create file \"x\". Denied");
            log.AppendLine(u"done " + run);
        };
    }
};

class TfrmTest : public ::testing::Test {
protected:
    TfrmTest()
        : frm(build.Function(), [] { return std::u16string(u"/opt/ksb/KestoSkinBuilder"); }) {
        frm.BindView(view);
    }
    FakeBuild build;
    RecordingView view;
    app::Tfrm frm;
};

TEST_F(TfrmTest, BuildRunsTheDriverKeepingItsChanges) {
    frm.btnBuildClick();
    ASSERT_EQ(build.calls.size(), 1u);
    EXPECT_FALSE(build.calls[0].discard);
    EXPECT_EQ(build.calls[0].programFolder, u"/opt/ksb/");
    // Nothing of its own: no cursor change, no message.
    EXPECT_EQ(view.events, (std::vector<std::u16string>{u"line run 1", u"line done 1"}));
}

TEST_F(TfrmTest, BuildTwiceAppendsBelowAndKeepsOnlyTheSecondRunsFiles) {
    frm.btnBuild.Click();
    frm.btnBuild.Click();
    EXPECT_EQ(view.Text(), u"run 1\ndone 1\nrun 2\ndone 2\n");
    EXPECT_EQ(frm.usedFiles(), (std::vector<std::u16string>{u"script2.rc", u"icons\\a2.ico"}));
}

TEST_F(TfrmTest, ErrorOfTheBuildPropagatesAndTheLogKeepsWhatWasWritten) {
    build.fail = true;
    try {
        frm.btnBuildClick();
        FAIL() << "the error was swallowed";
    } catch (const skin::GeneralError& e) {
        EXPECT_EQ(e.Message(), u"Cannot create file \"x\". Denied");
    }
    EXPECT_EQ(view.Text(), u"run 1\n");
    EXPECT_EQ(frm.usedFiles().size(), 2u);
}

TEST_F(TfrmTest, NoArgumentRunsNothing) {
    EXPECT_FALSE(frm.TntFormCreate({}));
    EXPECT_FALSE(frm.TntFormCreate({"/opt/ksb/KestoSkinBuilder"}));
    EXPECT_TRUE(build.calls.empty());
    EXPECT_TRUE(view.events.empty());
    EXPECT_TRUE(frm.usedFiles().empty());
}

TEST_F(TfrmTest, FirstArgumentPicksTheRun) {
    struct {
        std::vector<std::string> arguments;
        bool discard;
    } const cases[] = {
        {{"ksb", "/used"}, true},    {{"ksb", "/used", "extra"}, true},
        {{"ksb", "/USED"}, false},   {{"ksb", "-used"}, false},
        {{"ksb", "skin.rc"}, false}, {{"ksb", "x", "/used"}, false},
    };
    for (const auto& c : cases) {
        build.calls.clear();
        EXPECT_TRUE(frm.TntFormCreate(c.arguments));
        ASSERT_EQ(build.calls.size(), 1u) << c.arguments[1];
        EXPECT_EQ(build.calls[0].discard, c.discard) << c.arguments[1];
    }
}

TEST_F(TfrmTest, ExitStatusIsOneOnceACommandLineRunFailed) {
    // Each step runs on the same Tfrm, as one process would: the status a
    // closed window leaves behind after the steps so far.
    struct Step {
        const char* what;
        std::vector<std::string> arguments; // empty: a click in the shown window
        bool fail;
        int status;
    } const steps[] = {
        {"no argument", {"ksb"}, false, 0},
        {"a build that fails in the window", {}, true, 0},
        {"a command-line build that works", {"ksb", "build"}, false, 0},
        {"a command-line Used files that fails", {"ksb", "/used"}, true, 1},
        {"then a build in the window that works", {}, false, 1},
    };
    for (const Step& step : steps) {
        build.fail = step.fail;
        if (step.arguments.empty()) {
            if (step.fail)
                EXPECT_THROW(frm.btnBuild.Click(), skin::GeneralError) << step.what;
            else
                frm.btnBuild.Click();
        } else if (step.fail) {
            EXPECT_THROW(frm.TntFormCreate(step.arguments), skin::GeneralError) << step.what;
        } else {
            frm.TntFormCreate(step.arguments);
        }
        EXPECT_EQ(frm.ExitStatus(), step.status) << step.what;
    }

    // A failed command-line build counts as well, not only Used files.
    FakeBuild failing;
    failing.fail = true;
    app::Tfrm other(failing.Function(), [] { return std::u16string(); });
    EXPECT_THROW(other.TntFormCreate({"ksb", "build"}), skin::GeneralError);
    EXPECT_EQ(other.ExitStatus(), 1);
}

TEST(TfrmUsedFiles, RunShowsTheHourglassOnEveryPath) {
    app_test::TempProgramFolder folder;
    FakeBuild build;
    RecordingView view;
    app::Tfrm frm(build.Function(), [&folder] { return folder.Folder() + u"KestoSkinBuilder"; });
    frm.BindView(view);

    // Through the hidden button, as the command line clicks it.
    frm.btnUsed.Click();
    ASSERT_EQ(build.calls.size(), 1u);
    EXPECT_TRUE(build.calls[0].discard);
    EXPECT_EQ(build.calls[0].programFolder, folder.Folder());
    EXPECT_EQ(view.events,
              (std::vector<std::u16string>{u"cursor wait", u"line run 1", u"line done 1",
                                           u"line =====================================",
                                           u"line UsedFiles.Count = 2", u"cursor default"}));
    EXPECT_TRUE(folder.IsFolder("UsedFiles"));

    // An error that escapes the build ends the run; the cursor comes back.
    view.events.clear();
    build.fail = true;
    EXPECT_THROW(frm.btnUsedClick(), skin::GeneralError);
    EXPECT_EQ(view.events,
              (std::vector<std::u16string>{u"cursor wait", u"line run 2", u"cursor default"}));
}

TEST_F(TfrmTest, ProgramFolderIsWorkedOutAfreshFromTheProgramPath) {
    std::u16string exe = u"C:\\Tools\\KestoSkinBuilder.exe";
    app::Tfrm other(build.Function(), [&exe] { return exe; });
    EXPECT_EQ(other.ProgramFolder(), u"C:\\Tools\\");
    exe = u"D:KestoSkinBuilder.exe";
    EXPECT_EQ(other.ProgramFolder(), u"D:");
    exe = u"";
    other.btnBuildClick();
    EXPECT_EQ(build.calls.back().programFolder, u"");
}

TEST_F(TfrmTest, DestroyFreesUsedFiles) {
    frm.btnBuildClick();
    ASSERT_FALSE(frm.usedFiles().empty());
    frm.TntFormDestroy();
    EXPECT_TRUE(frm.usedFiles().empty());
    frm.TntFormDestroy(); // a second time is harmless
}

TEST_F(TfrmTest, LinesFollowTheViewBoundLast) {
    frm.btnBuildClick();
    RecordingView window;
    frm.BindView(window);
    frm.btnBuildClick();
    EXPECT_EQ(view.Text(), u"run 1\ndone 1\n");
    EXPECT_EQ(window.Text(), u"run 2\ndone 2\n");
}

TEST(TfrmUnbound, LinesBeforeAViewIsBoundGoNowhere) {
    FakeBuild build;
    app::Tfrm frm(build.Function(), [] { return std::u16string(); });
    frm.btnBuildClick();
    EXPECT_EQ(build.calls.size(), 1u);
}

} // namespace
