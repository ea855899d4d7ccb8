#pragma once

#include <cstddef>

namespace kadrel {

// An open file descriptor, closed when it leaves scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded: a failed close can mean lost data.
    bool Close();
    // Closes the descriptor held, if any, and holds fd instead.
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Hands the descriptor over to the caller, who closes it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Writes all count bytes, going on after short writes and interruptions; false on an error.
bool WriteAll(int fd, const void* bytes, std::size_t count);

} // namespace kadrel
