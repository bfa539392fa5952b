// The I/O floor of an unpack: every module is read once, and every file an
// unpack writes is created anew and filled with as many bytes, with plain
// POSIX calls and one buffer. No parsing, no page, no names worked out.
//
//   write_floor OUT_DIR LIST MODULE...
//
// LIST is a text file of lines "SIZE<TAB>PATH", PATH relative to OUT_DIR,
// which must not hold any of them yet; folders are made as they are met.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

bool ReadModule(const std::string& path, std::vector<char>& buffer) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (ok) {
        buffer.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < buffer.size()) {
            const ssize_t got = read(fd, buffer.data() + done, buffer.size() - done);
            ok = got > 0;
            if (ok)
                done += static_cast<std::size_t>(got);
        }
    }
    close(fd);
    return ok;
}

bool MakeFolders(const std::string& out, const std::string& relative, std::set<std::string>& made) {
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        const std::string folder = out + "/" + relative.substr(0, slash);
        if (made.insert(folder).second && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: write_floor OUT_DIR LIST MODULE...\n");
        return 2;
    }
    const std::string out = argv[1];
    std::vector<char> buffer;
    std::size_t largest = 0;
    for (int i = 3; i < argc; ++i) {
        if (!ReadModule(argv[i], buffer)) {
            std::perror(argv[i]);
            return 1;
        }
        largest = std::max(largest, buffer.size());
    }
    std::ifstream list(argv[2]);
    std::set<std::string> made;
    std::size_t size = 0;
    std::string relative;
    while (list >> size && list.get() == '\t' && std::getline(list, relative)) {
        if (size > buffer.size())
            buffer.resize(size);
        const std::string path = out + "/" + relative;
        if (!MakeFolders(out, relative, made)) {
            std::perror(path.c_str());
            return 1;
        }
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        bool ok = fd >= 0;
        for (std::size_t done = 0; ok && done < size;) {
            const ssize_t put = write(fd, buffer.data() + done, size - done);
            ok = put > 0;
            if (ok)
                done += static_cast<std::size_t>(put);
        }
        if (fd >= 0 && close(fd) != 0)
            ok = false;
        if (!ok) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return largest == 0 ? 1 : 0;
}
