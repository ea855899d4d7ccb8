#include "util/FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

namespace kadrel {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileDescriptor::Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
}

bool WriteAll(int fd, const void* bytes, std::size_t count) {
    const auto* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = ::write(fd, p, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace kadrel
