#pragma once

#include "TempDir.h"

#include <cstddef>
#include <string>
#include <sys/mount.h>

namespace kadrel::test {

// A memory file system of a few kilobytes, mounted on a fresh folder for as long as the object
// lives, so that a test can fill a disk for real. Mounting needs root; Mounted() says whether it
// worked, so that the test can skip otherwise.
class SmallFileSystem {
public:
    explicit SmallFileSystem(std::size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        mounted_ = ::mount("tmpfs", folder_.Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.c_str()) == 0;
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    ~SmallFileSystem() {
        if (mounted_)
            ::umount2(folder_.Path().c_str(), MNT_DETACH);
    }

    bool Mounted() const { return mounted_; }
    std::string operator/(const std::string& name) const { return folder_ / name; }
    std::vector<std::string> Names() const { return folder_.Names(); }

private:
    TempDir folder_;
    bool mounted_ = false;
};

} // namespace kadrel::test
