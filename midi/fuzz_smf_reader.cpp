// libFuzzer target: the tolerant reader over arbitrary bytes, and what is built on it. Beyond
// what the sanitizers catch, it checks that
// - what the reader reads, written back by the tests' small writer, reads the same;
// - the import keeps every note within the song (a position and an end up to 2^31 - 1, a
//   length of at least 0, a row that exists and has the note's channel);
// - the full listing (--all) shows every byte of the source once, in order.

#include "disasm/Disassembler.h"
#include "midi/SmfReader.h"
#include "song/TolerantImport.h"
#include "tests/core/ListingHex.h"
#include "tests/core/SmfWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckImport(const kadrel::SmfFile& file) {
    const kadrel::Song song = kadrel::ImportSmf(file).Content;
    for (const auto& note : song.Notes) {
        Require(note.Pos >= 0 && note.Len >= 0);
        Require(note.EndPos() <= std::numeric_limits<std::int32_t>::max());
        Require(note.NoteNum < 128 && note.Track < song.Tracks.size());
        Require(song.Tracks[note.Track].Channel == note.Channel);
    }
    for (const auto& track : song.Tracks)
        Require(track.Channel < 16 && track.Program < 128);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);

    const auto hex = kadrel::test::HexColumnBytes(
        kadrel::DisassembleToString(bytes, "fuzz.mid", kadrel::ListingWalkKind::Full));
    Require(hex.has_value() && *hex == std::vector<std::uint8_t>(data, data + size));

    kadrel::SmfFile first;
    try {
        first = kadrel::ReadSmf(bytes);
    } catch (const kadrel::SmfReadError& refused) {
        Require(refused.Offset() <= size);
        return 0;
    }
    const std::vector<std::uint8_t> written = kadrel::test::WriteSmf(first);
    const kadrel::SmfFile second = kadrel::ReadSmf(written);
    Require(kadrel::test::Describe(first) == kadrel::test::Describe(second));
    CheckImport(first);
    return 0;
}
