// KestoSkinCheck: reads the skin in Files\ by the build's rules and prints
// what the build would drop, cut or guess, one finding a line.
//
//   KestoSkinCheck            the Files\ beside the program
//   KestoSkinCheck FOLDER     FOLDER as the program folder, or FOLDER itself
//                             when it is a Files folder
//
// Exit status: 0 no warning, 1 warnings, 2 a script or the folder could not be read.
#include "app/check/console.h"
#include "platform/platform.h"
#include "skin/script_check.h"

#include <string>

namespace {

std::u16string Count(std::size_t n, std::u16string_view what) {
    return platform::Decimal(n) + u" " + std::u16string(what) + (n == 1 ? u"" : u"s");
}

std::u16string Quoted(std::u16string_view text) {
    return u"\"" + std::u16string(text) + u"\"";
}

bool EndsInSeparator(std::u16string_view path) {
    return !path.empty() && (path.back() == u'\\' || path.back() == u'/' || path.back() == u':');
}

// The program folder a command line names, ending in a separator.
std::u16string ProgramFolder(const std::vector<std::u16string>& arguments) {
    if (arguments.empty())
        return platform::FolderPart(platform::GetExeFileName());
    std::u16string folder = arguments.front();
    while (folder.size() > 1 && (folder.back() == u'\\' || folder.back() == u'/'))
        folder.pop_back();
    if (platform::KeywordEquals(platform::FileNamePart(folder), u"Files") &&
        !platform::FolderExists(platform::JoinPath(folder, u"\\Files\\")))
        return platform::FolderPart(folder);
    return EndsInSeparator(folder) ? folder : folder + platform::JoinPath(u"", u"\\");
}

int Run(int argc, char** argv) {
    const std::u16string programFolder = ProgramFolder(app::check::Arguments(argc, argv));
    const std::u16string files = platform::JoinPath(programFolder, u"Files\\");
    skin::CheckReport report;
    if (platform::FolderExists(files))
        report = skin::CheckSkin(programFolder);
    else
        report.findings.push_back(
            skin::Finding::Whole(u"Files\\", 0, 0, skin::Severity::Error, "no-files-folder",
                                 u"no Files folder in " + Quoted(programFolder)));
    for (const skin::Finding& finding : report.findings)
        app::check::WriteLine(skin::FindingLine(finding));
    const std::size_t errors = report.Count(skin::Severity::Error);
    const std::size_t warnings = report.Count(skin::Severity::Warning);
    app::check::WriteLine(
        Count(report.scripts, u"script") + u" checked: " + Count(warnings, u"warning") + u", " +
        Count(report.Count(skin::Severity::Note), u"note") + u", " + Count(errors, u"error"));
    return errors != 0 ? 2 : warnings != 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const int status = Run(argc, argv);
    app::check::PauseIfOwnConsole();
    return status;
}
