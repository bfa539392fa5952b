// Folders as wholes: listing one, for the skin checker (letter-case near
// misses, files no script names, modules no script builds) and the unpacker
// (the modules of a _skin folder); renaming and removing one, for the
// unpacker's output, which is made in a temporary folder and renamed last.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FolderEntry {
    std::u16string name; // the name as the file system holds it
    bool folder = false; // a folder, or a link to one
    bool link = false;   // a symbolic link
};

// The entries of the folder at `path` (a native path, as JoinPath gives),
// without "." and "..", in no particular order. Empty when the folder cannot
// be read.
std::vector<FolderEntry> ListFolder(const std::u16string& path);

// Renames (moves) the folder `from` to `to` on the same volume. Fails, with
// the last error, when anything exists at `to` already, an empty folder too.
bool RenameFolder(const std::u16string& from, const std::u16string& to);

// Removes the folder at `path` with everything inside it. A link inside is
// removed itself, never followed. False, with the last error, when anything
// stays; what could be removed is gone.
bool RemoveTree(const std::u16string& path);

} // namespace platform
