#include "app/used_files.h"

#include "app/error_report.h"
#include "app/u_frm.h"
#include "platform/platform.h"

#include <string>

namespace app {

namespace {

constexpr char16_t kFilesFolder[] = u"Files\\";
constexpr char16_t kUsedFilesFolder[] = u"UsedFiles\\";
constexpr char16_t kSeparatorLine[] = u"=====================================";
constexpr char16_t kCountLine[] = u"UsedFiles.Count = ";

// The hourglass for as long as the run lasts, on every way out of it.
class WaitCursor {
public:
    explicit WaitCursor(FrmView& view) : view_(view) { view_.SetWaitCursor(true); }
    ~WaitCursor() { view_.SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    FrmView& view_;
};

// One entry moved from Files\ to UsedFiles\. A copy that fails leaves the
// source where it is; a source is deleted only once its copy stands. An entry
// whose path climbs out of Files\ ("..\x") names the same file on both sides;
// the copy then refuses to run over its own source, so nothing is lost.
void MoveEntry(const std::u16string& programFolder, const std::u16string& entry,
               const CollectorFileSystem& files) {
    const std::u16string source = platform::JoinPath(programFolder, kFilesFolder + entry);
    const std::u16string target = platform::JoinPath(programFolder, kUsedFilesFolder + entry);
    ForceFolders(files, platform::FolderPart(target));
    if (files.CopyFileReplacing(source, target))
        files.DeleteFile(source);
}

} // namespace

CollectorFileSystem CollectorFileSystem::Platform() {
    return {platform::FolderExists, platform::RemoveEmptyFolder, platform::CreateFolders,
            platform::CopyFileReplacing, platform::DeleteFilePath};
}

bool ForceFolders(const CollectorFileSystem& files, const std::u16string& path) {
    if (path.empty())
        throw skin::GeneralError(u"Unable to create directory");
    return files.CreateFolders(path);
}

void CollectUsedFiles(const std::u16string& programFolder, skin::BuildLog& log,
                      std::vector<std::u16string>& UsedFiles, const BuildSkinsFunction& buildSkins,
                      const CollectorFileSystem& files) {
    buildSkins(true, programFolder, log, UsedFiles);
    log.AppendLine(kSeparatorLine);

    const std::u16string usedFolder = platform::JoinPath(programFolder, kUsedFilesFolder);
    // Only an empty UsedFiles\ goes; one that holds files from an earlier run
    // stays as it is, and the new copies join them.
    if (files.FolderExists(usedFolder))
        files.RemoveEmptyFolder(usedFolder);
    ForceFolders(files, usedFolder);

    const std::size_t count = UsedFiles.size();
    log.AppendLine(kCountLine + platform::Decimal(count));
    for (std::size_t i = 0; i < count; ++i) {
        try {
            MoveEntry(programFolder, UsedFiles[i], files);
        } catch (const std::exception& error) {
            log.AppendLine(ErrorMessage(error));
        }
    }
}

void Tfrm::btnUsedClick() {
    WaitCursor hourglass(*view_);
    CollectUsedFiles(ProgramFolder(), log, UsedFiles, buildSkins_, CollectorFileSystem::Platform());
}

} // namespace app
