#include "util/FileReplace.h"

#include "util/Error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kadrel {

namespace {

// A temporary's name is one that no person would give a file: the prefix, sixteen random
// letters or digits and a fixed ending. Only such names are ever swept away.
constexpr std::string_view TemporaryPrefix = ".kadrel-save-";
constexpr std::string_view TemporarySuffix = ".tmp";
constexpr std::size_t TemporaryLetters = 16;
// No save takes a day: a temporary that old was left by a save that was killed.
constexpr std::time_t StaleAge = 24 * 60 * 60;
constexpr int MaxLinksFollowed = 40;

[[noreturn]] void ThrowCannotCreate(const std::string& fileName) {
    throw Error("Impossible de créer le fichier ", fileName);
}

[[noreturn]] void ThrowCannotWrite(const std::string& fileName) {
    throw Error("Erreur d'écriture du fichier ", fileName);
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

// Copies the first size bytes of the file from into the file to, at its current position.
bool CopyContent(int from, int to, std::uint64_t size) {
    constexpr std::size_t BlockSize = std::size_t{1} << 20;
    const std::unique_ptr<char[]> block(new char[BlockSize]);
    for (std::uint64_t done = 0; done < size;) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(BlockSize, size - done));
        const ssize_t n = ::pread(from, block.get(), wanted, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || !WriteAll(to, block.get(), static_cast<std::size_t>(n)))
            return false;
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Rewrites an existing regular file where it is, for a file that must keep its inode, with the
// size bytes that fill writes.
template <typename Fill>
void WriteInPlace(const std::string& target, std::uint64_t size, Fill fill,
                  const std::string& fileName) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        ThrowCannotCreate(fileName);
    // The room is taken before the old content is touched, so that a full disk or a size limit
    // refuses the save while the file is still whole. Where the file system cannot reserve room,
    // the file is written all the same.
    const auto length = static_cast<off_t>(size);
    if (length > 0 && ::fallocate(fd.Get(), 0, 0, length) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        ThrowCannotWrite(fileName);
    if (!fill(fd.Get()) || ::ftruncate(fd.Get(), length) != 0 || ::fsync(fd.Get()) != 0 ||
        !fd.Close())
        ThrowCannotWrite(fileName);
}

std::string RandomLetters() {
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint8_t random[TemporaryLetters] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No entropy to be had: the clock, the process and a count still make names that rarely
        // clash, and a clash only means another attempt.
        static std::uint64_t count = 0;
        std::uint64_t seed = (static_cast<std::uint64_t>(std::time(nullptr)) ^
                              static_cast<std::uint64_t>(::getpid()) * 2654435761u) +
                             ++count * 40503u;
        for (std::uint8_t& r : random) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            r = static_cast<std::uint8_t>(seed >> 33);
        }
    }
    std::string text;
    for (std::uint8_t r : random)
        text += letters[r % (sizeof letters - 1)];
    return text;
}

std::string TemporaryName(const std::string& folder) {
    return folder + "/" + std::string(TemporaryPrefix) + RandomLetters() +
           std::string(TemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != TemporaryPrefix.size() + TemporaryLetters + TemporarySuffix.size() ||
        !name.starts_with(TemporaryPrefix) || !name.ends_with(TemporarySuffix))
        return false;
    for (char c : name.substr(TemporaryPrefix.size(), TemporaryLetters))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Removes the user's own temporaries that saves killed long ago left in the folder; a file of
// another user's is never touched, whatever its name.
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
            ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
bool TakeOverOwnerAndMode(int fd, uid_t owner, gid_t group, mode_t mode) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    if ((st.st_uid != owner || st.st_gid != group) && ::fchown(fd, owner, group) != 0)
        return false;
    // After the owner, which clears the set-user and set-group bits; the system also drops the
    // set-group bit silently for a group the user is not in, hence the check.
    return ::fchmod(fd, mode & 07777) == 0 && ::fstat(fd, &st) == 0 &&
           (st.st_mode & 07777) == (mode & 07777);
}

void SyncFolder(const std::string& folder) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

// A temporary file in the folder, unnamed where possible (name stays empty), else named; -1
// when the folder takes no new file.
int OpenTemporary(const std::string& folder, bool unnamed, std::string& name) {
    name.clear();
    RemoveStaleTemporaries(folder);
    int fd = unnamed ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666) : -1;
    if (fd < 0)
        fd = CreateNamedTemporary(folder, name);
    if (fd < 0)
        name.clear();
    return fd;
}

std::string SystemTemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && folder[0] == '/' ? folder : "/tmp";
}

} // namespace

FileReplacement::FileReplacement(const std::string& fileName, const FileReplaceOptions& options)
    : fileName_(fileName), target_(FollowLinks(fileName)) {
    if (target_.empty())
        ThrowCannotCreate(fileName);
    struct stat old {};
    exists_ = ::stat(target_.c_str(), &old) == 0;
    if (!exists_ && errno != ENOENT)
        ThrowCannotCreate(fileName);
    if (exists_) {
        // A FIFO, a device or a folder is no file to replace (and opening one could wait for
        // ever), and a file the user may not write must not be replaced behind its owner's back.
        if (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
            ThrowCannotCreate(fileName);
        oldOwner_ = old.st_uid;
        oldGroup_ = old.st_gid;
        oldMode_ = old.st_mode;
        // A replacement would split the links or drop the access list.
        inPlace_ = old.st_nlink > 1 || HasAccessList(target_);
    }
    folder_ = FolderOf(target_);
    int fd = OpenTemporary(folder_, options.unnamedTemporary, temporaryName_);
    if (fd < 0 && exists_) {
        // A folder that takes no new file can still hold a file that the user may write: the
        // content waits elsewhere until it is complete.
        inPlace_ = true;
        fd = OpenTemporary(SystemTemporaryFolder(), options.unnamedTemporary, temporaryName_);
    }
    if (fd < 0)
        ThrowCannotCreate(fileName);
    temporaryFd_.Reset(fd);
}

FileReplacement::~FileReplacement() {
    Discard();
}

void FileReplacement::Discard() {
    temporaryFd_.Close();
    if (!temporaryName_.empty())
        ::unlink(temporaryName_.c_str());
    temporaryName_.clear();
}

bool FileReplacement::Write(const void* bytes, std::size_t count) {
    if (writeFailed_ || done_)
        return false;
    writeFailed_ = !WriteAll(temporaryFd_.Get(), bytes, count);
    size_ += count;
    return !writeFailed_;
}

void FileReplacement::CommitInPlace() {
    done_ = true;
    const int from = temporaryFd_.Get();
    WriteInPlace(
        target_, size_, [&](int to) { return CopyContent(from, to, size_); }, fileName_);
    Discard();
}

bool FileReplacement::NameTemporaryBeside() {
    if (LinkUnnamedAsTemporary(temporaryFd_.Get(), folder_, temporaryName_))
        return true;
    // Unnamed files cannot be linked here after all: the content moves to a named file.
    std::string name;
    FileDescriptor named(CreateNamedTemporary(folder_, name));
    if (named.Get() < 0)
        return false;
    if (!CopyContent(temporaryFd_.Get(), named.Get(), size_) ||
        (exists_ && !TakeOverOwnerAndMode(named.Get(), oldOwner_, oldGroup_, oldMode_)) ||
        ::fsync(named.Get()) != 0) {
        named.Close();
        ::unlink(name.c_str());
        return false;
    }
    temporaryFd_.Reset(named.Release());
    temporaryName_ = name;
    return true;
}

void FileReplacement::Commit() {
    if (done_)
        return;
    if (writeFailed_) {
        done_ = true;
        Discard();
        ThrowCannotWrite(fileName_);
    }
    if (inPlace_ ||
        (exists_ && !TakeOverOwnerAndMode(temporaryFd_.Get(), oldOwner_, oldGroup_, oldMode_))) {
        // The new file would belong to someone else or be open to other people.
        CommitInPlace();
        return;
    }
    done_ = true;
    if (::fsync(temporaryFd_.Get()) != 0) {
        Discard();
        ThrowCannotWrite(fileName_);
    }
    if (temporaryName_.empty()) {
        // A new file takes its name at once: nothing else ever shows in the folder.
        if (!exists_ && LinkUnnamed(temporaryFd_.Get(), target_)) {
            if (!temporaryFd_.Close()) {
                ::unlink(target_.c_str());
                ThrowCannotWrite(fileName_);
            }
            SyncFolder(folder_);
            return;
        }
        if (!NameTemporaryBeside()) {
            Discard();
            ThrowCannotCreate(fileName_);
        }
    }
    if (!temporaryFd_.Close()) {
        Discard();
        ThrowCannotWrite(fileName_);
    }
    if (::rename(temporaryName_.c_str(), target_.c_str()) != 0) {
        Discard();
        ThrowCannotCreate(fileName_);
    }
    temporaryName_.clear();
    SyncFolder(folder_);
}

void ReplaceFileContent(const std::string& fileName, std::span<const std::uint8_t> bytes,
                        const FileReplaceOptions& options) {
    FileReplacement replacement(fileName, options);
    replacement.Write(bytes.data(), bytes.size());
    replacement.Commit();
}

} // namespace kadrel
