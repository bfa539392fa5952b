// The I/O floor of a build: every file the scripts reference is read once,
// and each script's bytes are written into one output file, with plain POSIX
// calls and one buffer per script. No parsing, no layout, no checksum.
//
//   io_floor FILES_DIR OUT_DIR LIST...
//
// Each LIST is a text file: the output file's name on the first line, then
// one path per line relative to FILES_DIR (the script first, then its files).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool ReadFile(const std::string& path, std::vector<char>& buffer) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    const std::size_t at = buffer.size();
    if (ok) {
        buffer.resize(at + static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < static_cast<std::size_t>(info.st_size)) {
            const ssize_t got = read(fd, buffer.data() + at + done, buffer.size() - at - done);
            ok = got > 0;
            if (ok)
                done += static_cast<std::size_t>(got);
        }
    }
    close(fd);
    return ok;
}

bool WriteFile(const std::string& path, const std::vector<char>& buffer) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < buffer.size()) {
        const ssize_t put = write(fd, buffer.data() + done, buffer.size() - done);
        ok = put > 0;
        if (ok)
            done += static_cast<std::size_t>(put);
    }
    return close(fd) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: io_floor FILES_DIR OUT_DIR LIST...\n");
        return 2;
    }
    const std::string files = std::string(argv[1]) + "/";
    const std::string out = std::string(argv[2]) + "/";
    std::vector<char> buffer;
    for (int i = 3; i < argc; ++i) {
        std::ifstream list(argv[i]);
        std::string target;
        std::string line;
        if (!std::getline(list, target)) {
            std::fprintf(stderr, "io_floor: empty list %s\n", argv[i]);
            return 1;
        }
        buffer.clear();
        while (std::getline(list, line)) {
            if (!line.empty() && !ReadFile(files + line, buffer)) {
                std::fprintf(stderr, "io_floor: cannot read %s\n", line.c_str());
                return 1;
            }
        }
        if (!WriteFile(out + target, buffer)) {
            std::fprintf(stderr, "io_floor: cannot write %s\n", target.c_str());
            return 1;
        }
    }
    return 0;
}
