// A small tmpfs standing in for a full disk, where root may mount one.
// Tests skip with a message where it may not; it is unmounted on every path.
#pragma once

#ifndef _WIN32
#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace ksbtest {

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& at, const std::string& size) : at_(at) {
        std::filesystem::create_directories(at_);
        mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(at_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }

    static constexpr const char* kSkipMessage =
        "mounting a tmpfs is not permitted here (needs root)";

private:
    std::filesystem::path at_;
    bool mounted_ = false;
};

} // namespace ksbtest
#endif
