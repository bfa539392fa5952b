// A private temporary folder for a whole test program, and the checks that
// a run left nothing behind: no updater temporary file ("$kiv$res" names),
// no open file descriptor, no mapped file.
#pragma once

#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace ksbtest {

namespace fs = std::filesystem;

// Makes a folder of its own the system's temporary folder (TMPDIR on POSIX,
// TMP and TEMP on Windows) before the first test, and at the end of the
// program fails if any updater temporary file is left in it, then removes it.
// Register it with testing::AddGlobalTestEnvironment.
class TempFolderEnvironment : public testing::Environment {
public:
    explicit TempFolderEnvironment(std::string program) : program_(std::move(program)) {}
    void SetUp() override;
    void TearDown() override;

private:
    std::string program_;
};

// The folder the environment set up (empty before SetUp).
const fs::path& PrivateTempFolder();

// The process's open file descriptors, as /proc/self/fd lists them; 0 on
// Windows.
std::size_t OpenDescriptorCount();

// The files below `folder` that the process has mapped (/proc/self/maps);
// none on Windows.
std::vector<std::string> MappedFilesBelow(const fs::path& folder);

} // namespace ksbtest
