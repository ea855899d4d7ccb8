#include "util/FileReplace.h"

#include "util/Error.h"
#include "util/FileDescriptor.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kadrel {

namespace {

constexpr std::string_view TemporaryPrefix = ".kadrel-save-";
// Earlier versions named their temporaries ".kadrel-" and six letters or digits.
constexpr std::string_view OldTemporaryPrefix = ".kadrel-";
constexpr std::size_t TemporaryLetters = 6;
// No save takes a day: a temporary that old was left by a save that was killed.
constexpr std::time_t StaleAge = 24 * 60 * 60;
constexpr int MaxLinksFollowed = 40;

[[noreturn]] void ThrowCannotCreate(const std::string& fileName) {
    throw Error("Impossible de créer le fichier " + fileName);
}

[[noreturn]] void ThrowCannotWrite(const std::string& fileName) {
    throw Error("Erreur d'écriture du fichier " + fileName);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The file that a save writes: symbolic links are followed one by one, also to a target that
// does not exist yet, so that saving through a link updates or creates the file it points to
// instead of replacing the link by a plain file. Empty for a loop of links.
std::string FollowLinks(std::string path) {
    for (int followed = 0; followed <= MaxLinksFollowed; ++followed) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) == sizeof target)
            return path;
        const std::string_view text(target, static_cast<std::size_t>(n));
        path = text.starts_with('/') ? std::string(text) : FolderOf(path) + "/" + std::string(text);
    }
    return {};
}

bool HasAccessList(const std::string& path) {
    return ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

// Rewrites an existing regular file where it is, for a file that must keep its inode.
void WriteInPlace(const std::string& target, std::span<const std::uint8_t> bytes,
                  const std::string& fileName) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        ThrowCannotCreate(fileName);
    // The room is taken before the old content is touched, so that a full disk or a size limit
    // refuses the save while the file is still whole. Where the file system cannot reserve room,
    // the file is written all the same.
    const auto size = static_cast<off_t>(bytes.size());
    if (size > 0 && ::fallocate(fd.Get(), 0, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        ThrowCannotWrite(fileName);
    if (!WriteAll(fd.Get(), bytes.data(), bytes.size()) || ::ftruncate(fd.Get(), size) != 0 ||
        ::fsync(fd.Get()) != 0 || !fd.Close())
        ThrowCannotWrite(fileName);
}

std::string RandomLetters() {
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint8_t random[TemporaryLetters] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No entropy to be had: the clock, the process and a count still make names that rarely
        // clash, and a clash only means another attempt.
        static unsigned count = 0;
        const auto seed = (static_cast<unsigned>(std::time(nullptr)) ^
                           static_cast<unsigned>(::getpid()) * 2654435761u) +
                          ++count * 40503u;
        for (std::size_t i = 0; i < sizeof random; ++i)
            random[i] = static_cast<std::uint8_t>(seed >> (i * 5));
    }
    std::string text;
    for (std::uint8_t r : random)
        text += letters[r % (sizeof letters - 1)];
    return text;
}

std::string TemporaryName(const std::string& folder) {
    return folder + "/" + std::string(TemporaryPrefix) + RandomLetters();
}

bool IsTemporaryName(std::string_view name) {
    const auto letters = [](std::string_view rest) {
        if (rest.size() != TemporaryLetters)
            return false;
        for (char c : rest)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
                return false;
        return true;
    };
    return (name.starts_with(TemporaryPrefix) && letters(name.substr(TemporaryPrefix.size()))) ||
           (name.starts_with(OldTemporaryPrefix) &&
            letters(name.substr(OldTemporaryPrefix.size())));
}

// Removes the user's own temporaries that saves killed long ago left in the folder.
void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && now - st.st_mtime > StaleAge)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// A new named temporary file in the folder, created with the mode 0666 less the umask, which
// the system applies itself. Sets name; -1 when the folder takes no new file.
int CreateNamedTemporary(const std::string& folder, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(folder);
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Gives an unnamed file the name `name`; false when the name exists or the file cannot be
// linked (no /proc, say).
bool LinkUnnamed(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives an unnamed file a temporary name in the folder. Sets name; false on failure.
bool LinkUnnamedAsTemporary(int fd, const std::string& folder, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(folder);
        if (LinkUnnamed(fd, name))
            return true;
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return false;
}

// Gives the new file the old one's owner, group and mode; false when the user may not, as the
// new file would then belong to someone else or be open to other people.
bool TakeOverOwnerAndMode(int fd, const struct stat& old) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    // After the owner, which clears the set-user and set-group bits; the system also drops the
    // set-group bit silently for a group the user is not in, hence the check.
    return ::fchmod(fd, old.st_mode & 07777) == 0 && ::fstat(fd, &st) == 0 &&
           (st.st_mode & 07777) == (old.st_mode & 07777);
}

void SyncFolder(const std::string& folder) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

} // namespace

void ReplaceFileContent(const std::string& fileName, std::span<const std::uint8_t> bytes,
                        const FileReplaceOptions& options) {
    const std::string target = FollowLinks(fileName);
    if (target.empty())
        ThrowCannotCreate(fileName);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        ThrowCannotCreate(fileName);
    if (exists) {
        // A FIFO, a device or a folder is no song to replace, and a file the user may not write
        // must not be replaced behind its owner's back.
        if (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            ThrowCannotCreate(fileName);
        // A replacement would split the links or drop the access list.
        if (old.st_nlink > 1 || HasAccessList(target)) {
            WriteInPlace(target, bytes, fileName);
            return;
        }
    }

    const std::string folder = FolderOf(target);
    RemoveStaleTemporaries(folder);
    std::string temporary; // the temporary's name, empty while it has none
    int raw = options.unnamedTemporary
                  ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)
                  : -1;
    if (raw < 0)
        raw = CreateNamedTemporary(folder, temporary);
    FileDescriptor fd(raw);
    if (fd.Get() < 0) {
        // A folder that takes no new file can still hold a file that the user may write.
        if (exists) {
            WriteInPlace(target, bytes, fileName);
            return;
        }
        ThrowCannotCreate(fileName);
    }
    const auto discard = [&] {
        fd.Close();
        if (!temporary.empty())
            ::unlink(temporary.c_str());
    };

    if (exists && !TakeOverOwnerAndMode(fd.Get(), old)) {
        discard();
        WriteInPlace(target, bytes, fileName);
        return;
    }
    if (!WriteAll(fd.Get(), bytes.data(), bytes.size()) || ::fsync(fd.Get()) != 0) {
        discard();
        ThrowCannotWrite(fileName);
    }

    if (temporary.empty()) {
        // A new file takes its name at once: nothing else ever shows in the folder.
        if (!exists && LinkUnnamed(fd.Get(), target)) {
            if (!fd.Close()) {
                ::unlink(target.c_str());
                ThrowCannotWrite(fileName);
            }
            SyncFolder(folder);
            return;
        }
        if (!LinkUnnamedAsTemporary(fd.Get(), folder, temporary)) {
            // Unnamed files cannot be linked here after all: start again with a named one.
            fd.Close();
            ReplaceFileContent(fileName, bytes, {.unnamedTemporary = false});
            return;
        }
    }
    if (!fd.Close()) {
        discard();
        ThrowCannotWrite(fileName);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        ThrowCannotCreate(fileName);
    }
    SyncFolder(folder);
}

} // namespace kadrel
