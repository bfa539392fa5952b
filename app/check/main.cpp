// KestoSkinCheck: reads the skin in Files\ by the build's rules and prints
// what the build would drop, cut or guess, one finding a line.
//
//   KestoSkinCheck            the Files\ beside the program
//   KestoSkinCheck FOLDER     FOLDER as the program folder, or FOLDER itself
//                             when it is a Files folder
//   KestoSkinCheck --help     the usage (also -h and /?)
//
// Exit status: 0 no warning, 1 warnings, 2 a script or the folder could not be
// read, or a command line it cannot use.
#include "app/console/console.h"
#include "app/console_args.h"
#include "platform/platform.h"
#include "skin/check/script_check.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace {

constexpr std::u16string_view kUsage[] = {
    u"Usage: KestoSkinCheck [FOLDER]",
    u"Reads the skin scripts in FOLDER\\Files (or in FOLDER, when it is a Files folder; without",
    u"FOLDER, in the Files folder beside the program) by the build's rules and prints, one finding",
    u"a line, what the build would drop, cut or guess. It writes nothing.",
    u"",
    u"  -h, --help, /?   print this text",
    u"",
    u"A folder whose name starts with \"-\" is given as ./-name (.\\-name on Windows).",
    u"Exit status: 0 no warning, 1 warnings, 2 a script or the folder could not be read, or a",
    u"command line that cannot be used.",
};

// More findings than this get a line that counts them by name.
constexpr std::size_t kFindingsWithoutCount = 10;

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

// "by name: 3 block-as-strings, 2 unsupported-statement, 1 unreachable-strings":
// the most frequent first, ties by name.
std::u16string CountsByName(const std::vector<skin::Finding>& findings) {
    std::map<std::string, std::size_t> counts;
    for (const skin::Finding& finding : findings)
        ++counts[std::string(finding.name)];
    std::vector<std::pair<std::string, std::size_t>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::u16string line = u"by name:";
    for (std::size_t i = 0; i < sorted.size(); ++i)
        line += (i == 0 ? u" " : u", ") + platform::Decimal(sorted[i].second) + u" " +
                platform::Utf8ToUtf16(sorted[i].first);
    return line;
}

int Run(int argc, char** argv) {
    app::ConsoleArguments arguments;
    if (const auto status =
            app::console::AnswerCommandLine(argc, argv, u"KestoSkinCheck", kUsage, 1, arguments))
        return *status;
    const std::u16string programFolder = ProgramFolder(arguments.operands);
    const std::u16string files = platform::JoinPath(programFolder, u"Files\\");
    skin::CheckReport report;
    if (platform::FolderExists(files))
        report = skin::CheckSkin(programFolder);
    else
        report.findings.push_back(skin::Finding::Whole(
            u"Files\\", 0, 0, "no-files-folder", u"no Files folder in " + Quoted(programFolder)));
    for (const skin::Finding& finding : report.findings)
        app::console::WriteLine(skin::FindingLine(finding));
    if (report.findings.size() > kFindingsWithoutCount)
        app::console::WriteLine(CountsByName(report.findings));
    const std::size_t errors = report.Count(skin::Severity::Error);
    const std::size_t warnings = report.Count(skin::Severity::Warning);
    app::console::WriteLine(
        Count(report.scripts, u"script") + u" checked: " + Count(warnings, u"warning") + u", " +
        Count(report.Count(skin::Severity::Note), u"note") + u", " + Count(errors, u"error"));
    return errors != 0 ? 2 : warnings != 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const int status = Run(argc, argv);
    app::console::PauseIfOwnConsole();
    return status;
}
