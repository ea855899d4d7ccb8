#pragma once

#include "midi/SmfReader.h"
#include "song/Song.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrel {

// The kinds of events that the song cannot hold, counted by the import.
enum class DroppedKind : std::uint8_t {
    Controllers,
    PitchBends,
    KeyPressures,
    ChannelPressures,
    SysEx,
    ProgramChanges, // those that are not a row's instrument
    TempoChanges,
    MetaEvents, // other than the track name used and the end of track
};
inline constexpr std::size_t DroppedKindCount = 8;

struct DroppedCounts {
    std::array<std::uint64_t, DroppedKindCount> Counts{};

    std::uint64_t& operator[](DroppedKind kind) { return Counts[static_cast<std::size_t>(kind)]; }
    std::uint64_t operator[](DroppedKind kind) const {
        return Counts[static_cast<std::size_t>(kind)];
    }
    bool Any() const {
        for (std::uint64_t n : Counts)
            if (n != 0)
                return true;
        return false;
    }
};

// A song made from a file read by the tolerant reader.
struct TolerantImport {
    std::vector<SongTrack> Tracks; // the rows, in order (channels 0..15); a note's Track is an
                                   // index here
    NoteList Notes;
    DroppedCounts Dropped;
};

// Builds the song of a file:
// - rows: tracks in file order; in each, one row per channel that has a note-on of velocity
//   above 0 there, channels ascending. The name is the track's first track-name text (UTF-8
//   when valid, else read as Latin-1, and always given as UTF-8). The program is that of the last
//   program change on the row's channel, in any track, before the row's first note-on in the order
//   (tick, track, event index); else of the first one on that channel in that order; else 0.
// - notes: a note-on of velocity above 0 opens a note, appended track by track in event order;
//   a note-off or a note-on of velocity 0 closes the oldest open note of its channel and number
//   in the same track (length at least 1); a note left open ends at the track's last event; a
//   close with nothing open is ignored.
// - positions: a tick of division D becomes (tick * 16 + D div 2) div D; of a time-code division
//   (frames f, ticks per frame t, r = f * t), (tick * 1000 + r * 15) div (r * 30). No note
//   starts after 2^31 - 1 or ends beyond it: one that would is moved back or shortened.
TolerantImport ImportSmf(const SmfFile& file);

// Reads the file whole and imports it. Throws Error when it cannot be read and SmfReadError when
// the tolerant reader refuses it.
TolerantImport ImportMidiFile(const std::string& path);

// The song position of an absolute tick of a file with the given division (not 0).
std::int32_t ImportPosition(std::uint64_t tick, std::uint16_t division);

} // namespace kadrel
