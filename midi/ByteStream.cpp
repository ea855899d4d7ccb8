#include "midi/ByteStream.h"

#include "util/Error.h"
#include "util/FileDescriptor.h"
#include "util/FileReplace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrel {

namespace {

constexpr std::string_view OpenErrorStart = "Impossible d'ouvrir le fichier ";
constexpr std::string_view ReadErrorStart = "Impossible de lire le fichier ";
constexpr std::string_view TooLargeEnd = " : il dépasse 1 Go";

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

void ByteStream::LoadFromFile(const std::string& fileName, FileIdentity* loaded) {
    const auto openError = [&] { return Error(OpenErrorStart, fileName); };
    // Only a regular file is opened: opening a FIFO would wait for a writer, and a device such
    // as /dev/zero would be read for ever. The file is looked at again once open, in case it
    // was replaced meanwhile; opening without waiting makes that harmless too.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw openError();
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw openError();
    const auto tooLargeError = [&] { return Error(ReadErrorStart, fileName, TooLargeEnd); };
    if (static_cast<std::uint64_t>(st.st_size) > MaxLoadedFileSize)
        throw tooLargeError();

    std::vector<std::uint8_t> bytes;
    try {
        // Read to the end rather than trusting the size, which can change meanwhile, but never
        // beyond the largest size allowed.
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd.Get(), bytes.data() + got, bytes.size() - got);
            if (n == 0)
                break;
            if (n < 0 && errno != EINTR)
                throw Error("Erreur de lecture du fichier ", fileName);
            got += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        bytes.resize(got);
        // Whatever lies beyond the size reported (a file still growing, or one of the system's
        // files that report no size) comes in blocks.
        std::uint8_t block[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd.Get(), block, sizeof block);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw Error("Erreur de lecture du fichier ", fileName);
            }
            if (bytes.size() + static_cast<std::size_t>(n) > MaxLoadedFileSize)
                throw tooLargeError();
            bytes.insert(bytes.end(), block, block + n);
        }
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
    data_ = std::move(bytes);
    position_ = 0;
    if (loaded != nullptr)
        *loaded = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void ByteStream::SaveToFile(const std::string& fileName) const {
    ReplaceFileContent(fileName, data_);
}

std::string UnreadableFileText(const std::string& fileName) {
    const auto because = [&](std::string_view reason) {
        return std::string(OpenErrorStart) + fileName + " : " + std::string(reason) + ".";
    };
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return because("il n'existe pas");
        if (errno == EACCES || errno == EPERM)
            return because("l'accès en est refusé");
        return std::string(OpenErrorStart) + fileName;
    }
    if (S_ISDIR(st.st_mode))
        return because("c'est un dossier");
    if (!S_ISREG(st.st_mode))
        return because("ce n'est pas un fichier ordinaire");
    if (static_cast<std::uint64_t>(st.st_size) > MaxLoadedFileSize)
        return std::string(ReadErrorStart) + fileName + std::string(TooLargeEnd) + ".";
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno == EACCES || errno == EPERM ? because("l'accès en est refusé")
                                                 : std::string(OpenErrorStart) + fileName;
    return {};
}

} // namespace kadrel
