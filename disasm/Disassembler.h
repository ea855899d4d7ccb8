#pragma once

#include "disasm/FullListingWalk.h"

#include <cstdint>
#include <span>
#include <string>

namespace kadrel {

class ListingWriter;

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

// Walks source and writes its lines, up to and including the line that ends the walk. Throws
// ListingWriteFailed when the writer's sink refuses a block.
//
// Fields cut short by the end of the source show only the bytes that exist; the bytes missing
// from a field count as 0 in the value that the line shows. The next end test then stops the
// walk with "Unexpected end of file at offset #" and the size.
void WalkListing(std::span<const std::uint8_t> source, ListingWriter& out);

} // namespace kadrel
