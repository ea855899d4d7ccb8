#include "disasm/Disassembler.h"

#include "disasm/ListingWriter.h"
#include "midi/ByteStream.h"
#include "util/Error.h"
#include "util/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

namespace kadrel {

namespace {

// Writes the listing straight to an open file, one big block at a time.
class FileListingSink : public ListingSink {
public:
    explicit FileListingSink(int fd) : fd_(fd) {}

    bool Write(const char* bytes, std::size_t count) override {
        return WriteAll(fd_.Get(), bytes, count);
    }

private:
    FileDescriptor fd_;
};

// Blocks of 1 MiB keep the system calls few without holding much memory.
constexpr std::size_t FileBlockSize = std::size_t{1} << 20;

} // namespace

void Disassemble(const std::string& SourcePath, const std::string& ListingPath,
                 ListingWalkKind walk) {
    // The source is read whole first, so that a source that cannot be read leaves no listing
    // behind, and a listing that replaces its own source still lists the original bytes.
    ByteStream source;
    source.LoadFromFile(SourcePath);

    const int fd = ::open(ListingPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw Error("Impossible de créer le fichier " + ListingPath);
    FileListingSink sink(fd);
    ListingWriter out(sink, FileBlockSize);
    try {
        WriteListingHeading(out, SourcePath);
        out.Flush();
    } catch (const ListingWriteFailed&) {
        throw Error("Erreur d'écriture du fichier " + ListingPath);
    }

    // From here on a failed write only ends the listing early: the lines written so far are
    // what the user gets, as with a problem found in the source.
    try {
        RunListingWalk(walk, source.Bytes(), out);
        out.Flush();
    } catch (const ListingWriteFailed&) {
    }
}

std::string DisassembleToString(std::span<const std::uint8_t> source, const std::string& sourceName,
                                ListingWalkKind walk) {
    StringListingSink sink;
    ListingWriter out(sink, std::size_t{64} << 10);
    WriteListingHeading(out, sourceName);
    RunListingWalk(walk, source, out);
    out.Flush();
    return std::move(sink.text);
}

} // namespace kadrel
