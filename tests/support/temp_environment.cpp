#include "support/temp_environment.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace ksbtest {

namespace {

fs::path& Folder() {
    static fs::path folder;
    return folder;
}

void SetTempVariables(const std::string& value) {
#ifdef _WIN32
    _putenv_s("TMP", value.c_str());
    _putenv_s("TEMP", value.c_str());
#else
    setenv("TMPDIR", value.c_str(), 1);
#endif
}

int ProcessNumber() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

} // namespace

void TempFolderEnvironment::SetUp() {
    std::error_code ignored;
    fs::path folder = fs::temp_directory_path(ignored) /
                      ("ksb-" + program_ + "-" + std::to_string(ProcessNumber()));
    fs::remove_all(folder, ignored);
    fs::create_directories(folder, ignored);
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    Folder() = folder;
    // GetTempPathA gives the folder with its separator; TMPDIR need not have one.
    SetTempVariables(folder.string());
}

void TempFolderEnvironment::TearDown() {
    for (const fs::path& file : UpdaterTempFiles(Folder()))
        ADD_FAILURE() << "temporary file left behind: " << file.string();
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
}

const fs::path& PrivateTempFolder() {
    return Folder();
}

std::size_t OpenDescriptorCount() {
#ifdef _WIN32
    return 0; // handles are not listed the POSIX way; under Wine the list is Wine's
#endif
    std::error_code ignored;
    std::size_t count = 0;
    for (fs::directory_iterator it("/proc/self/fd", ignored), end; !ignored && it != end;
         it.increment(ignored))
        ++count;
    return count;
}

std::vector<std::string> MappedFilesBelow(const fs::path& folder) {
    std::vector<std::string> files;
#ifdef _WIN32
    return files;
#endif
    std::ifstream maps("/proc/self/maps");
    const std::string prefix = folder.string();
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash != std::string::npos && line.compare(slash, prefix.size(), prefix) == 0)
            files.push_back(line.substr(slash));
    }
    return files;
}

} // namespace ksbtest
