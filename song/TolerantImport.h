#pragma once

#include "midi/SmfReader.h"
#include "song/Song.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kadrel {

// A song made from a file read by the tolerant reader, and what the reader could not read.
struct TolerantImport {
    Song Content;
    std::vector<SmfDrop> Unread; // in file order; empty when the song holds the whole file
};

// Builds the song of a file as the file is: KeepsFile, the file's format and division (ticks are
// not scaled), one file track per track chunk with every event that is not one of its notes
// (tick, bytes, order, running status), the other chunks in their places.
// - rows: tracks in file order; in each, one row per channel that has a note-on of velocity
//   above 0 there, channels ascending. The name is the track's first track-name text (UTF-8
//   when valid, else read as Latin-1, and always given as UTF-8). The program is that of the last
//   program change on the row's channel, in any track, before the row's first note-on in the order
//   (tick, track, event index); else of the first one on that channel in that order; else 0. The
//   row records which program change that was.
// - notes: a note-on of velocity above 0 opens a note, appended track by track in event order;
//   a note-off or a note-on of velocity 0 closes the oldest open note of its channel and number
//   in the same track, which keeps how it ended; a close with nothing open is a kept event; a
//   note never closed ends nowhere (NoteEnd::Never) and lasts to its track's end.
// - a note that does not fit in the positions a note can hold (it starts or ends after
//   2^31 - 1) stays as two kept events, written back as they were.
// Throws Error(OutOfMemoryText) when memory runs out.
TolerantImport ImportSmf(const SmfFile& file);

// Reads the file whole and imports it; the song takes the file's name when nothing was left
// unread. Throws Error when it cannot be read or memory runs out, and SmfReadError when the
// tolerant reader refuses it.
TolerantImport ImportMidiFile(const std::string& path);

// The position at 16 per quarter note (at 30 ms each for a time-code division) of an absolute
// tick of a file with the given division (not 0), rounded to the nearest: (tick * 16 + D div 2)
// div D; of a time-code division (frames f, ticks per frame t, r = f * t),
// (tick * 1000 + r * 15) div (r * 30). At most 2^31 - 1.
std::int32_t ImportPosition(std::uint64_t tick, std::uint16_t division);

} // namespace kadrel
