// Used files: the skin build run with every change thrown away, only to learn
// which files the scripts name, then each of those files moved from Files\ to
// UsedFiles\ beside it, keeping its relative path. What stays in Files\ is
// what no script uses.
#pragma once

#include "app/build_function.h"

#include <functional>
#include <string>
#include <vector>

namespace app {

// The file-system operations the collector relies on. None of them throws;
// each reports its success as a Boolean.
struct CollectorFileSystem {
    std::function<bool(const std::u16string&)> FolderExists;
    // Removes a folder only when it is empty.
    std::function<bool(const std::u16string&)> RemoveEmptyFolder;
    // Creates a folder and every missing folder above it.
    std::function<bool(const std::u16string&)> CreateFolders;
    // Copies one file, replacing an existing destination.
    std::function<bool(const std::u16string& source, const std::u16string& destination)>
        CopyFileReplacing;
    std::function<bool(const std::u16string&)> DeleteFile;

    // The operations of the platform layer.
    static CollectorFileSystem Platform();
};

// Creates `path` with every missing folder above it; nothing happens to a
// folder that exists. An empty path is an error: skin::GeneralError "Unable
// to create directory". Any other failure only gives false.
bool ForceFolders(const CollectorFileSystem& files, const std::u16string& path);

// The whole run after the cursor is set: the discarding build (an error that
// escapes it ends the run before anything is created, removed or moved), the
// separator line, UsedFiles\ removed when empty and created again, the count
// line, then each entry moved: its folders created under UsedFiles\, the file
// copied over, the source deleted only after a good copy. An error raised for
// one entry becomes one log line and the next entry is taken.
void CollectUsedFiles(const std::u16string& programFolder, skin::BuildLog& log,
                      std::vector<std::u16string>& UsedFiles, const BuildSkinsFunction& buildSkins,
                      const CollectorFileSystem& files);

} // namespace app
