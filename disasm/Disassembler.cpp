#include "disasm/Disassembler.h"

#include "disasm/FullListingWalk.h"
#include "disasm/ListingLines.h"
#include "disasm/ListingWriter.h"
#include "midi/ByteStream.h"
#include "util/Error.h"
#include "util/FileIdentity.h"
#include "util/FileReplace.h"

namespace kadrel {

namespace {

// Hands the listing to the replacement of the listing file, one big block at a time.
class ReplacementListingSink : public ListingSink {
public:
    explicit ReplacementListingSink(FileReplacement& file) : file_(file) {}

    bool Write(const char* bytes, std::size_t count) override { return file_.Write(bytes, count); }

private:
    FileReplacement& file_;
};

// Blocks of 1 MiB keep the system calls few without holding much memory.
constexpr std::size_t FileBlockSize = std::size_t{1} << 20;

// The listing must not be the source under another name (the same path, a hard link, a
// symbolic link): it would take the place of the very file it lists. Checked before anything
// is made, and again before the listing takes its place, in case the name changed meanwhile.
void RefuseTheSource(const std::string& ListingPath, const FileIdentity& source) {
    if (IdentityOfFile(ListingPath) == source)
        throw Error("Le fichier ", ListingPath,
                    " est le fichier source : il ne peut pas recevoir son désassemblage");
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
    RefuseTheSource(ListingPath, sourceFile);

    // The listing is written as a save is: beside the old file, which it replaces only once it
    // is complete, so that a full disk leaves the old file whole and nothing cut short.
    FileReplacement listing(ListingPath);
    ReplacementListingSink sink(listing);
    ListingWriter out(sink, FileBlockSize);
    try {
        WriteListingHeading(out, SourcePath);
        RunListingWalk(walk, source.Bytes(), out);
        out.Flush();
    } catch (const ListingWriteFailed&) {
        return false;
    }
    RefuseTheSource(ListingPath, sourceFile);
    listing.Commit();
    return true;
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
