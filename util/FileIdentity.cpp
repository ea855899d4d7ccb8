#include "util/FileIdentity.h"

#include <sys/stat.h>

namespace kadrel {

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

bool NameTheSameFile(const std::string& a, const std::string& b) {
    const auto first = IdentityOfFile(a);
    return first && first == IdentityOfFile(b);
}

} // namespace kadrel
