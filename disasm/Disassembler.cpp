#include "disasm/Disassembler.h"

#include "disasm/FullListingWalk.h"
#include "disasm/ListingLines.h"
#include "disasm/ListingWriter.h"
#include "midi/ByteStream.h"
#include "util/Error.h"
#include "util/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
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

    // Closes the file; false when the system reports that what was written did not all reach it.
    bool Close() { return fd_.Close(); }

private:
    FileDescriptor fd_;
};

// Blocks of 1 MiB keep the system calls few without holding much memory.
constexpr std::size_t FileBlockSize = std::size_t{1} << 20;

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

[[noreturn]] void ThrowListingIsTheSource(const std::string& ListingPath) {
    throw Error("Le fichier " + ListingPath +
                " est le fichier source : il ne peut pas recevoir son désassemblage");
}

// The listing must not be the source under another name (the same path, a hard link, a
// symbolic link): writing it would destroy the very file it lists. Checked before the listing is
// opened, so that nothing is touched, and again on the file opened, in case it changed meanwhile.
void RefuseTheSourceByName(const std::string& ListingPath, const FileIdentity& source) {
    struct stat st {};
    if (::stat(ListingPath.c_str(), &st) == 0 && IdentityOf(st) == source)
        ThrowListingIsTheSource(ListingPath);
}

// Opens (or creates) the listing without emptying it, refuses it when it is the source, and
// only then empties it. A listing that is no regular file (a terminal, a pipe) is written as is.
int OpenListing(const std::string& ListingPath, const FileIdentity& source) {
    RefuseTheSourceByName(ListingPath, source);
    FileDescriptor fd(::open(ListingPath.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0)
        throw Error("Impossible de créer le fichier " + ListingPath);
    if (IdentityOf(st) == source)
        ThrowListingIsTheSource(ListingPath);
    if (S_ISREG(st.st_mode) && ::ftruncate(fd.Get(), 0) != 0)
        throw Error("Impossible de créer le fichier " + ListingPath);
    return fd.Release();
}

void RunListingWalk(ListingWalkKind walk, std::span<const std::uint8_t> source,
                    ListingWriter& out) {
    if (walk == ListingWalkKind::Full)
        WalkFullListing(source, out);
    else
        WalkListing(source, out);
}

} // namespace

void WriteListingHeading(ListingWriter& out, const std::string& sourceName) {
    HeadingLines(out, sourceName);
}

bool Disassemble(const std::string& SourcePath, const std::string& ListingPath,
                 ListingWalkKind walk) {
    // The source is read whole first, so that a source that cannot be read leaves no listing
    // behind.
    ByteStream source;
    FileIdentity sourceFile;
    source.LoadFromFile(SourcePath, &sourceFile);

    FileListingSink sink(OpenListing(ListingPath, sourceFile));
    ListingWriter out(sink, FileBlockSize);
    try {
        WriteListingHeading(out, SourcePath);
        out.Flush();
    } catch (const ListingWriteFailed&) {
        throw Error("Erreur d'écriture du fichier " + ListingPath);
    }

    // From here on a failed write only ends the listing early: the lines written so far are
    // what the user gets, as with a problem found in the source. The caller learns of it.
    bool complete = true;
    try {
        RunListingWalk(walk, source.Bytes(), out);
        out.Flush();
    } catch (const ListingWriteFailed&) {
        complete = false;
    }
    return sink.Close() && complete;
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
