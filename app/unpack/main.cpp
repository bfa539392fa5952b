// KestoSkinUnpack: a skin's modules back into a Files\ folder that builds
// them again, with a sheet (skin.html) of everything they hold.
//
// Exit status: 0 every resource written, 1 some listed as not expressible,
// 2 an input could not be read or the output not written (nothing written).
#include "app/console/console.h"
#include "app/unpack/pngs_ahead.h"
#include "app/unpack/skin_sheet.h"
#include "platform/platform.h"
#include "skin/build_driver.h"
#include "skin/unpack/unpack_folder.h"
#include "skin/unpack/unpack_module.h"

#include <optional>
#include <string>

namespace {

constexpr std::u16string_view kUsage[] = {
    u"Usage: KestoSkinUnpack [--out FOLDER] [--language N]",
    u"                       [MODULE | SKIN-FOLDER | PROGRAM-FOLDER]",
    u"",
    u"Reads skin modules and writes a new folder with Files\\ (one script per",
    u"module, its icons and its raw data) that the builder turns back into the",
    u"same modules, and skin.html, a sheet of everything they hold.",
    u"",
    u"  MODULE          one module file (vistel.dll, ...)",
    u"  SKIN-FOLDER     a _skin folder: every .dll in it",
    u"  PROGRAM-FOLDER  a folder that holds _skin\\",
    u"  (none)          the _skin\\ beside this program",
    u"  --out FOLDER    write there instead of Unpacked\\ beside what is read;",
    u"                  a folder that holds anything is never written into",
    u"  --language N    where a resource is held in several languages, write",
    u"                  language N (1033, or 0x409); else 1049, else English,",
    u"                  else language-neutral, else the lowest",
    u"  -h, --help, /?  print this text",
    u"",
    u"Exit status: 0 every resource written, 1 some could not be expressed in a",
    u"script (each is listed), 2 an input could not be read, the output not",
    u"written (then nothing is written), or a command line it cannot use.",
};

constexpr std::u16string_view kOut = u"--out";
constexpr std::u16string_view kLanguage = u"--language";
constexpr std::u16string_view kValueOptions[] = {kOut, kLanguage};

std::u16string Count(std::size_t n, std::u16string_view what) {
    return platform::Decimal(n) + u" " + std::u16string(what) + (n == 1 ? u"" : u"s");
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

std::u16string WithoutTrailingSeparators(std::u16string path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != u':')
        path.pop_back();
    return path;
}

std::u16string Separator() {
    return platform::JoinPath(u"", u"\\");
}

// What to read and where the output goes by default.
struct Input {
    std::vector<skin::ModuleFile> modules;
    std::u16string output;
};

Input ResolveInput(const std::u16string* argument) {
    Input input;
    std::u16string skinFolder;
    if (argument == nullptr) {
        const std::u16string programFolder = platform::FolderPart(platform::GetExeFileName());
        skinFolder = programFolder + u"_skin" + Separator();
        input.output = programFolder + u"Unpacked";
    } else if (platform::FileExists(*argument)) {
        input.modules.push_back({*argument, *argument});
        input.output = platform::FolderPart(*argument) + u"Unpacked";
        return input;
    } else {
        const std::u16string folder = WithoutTrailingSeparators(*argument);
        if (!platform::FolderExists(folder))
            throw skin::GeneralError(u"Cannot read \"" + *argument +
                                     u"\": no such module file or folder.");
        const std::u16string inside = folder + Separator() + u"_skin";
        if (platform::FolderExists(inside)) {
            skinFolder = inside + Separator();
            input.output = folder + Separator() + u"Unpacked";
        } else {
            skinFolder = folder + Separator();
            input.output = platform::FolderPart(folder) + u"Unpacked";
        }
    }
    if (!platform::FolderExists(skinFolder))
        throw skin::GeneralError(u"Cannot read \"" + skinFolder + u"\": no such folder.");
    input.modules = skin::ModulesInFolder(skinFolder);
    if (input.modules.empty())
        throw skin::GeneralError(u"Cannot read \"" + skinFolder +
                                 u"\": it holds no module (.dll).");
    return input;
}

int Run(int argc, char** argv) {
    app::ConsoleArguments arguments;
    if (const auto status = app::console::AnswerCommandLine(argc, argv, u"KestoSkinUnpack", kUsage,
                                                            1, arguments, kValueOptions))
        return *status;
    const std::u16string* input = arguments.operands.empty() ? nullptr : &arguments.operands[0];
    const std::u16string* out = nullptr;
    std::optional<std::uint16_t> language;
    for (const auto& [option, value] : arguments.values) {
        if (option == kOut) {
            out = &value;
            continue;
        }
        const auto number = app::ReadNumber(value, 0xFFFF);
        if (!number) {
            app::console::WriteErrorLine(u"KestoSkinUnpack: option \"--language\" takes a language "
                                         u"number from 0 to 65535 (1049, 0x419), not \"" +
                                         value + u"\"");
            return app::kMisuseStatus;
        }
        language = static_cast<std::uint16_t>(*number);
    }
    try {
        const Input resolved = ResolveInput(input);
        const skin::UnpackedSkin skin = skin::UnpackModules(resolved.modules, language);
        const std::u16string target = out != nullptr ? *out : resolved.output;
        // The sheet's images are converted while the files are written.
        app::unpack::PngsAhead ahead(skin);
        const std::vector<skin::StaleFolder> stale = skin::WriteUnpackedFolder(
            skin, target,
            [&skin, &ahead](const auto& write) {
                app::unpack::WriteSkinSheet(skin, write, skin::ReleaseModuleBytes, &ahead);
            },
            [&ahead](std::size_t module) { ahead.FilesWritten(module); });
        std::size_t warnings = 0;
        std::size_t notes = 0;
        for (const skin::UnpackedModule& module : skin.modules) {
            for (const skin::UnpackedFinding& finding : module.findings) {
                app::console::WriteLine(skin::UnpackFindingLine(module, finding));
                (finding.warning ? warnings : notes) += 1;
            }
        }
        for (const skin::StaleFolder& folder : stale) {
            app::console::WriteLine(folder.path + u": note: removed: an unpack (process " +
                                    platform::Decimal(folder.process) +
                                    u") that no longer runs left it behind [stale-unpack-folder]");
            ++notes;
        }
        app::console::WriteLine(Count(skin.modules.size(), u"module") + u" unpacked into \"" +
                                target + u"\": " + Count(warnings, u"warning") + u", " +
                                Count(notes, u"note"));
        return warnings != 0 ? 1 : 0;
    } catch (const skin::GeneralError& error) {
        app::console::WriteErrorLine(u"error: " + error.Message());
        return 2;
    } catch (const std::bad_alloc&) {
        app::console::WriteErrorLine(u"error: out of memory");
        return 2;
    }
}

} // namespace

int main(int argc, char** argv) {
    const int status = Run(argc, argv);
    app::console::PauseIfOwnConsole();
    return status;
}
