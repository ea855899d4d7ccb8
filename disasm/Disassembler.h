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

// Reads the whole file SourcePath, then creates (or empties) ListingPath and writes the annotated
// byte-by-byte listing of the source as a Standard MIDI File into it, lines ending with CR LF.
// A problem found in the source is the listing's last line, not an error. Throws Error before
// the listing is created or touched when the source cannot be read (the errors of
// ByteStream::LoadFromFile) and when ListingPath names the source itself, through any link
// ("Le fichier <ListingPath> est le fichier source : il ne peut pas recevoir son
// désassemblage"); Error("Impossible de créer le fichier <ListingPath>") when the listing
// cannot be created and Error("Erreur d'écriture du fichier <ListingPath>") when its heading
// cannot be written. A write that fails later ends the listing where it stands without an
// error; the result then is false. True when the whole listing was written and closed. walk
// chooses the checked walk or the full one of --all.
bool Disassemble(const std::string& SourcePath, const std::string& ListingPath,
                 ListingWalkKind walk = ListingWalkKind::Checked);

// The same listing of the bytes `source`, kept in memory; the heading names sourceName.
std::string DisassembleToString(std::span<const std::uint8_t> source, const std::string& sourceName,
                                ListingWalkKind walk = ListingWalkKind::Checked);

// The three heading lines naming the source.
void WriteListingHeading(ListingWriter& out, const std::string& sourceName);

} // namespace kadrel
