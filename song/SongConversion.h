#pragma once

#include "midi/Midi.h"
#include "song/Song.h"

#include <cstdint>
#include <functional>

namespace kadrel {

// Sends a program change (channel, program) to the output as soon as the import meets one.
using ChangePatchSender = std::function<void(std::uint8_t channel, std::uint8_t program)>;

// Converts a file read into memory into tracks and notes, appended to the song's. One track per
// track chunk (name "", channel = the chunk's number in the file until a channel event says
// otherwise, program 0); every note-on becomes a note of length 16; a note-off gives the last
// note of its number (any track) its length, at least 1; a program change sets the track's
// program and is sent at once. A note-off with no note of its number is passed over; a program of
// 128 or more has no instrument, so the track keeps its own and nothing is sent; a note number of
// 128 or more (a malformed data byte) makes no note. Times beyond the last position a note can
// hold (2^31 - 1) stay there, and every note ends at that position at the latest: a note starting
// within 16 of it is shorter, one starting on it is moved back by one. If sending throws, the
// import stops there and the tracks and notes made so far stay.
void ImportSong(const TMidi& midi, Song& song, const ChangePatchSender& changePatch);

// Builds the file of a song: format 1, 16 ticks per quarter note, one track chunk per track
// holding a program change at time 0 and the note-ons (velocity 127) and note-offs of the
// track's notes, ordered by tick, then by the notes' order in the song, a note's off before its
// on. A channel of 16 or more writes its program change on that number modulo 16.
TMidi ExportSong(const Song& song);

} // namespace kadrel
