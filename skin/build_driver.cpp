#include "skin/build_driver.h"

#include "acWorkRes/acWorkRes.h"
#include "platform/platform.h"
#include "skin/resource_key.h"
#include "skin/script/script_reader.h"
#include "skin/string_block.h"
#include "skin/template_module.h"

#include <limits>
#include <optional>

namespace skin {

const SkinTarget kSkinTargets[8] = {
    {u"vistel.rc", u"_skin\\vistel.dll"},      {u"tavo.rc", u"_skin\\tavo_pics.dll"},
    {u"brel.rc", u"_skin\\brel_pics.dll"},     {u"quon.rc", u"_skin\\quon_pics.dll"},
    {u"zelma.rc", u"_skin\\zelma_pics.dll"},   {u"oxin.rc", u"_skin\\oxin_pics.dll"},
    {u"marvet.rc", u"_skin\\marvet_pics.dll"}, {u"polden.rc", u"_skin\\polden_pics.dll"},
};

GeneralError FileError(const char16_t* what, const std::u16string& path) {
    std::uint32_t code = platform::LastError();
    return GeneralError(std::u16string(what) + u" \"" + path + u"\". " +
                        platform::SystemErrorText(code));
}

namespace {

constexpr char16_t kFilesFolder[] = u"Files\\";
constexpr char16_t kSeparatorLine[] = u"=====================================";

GeneralError CannotCreate(const std::u16string& path) {
    return FileError(u"Cannot create file", path);
}
GeneralError CannotOpen(const std::u16string& path) {
    return FileError(u"Cannot open file", path);
}
GeneralError CannotWrite(const std::u16string& path) {
    return FileError(u"Cannot write file", path);
}

// A failure to write the module itself: the row cannot give a whole module,
// so none is left (OutputFailure below).
class OutputFailure : public GeneralError {
public:
    explicit OutputFailure(GeneralError error) : GeneralError(std::move(error)) {}
};

// Why the updater could not store an item: the temporary file it could not
// create or write, or, when no file was at fault (memory), the module.
OutputFailure StoreFailure(const std::u16string& modulePath) {
    const acWorkRes::TempFileFailure& failure = acWorkRes::LastTempFileFailure();
    if (failure.FileName.empty())
        return OutputFailure(CannotWrite(modulePath));
    return OutputFailure(FileError(failure.Creating ? u"Cannot create file" : u"Cannot write file",
                                   platform::TempNameText(failure.FileName)));
}

// Removes a module this row has written but could not finish.
void RemoveModule(const std::u16string& path) {
    platform::DeleteFilePath(path);
}

// Removes the unfinished module and throws `error`, which was made (with the
// system's reason) before the removal.
[[noreturn]] void AbandonModule(const std::u16string& path, GeneralError error) {
    RemoveModule(path);
    throw error;
}

// Writes the template module to `path`: created anew, shared with nobody,
// replacing what was there, after its folder. A module that cannot be
// opened (held by another program, read-only) is left as it was; one that
// was opened but could not be written is removed.
void WriteTemplateCopy(const std::u16string& path) {
    std::u16string folder = platform::FolderPart(path);
    if (folder.size() > 1)
        folder.pop_back(); // the folder itself, not its separator
    if (!folder.empty() && !platform::CreateFolders(folder))
        throw FileError(u"Cannot create folder", folder);
    std::span<const std::uint8_t> bytes = TemplateModule();
    platform::File file = platform::CreateAnew(path);
    if (!file)
        throw CannotCreate(path);
    if (!file.WriteAt(0, bytes)) {
        GeneralError error = CannotCreate(path);
        file.Close();
        AbandonModule(path, std::move(error));
    }
}

// Reads a whole file into `bytes`. False when no file exists there; a file
// that exists but cannot be read is an error.
bool ReadFileIfPresent(const std::u16string& path, platform::OpenMode mode,
                       platform::FileBytes& bytes) {
    if (platform::ReadWholeFile(path, mode, bytes))
        return true;
    // The open's error is what the message reports, whatever the look-up leaves.
    const std::uint32_t code = platform::LastError();
    if (!platform::FileExists(path))
        return false;
    platform::SetLastError(code);
    throw CannotOpen(path);
}

// Reads a whole file that exists, shared for reading only.
platform::FileBytes ReadWholeFile(const std::u16string& path) {
    platform::FileBytes bytes;
    if (!platform::ReadWholeFile(path, platform::OpenMode::ReadShareRead, bytes))
        throw CannotOpen(path);
    return bytes;
}

// The open update of one row; a row that ends by an error closes it discarding.
class OpenUpdate {
public:
    explicit OpenUpdate(acWorkRes::ResourceUpdateHandle* handle) : handle_(handle) {}
    ~OpenUpdate() { Close(true); }
    OpenUpdate(const OpenUpdate&) = delete;
    OpenUpdate& operator=(const OpenUpdate&) = delete;

    acWorkRes::ResourceUpdateHandle* Get() const { return handle_; }
    // False when the commit failed (the last error says why).
    bool Close(bool discard) {
        return handle_ == nullptr ||
               acWorkRes::EndResourceUpdate(std::exchange(handle_, nullptr), discard);
    }

private:
    acWorkRes::ResourceUpdateHandle* handle_;
};

// Compiles the lines of one script into an open update.
class ScriptCompiler {
public:
    ScriptCompiler(const std::u16string& programFolder, const std::u16string& modulePath,
                   acWorkRes::ResourceUpdateHandle* handle, BuildLog& log,
                   std::vector<std::u16string>& UsedFiles)
        : programFolder_(programFolder), modulePath_(modulePath), handle_(handle), log_(log),
          usedFiles_(UsedFiles) {}

    void Apply(const std::vector<std::u16string>& lines) {
        ScriptLineState state = ScriptLineState::None;
        for (const std::u16string& line : lines) {
            LineRequest request = ReadScriptLine(line, state);
            switch (request.kind) {
            case RequestKind::Nothing:
                break;
            case RequestKind::StringEntry:
                AddString(request.value);
                break;
            case RequestKind::RcData:
            case RequestKind::Icon:
                AddFileResource(request);
                break;
            case RequestKind::Define:
                defines_.Add(std::move(request.define));
                break;
            }
        }
    }

    // The string-table block, handed over last; nothing when no entry was written.
    void StoreStrings() {
        if (strings_.EntryCount() == 0)
            return;
        std::vector<std::uint8_t> block = strings_.Finish();
        Stored(acWorkRes::UpdateResourceItem(handle_, acWorkRes::kRtString, std::uint16_t{1},
                                             kSkinLanguage, block.data(),
                                             static_cast<std::uint32_t>(block.size())));
    }

private:
    void AddString(const std::u16string& text) {
        if (text.size() > kMaxStringLength) {
            log_.AppendLine(u"string " +
                            platform::Utf8ToUtf16(std::to_string(strings_.EntryCount() + 1)) +
                            u" is longer than 65535 characters, cut !");
        }
        strings_.Add(text);
    }

    // The identifier a key token gives, or nothing when the line must be skipped.
    std::optional<acWorkRes::ResourceId> IdentifierOf(const std::u16string& keyToken) {
        std::int32_t n = defines_.Resolve(keyToken);
        if (UseOfResolvedKey(n) == KeyUse::StringName) {
            log_.AppendLine(u"resource id \"" + keyToken + u"\" not found, write as string id !");
            return acWorkRes::ResourceId(keyToken);
        }
        if (UseOfResolvedKey(n) == KeyUse::OutOfRange) {
            log_.AppendLine(u"resource id \"" + keyToken + u"\" is out of range (" +
                            platform::Utf8ToUtf16(std::to_string(n)) + u"), line skipped !");
            return std::nullopt;
        }
        return acWorkRes::ResourceId(static_cast<std::uint16_t>(n));
    }

    void AddFileResource(const LineRequest& request) {
        std::optional<acWorkRes::ResourceId> id = IdentifierOf(request.keyToken);
        if (!id)
            return;
        usedFiles_.push_back(request.value);
        std::u16string dataPath =
            platform::JoinPath(programFolder_, std::u16string(kFilesFolder) + request.value);
        // The file is read at once; only a failed read asks whether it exists.
        if (request.kind == RequestKind::Icon) {
            platform::FileBytes& icon = buffer_;
            if (!platform::ReadWholeFile(dataPath, platform::OpenMode::ReadShareReadWrite, icon)) {
                // One that exists but cannot be read changes nothing, silently.
                if (!platform::FileExists(dataPath))
                    LogNotFound(dataPath);
                return;
            }
            // A file that is no icon is logged and one that finds no free ID
            // left out, as before; any other failure is one of storing it.
            const std::uint32_t result =
                acWorkRes::AddIconFromImage(handle_, *id, kSkinLanguage, icon.Bytes());
            if (result == platform::kErrorInvalidData)
                log_.AppendLine(u"file \"" + dataPath + u"\" is not a valid icon");
            else if (result != 0 && result != acWorkRes::kErrorNoFreeIconId) {
                platform::SetLastError(result);
                throw StoreFailure(modulePath_);
            }
            return;
        }
        const platform::FileBytes& data = buffer_;
        if (!ReadFileIfPresent(dataPath, platform::OpenMode::ReadShareRead, buffer_)) {
            LogNotFound(dataPath);
            return;
        }
        if (data.size() > std::numeric_limits<std::uint32_t>::max()) {
            log_.AppendLine(u"file \"" + dataPath + u"\" is too large");
            return;
        }
        // An empty file passes no data, which removes a resource of that name.
        Stored(acWorkRes::UpdateResourceItem(handle_, acWorkRes::kRtRcData, *id, kSkinLanguage,
                                             data.empty() ? nullptr : data.data(),
                                             static_cast<std::uint32_t>(data.size())));
    }

    // An item the updater refuses as it stands (a name too long for the
    // section, a directory full) is left out, silently as ever; one it could
    // not store ends the row.
    void Stored(bool stored) const {
        if (!stored && (platform::LastError() != platform::kErrorInvalidData ||
                        !acWorkRes::LastTempFileFailure().FileName.empty()))
            throw StoreFailure(modulePath_);
    }

    void LogNotFound(const std::u16string& dataPath) {
        log_.AppendLine(u"file \"" + dataPath + u"\" not found");
    }

    const std::u16string& programFolder_;
    const std::u16string& modulePath_;
    acWorkRes::ResourceUpdateHandle* handle_;
    BuildLog& log_;
    std::vector<std::u16string>& usedFiles_;
    DefineTable defines_;
    platform::FileBytes buffer_; // each data or icon file in turn
    StringBlock strings_;
};

void BuildTarget(bool Discard, const SkinTarget& target, const std::u16string& programFolder,
                 BuildLog& log, std::vector<std::u16string>& UsedFiles) {
    std::u16string scriptPath =
        platform::JoinPath(programFolder, std::u16string(kFilesFolder) + target.ScriptFile);
    if (!platform::FileExists(scriptPath)) {
        log.AppendLine(scriptPath + u" not found !");
        return;
    }
    log.AppendLine(platform::FileNamePart(scriptPath));
    UsedFiles.emplace_back(target.ScriptFile);

    std::u16string outputPath = platform::JoinPath(programFolder, target.OutputModule);
    WriteTemplateCopy(outputPath);

    std::vector<std::u16string> lines = LoadScriptLines(ReadWholeFile(scriptPath).Bytes());
    OpenUpdate update(acWorkRes::BeginResourceUpdate(outputPath, false));
    if (update.Get() == nullptr)
        AbandonModule(outputPath, CannotOpen(outputPath));
    {
        ScriptCompiler compiler(programFolder, outputPath, update.Get(), log, UsedFiles);
        try {
            compiler.Apply(lines);
            compiler.StoreStrings();
        } catch (const OutputFailure&) {
            update.Close(true);
            RemoveModule(outputPath);
            throw;
        } catch (...) {
            // What was handed to the updater before the failure is still committed
            // (or thrown away in a discarding run); a commit that fails leaves no module.
            if (!update.Close(Discard))
                RemoveModule(outputPath);
            throw;
        }
    }
    if (!update.Close(Discard))
        AbandonModule(outputPath, CannotWrite(outputPath));
    log.AppendLine(u"done!");
}

} // namespace

void BuildSkins(bool Discard, const std::u16string& programFolder, BuildLog& log,
                std::vector<std::u16string>& UsedFiles) {
    UsedFiles.clear();
    for (const SkinTarget& target : kSkinTargets) {
        log.AppendLine(kSeparatorLine);
        BuildTarget(Discard, target, programFolder, log, UsedFiles);
    }
}

} // namespace skin
