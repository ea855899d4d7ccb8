#pragma once

#include "util/FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrel {

// The error text of a stream that cannot grow, and of a load from a file that runs out of memory.
inline constexpr const char* OutOfMemoryText =
    "Plus de mémoire lors de l'expansion du flux mémoire";

// Files larger than this are refused before they are read: a song is far smaller, and reading a
// huge file into memory whole would only exhaust it.
inline constexpr std::uint64_t MaxLoadedFileSize = std::uint64_t{1} << 30;

// A growable in-memory byte buffer with a read/write position. A read at the end of the data
// delivers nothing and leaves the destination unchanged; a write grows the buffer as needed.
// Files are always read and written whole through it.
class ByteStream {
public:
    ByteStream() = default;
    explicit ByteStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}

    // Copies up to n bytes from the position into dst and advances by the number copied.
    std::size_t Read(void* dst, std::size_t n);

    // Reads one byte into b; at the end of the data returns false and leaves b as it was.
    bool ReadByte(std::uint8_t& b) {
        if (position_ >= data_.size())
            return false;
        b = data_[position_++];
        return true;
    }

    // Stores n bytes at the position, growing the stream, and advances the position.
    // Throws Error("Plus de mémoire lors de l'expansion du flux mémoire") when memory runs out.
    void Write(const void* src, std::size_t n);
    void WriteByte(std::uint8_t b) {
        if (position_ < data_.size()) {
            data_[position_++] = b;
            return;
        }
        Append(b);
    }

    std::size_t Size() const { return data_.size(); }
    std::size_t Position() const { return position_; }
    // Positions beyond the end are allowed; reads there deliver nothing.
    void Seek(std::size_t position) { position_ = position; }
    bool AtEnd() const { return position_ >= data_.size(); }

    const std::vector<std::uint8_t>& Bytes() const { return data_; }
    void Reserve(std::size_t n);

    // Replaces the content with the whole file and sets the position to 0; `loaded`, when
    // given, receives the identity of the file read. Only a regular file is read, and it is
    // opened without waiting (a FIFO or a device never is). Throws
    // Error("Impossible d'ouvrir le fichier <name>") when it cannot be opened or is no regular
    // file, Error("Impossible de lire le fichier <name> : il dépasse 1 Go") when it is larger
    // than MaxLoadedFileSize, before reading it, and Error(OutOfMemoryText) when memory runs out.
    void LoadFromFile(const std::string& fileName, FileIdentity* loaded = nullptr);

    // Writes the whole content to the file, as ReplaceFileContent does (util/FileReplace.h): a
    // failure never leaves a half-written file in place of the old one where the file can be
    // replaced, and a file that must keep its inode, owner or links is rewritten in place.
    // Throws Error("Impossible de créer le fichier <name>") when the file cannot be created or
    // may not be written, and Error("Erreur d'écriture du fichier <name>") when writing fails.
    void SaveToFile(const std::string& fileName) const;

private:
    void Append(std::uint8_t b);

    std::vector<std::uint8_t> data_;
    std::size_t position_ = 0;
};

// Why LoadFromFile cannot read the file, in the words of its errors with the reason added
// ("Impossible d'ouvrir le fichier <name> : il n'existe pas.", "... : c'est un dossier.",
// "... : ce n'est pas un fichier ordinaire.", "... : l'accès en est refusé.", or the text of a
// file above 1 GiB); "" when nothing keeps it from being read.
std::string UnreadableFileText(const std::string& fileName);

} // namespace kadrel
