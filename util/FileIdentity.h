#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kadrel {

// Which file a name leads to: its device and inode, the same whatever path, hard link or
// symbolic link names it.
struct FileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file that path names, links followed; nothing when there is none.
std::optional<FileIdentity> IdentityOfFile(const std::string& path);

// Whether both names lead to one existing file.
bool NameTheSameFile(const std::string& a, const std::string& b);

} // namespace kadrel
