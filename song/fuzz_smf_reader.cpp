// libFuzzer target: the tolerant reader over arbitrary bytes, and what is built on it. Beyond
// what the sanitizers catch, it checks that
// - what the reader reads, written back by WriteSmf, reads the same;
// - the import keeps every note within the song (a position and an end up to 2^31 - 1, a
//   length of at least 0, a row that exists and has the note's channel);
// - the full listing (--all) shows every byte of the source once, in order.

#include "disasm/Disassembler.h"
#include "disasm/ListingHex.h"
#include "midi/SmfReader.h"
#include "midi/SmfWriter.h"
#include "song/TolerantImport.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Everything a read keeps, payloads by content.
bool SameEvents(const kadrel::SmfFile& a, const kadrel::SmfFile& b) {
    if (a.Format != b.Format || a.Division != b.Division || a.Tracks.size() != b.Tracks.size())
        return false;
    for (std::size_t t = 0; t < a.Tracks.size(); ++t) {
        const auto& ta = a.Tracks[t];
        const auto& tb = b.Tracks[t];
        if (ta.Events.size() != tb.Events.size())
            return false;
        for (std::size_t i = 0; i < ta.Events.size(); ++i) {
            const kadrel::SmfEvent& ea = ta.Events[i];
            const kadrel::SmfEvent& eb = tb.Events[i];
            if (ea.Delta != eb.Delta || ea.Status != eb.Status || ea.Data1 != eb.Data1 ||
                ea.Data2 != eb.Data2 || ea.Flags != eb.Flags ||
                !std::ranges::equal(a.Payload(ta, ea), b.Payload(tb, eb)))
                return false;
        }
    }
    return true;
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

    const auto hex = kadrel::HexColumnBytes(
        kadrel::DisassembleToString(bytes, "fuzz.mid", kadrel::ListingWalkKind::Full));
    Require(hex.has_value() && *hex == std::vector<std::uint8_t>(data, data + size));

    kadrel::SmfFile first;
    try {
        first = kadrel::ReadSmf(bytes);
    } catch (const kadrel::SmfReadError& refused) {
        Require(refused.Offset() <= size);
        return 0;
    }
    const std::vector<std::uint8_t> written = kadrel::WriteSmf(first);
    const kadrel::SmfFile second = kadrel::ReadSmf(written);
    Require(SameEvents(first, second));
    CheckImport(first);
    return 0;
}
