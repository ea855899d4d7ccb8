#pragma once

#include "disasm/ListingWalk.h" // WalkListing, the checked walk alone

#include <cstdint>
#include <span>
#include <string>

namespace kadrel {

class ListingWriter;

// Which walk a listing runs.
enum class ListingWalkKind {
    Checked, // the walk that stops at the first byte it does not expect
    Full,    // kadrel-disasm --all: every byte of every chunk
};

// Reads the whole file SourcePath, then writes the annotated byte-by-byte listing of the source
// as a Standard MIDI File into ListingPath, lines ending with CR LF. A problem found in the
// source is the listing's last line, not an error. The listing replaces the file ListingPath as
// a save does (FileReplacement): only once it is complete, so that a failure leaves an old
// file whole and no listing cut short. Throws Error before anything is written when the source
// cannot be read (the errors of ByteStream::LoadFromFile) and when ListingPath names the source
// itself, through any link ("Le fichier <ListingPath> est le fichier source : il ne peut pas
// recevoir son désassemblage"); Error("Impossible de créer le fichier <ListingPath>") at once
// when the listing's place is no regular file (a FIFO, a device, a folder) or cannot take a
// file, and the errors of FileReplacement::Commit. Returns false, with nothing written, when
// the listing could not be written whole (a full disk); true once it is in place. walk chooses
// the checked walk or the full one of --all.
bool Disassemble(const std::string& SourcePath, const std::string& ListingPath,
                 ListingWalkKind walk = ListingWalkKind::Checked);

// The same listing of the bytes `source`, kept in memory; the heading names sourceName.
std::string DisassembleToString(std::span<const std::uint8_t> source, const std::string& sourceName,
                                ListingWalkKind walk = ListingWalkKind::Checked);

// The three heading lines naming the source.
void WriteListingHeading(ListingWriter& out, const std::string& sourceName);

} // namespace kadrel
