// Listing a folder, for the skin checker (letter-case near misses, files no
// script names, modules no script builds).
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

} // namespace platform
