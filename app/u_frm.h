// Tfrm: the main window's logic, independent of any window toolkit. A view
// (Qt, Win32, or the console of a command-line run) shows it and forwards the
// user's clicks to it; Tfrm writes to the log and sets the cursor through the
// view.
#pragma once

#include "app/build_function.h"
#include "app/frm_view.h"
#include "app/window_layout.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// A push button of the window: what a click runs. A click from the program
// runs the same handler as a user's click, also for a hidden button. How the
// button looks is the views' business (window_layout.h).
class PushButton {
public:
    explicit PushButton(std::function<void()> onClick) : onClick_(std::move(onClick)) {}
    void Click() const { onClick_(); }

private:
    std::function<void()> onClick_;
};

// The log control: every message for the user becomes one line at its end.
class LogControl final : public skin::BuildLog {
public:
    explicit LogControl(FrmView& view) : view_(&view) {}
    void AppendLine(std::u16string_view line) override { view_->AppendLogLine(line); }
    void Bind(FrmView& view) { view_ = &view; }

private:
    FrmView* view_;
};

using ExeFileNameFunction = std::function<std::u16string()>;

class Tfrm {
public:
    // Builds with skin::BuildSkins and finds the program folder through
    // platform::GetExeFileName.
    Tfrm();
    Tfrm(BuildSkinsFunction buildSkins, ExeFileNameFunction exeFileName);
    Tfrm(const Tfrm&) = delete;
    Tfrm& operator=(const Tfrm&) = delete;

    // Lines and the cursor go to `view` from now on (until it is bound, they
    // go nowhere). The view must outlive its binding.
    void BindView(FrmView& view);
    // A view that goes away lets go of Tfrm; lines then go nowhere again.
    void UnbindView(const FrmView& view);

    PushButton btnBuild;
    LogControl log;
    PushButton btnUsed;

    // After the window and its controls exist, before it is shown. With a
    // first argument (arguments[0] is the program) runs "Used files" for
    // exactly "/used" and the build for anything else, and returns true: the
    // process is then to end. Returns false when there is no argument.
    // An error of the run propagates, and the process's exit status is then
    // 1 (ExitStatus).
    bool TntFormCreate(const std::vector<std::string>& arguments);
    // When the window goes: frees UsedFiles.
    void TntFormDestroy();

    // The build, keeping nothing back: BuildSkins with Discard false.
    void btnBuildClick();
    // The used-files run: the discarding build, then every listed file moved
    // from Files\ to UsedFiles\ (used_files.cpp).
    void btnUsedClick();

    // The folder part of the program's path, worked out afresh on every call.
    std::u16string ProgramFolder() const;
    const std::vector<std::u16string>& usedFiles() const { return UsedFiles; }

    // The status the process ends with: 1 once a command-line run has ended
    // in an error, even when the window shown after its error box is closed
    // later (a batch file must not read a failed build as a success); 0
    // otherwise. Errors of clicks in the shown window do not count: the box
    // reported them to the user at the window.
    int ExitStatus() const { return commandLineRunFailed_ ? 1 : 0; }

private:
    std::vector<std::u16string> UsedFiles;
    FrmView* view_;
    BuildSkinsFunction buildSkins_;
    ExeFileNameFunction exeFileName_;
    bool commandLineRunFailed_ = false;
};

} // namespace app
