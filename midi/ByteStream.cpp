#include "midi/ByteStream.h"

#include "util/Error.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrel {

namespace {

const char* const OutOfMemoryText = "Plus de mémoire lors de l'expansion du flux mémoire";

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The file that a save must replace: a symbolic link is followed, so that saving through it
// updates the file it points to instead of replacing the link by a plain file.
std::string SaveTarget(const std::string& fileName) {
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return fileName;
}

} // namespace

std::size_t ByteStream::Read(void* dst, std::size_t n) {
    if (position_ >= data_.size())
        return 0;
    const std::size_t count = std::min(n, data_.size() - position_);
    std::memcpy(dst, data_.data() + position_, count);
    position_ += count;
    return count;
}

void ByteStream::Write(const void* src, std::size_t n) {
    const auto* bytes = static_cast<const std::uint8_t*>(src);
    try {
        const std::size_t end = position_ + n;
        if (end > data_.size())
            data_.resize(end);
        std::memcpy(data_.data() + position_, bytes, n);
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
    position_ += n;
}

void ByteStream::Append(std::uint8_t b) {
    try {
        // A position beyond the end leaves a gap of zeros, as a write after a seek would.
        if (position_ > data_.size())
            data_.resize(position_);
        data_.push_back(b);
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
    ++position_;
}

void ByteStream::Reserve(std::size_t n) {
    try {
        data_.reserve(n);
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
}

void ByteStream::LoadFromFile(const std::string& fileName) {
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw Error("Impossible d'ouvrir le fichier " + fileName);

    std::vector<std::uint8_t> bytes;
    try {
        if (S_ISREG(st.st_mode))
            bytes.reserve(static_cast<std::size_t>(st.st_size));
        // Read to the end rather than trusting the size, which can change meanwhile.
        std::uint8_t chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw Error("Erreur de lecture du fichier " + fileName);
            }
            if (got == 0)
                break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    }
    data_ = std::move(bytes);
    position_ = 0;
}

void ByteStream::SaveToFile(const std::string& fileName) const {
    const std::string target = SaveTarget(fileName);
    const std::string createError = "Impossible de créer le fichier " + fileName;

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw Error(createError);

    std::string temp = FolderOf(target) + "/.kadrel-XXXXXX";
    FileDescriptor fd(::mkstemp(temp.data()));
    if (fd.Get() < 0)
        throw Error(createError);

    // mkstemp creates the file for its owner only; give it the mode that the replaced file had,
    // or the one a newly created file would get.
    mode_t mode = 0;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = ::fchmod(fd.Get(), mode) == 0 &&
                         WriteAll(fd.Get(), data_.data(), data_.size()) && ::fsync(fd.Get()) == 0;
    const bool closed = fd.Close();
    if (!written || !closed) {
        ::unlink(temp.c_str());
        throw Error("Erreur d'écriture du fichier " + fileName);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw Error(createError);
    }
}

} // namespace kadrel
