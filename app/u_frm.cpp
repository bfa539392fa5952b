#include "app/u_frm.h"

#include "app/command_line.h"
#include "platform/platform.h"

namespace app {

namespace {

// Where lines go before a view is bound.
class NoView final : public FrmView {
public:
    void AppendLogLine(std::u16string_view) override {}
    void SetWaitCursor(bool) override {}
};

NoView& Unbound() {
    static NoView view;
    return view;
}

} // namespace

Tfrm::Tfrm(BuildSkinsFunction buildSkins, ExeFileNameFunction exeFileName)
    : btnBuild([this] { btnBuildClick(); }), log(Unbound()), btnUsed([this] { btnUsedClick(); }),
      view_(&Unbound()), buildSkins_(std::move(buildSkins)), exeFileName_(std::move(exeFileName)) {}

void Tfrm::BindView(FrmView& view) {
    view_ = &view;
    log.Bind(view);
}

void Tfrm::UnbindView(const FrmView& view) {
    if (view_ == &view)
        BindView(Unbound());
}

bool Tfrm::TntFormCreate(const std::vector<std::string>& arguments) {
    UsedFiles.clear();
    const StartAction action = CommandLineAction(arguments);
    if (action == StartAction::ShowWindow)
        return false;
    try {
        (action == StartAction::UsedFiles ? btnUsed : btnBuild).Click();
    } catch (...) {
        commandLineRunFailed_ = true;
        throw;
    }
    return true;
}

void Tfrm::TntFormDestroy() {
    UsedFiles.clear();
    UsedFiles.shrink_to_fit();
}

void Tfrm::btnBuildClick() {
    buildSkins_(false, ProgramFolder(), log, UsedFiles);
}

std::u16string Tfrm::ProgramFolder() const {
    return platform::FolderPart(exeFileName_());
}

} // namespace app
