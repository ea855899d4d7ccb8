#pragma once

#include "song/Song.h"

#include <cstdint>

namespace kadrel {

// The score shows every song at 16 grid positions per quarter note, whatever the song's
// division, so that a file at 480 ticks per quarter note looks like the same music made in
// Kadrel. A time-code division has no quarter note: the score takes half a second for one (the
// quarter note of the default tempo).

// The grid position where a tick of a song of that division lies: tick * 16 / D, rounded down
// (also below 0).
std::int64_t GridPosition(std::int64_t tick, std::uint16_t division);

// The tick of a new note at grid position p: (p * D + 8) div 16. At D = 16 it is p.
std::int64_t GridTick(std::int64_t position, std::uint16_t division);

// The first tick at or after grid position p, where playing from p starts: p * D / 16 rounded up.
std::int64_t GridStartTick(std::int64_t position, std::uint16_t division);

// The pixel of the unscrolled score where a tick is drawn, with pixelsPerPosition pixels to a
// grid position: tick * 16 * pixelsPerPosition / D, rounded down.
std::int64_t ScorePixel(std::int64_t tick, std::uint16_t division, int pixelsPerPosition);

// How many ticks a drag of whole grid steps moves notes: the distance between the grid positions
// of the grabbed note (at anchorTick) and the one steps further. Every note of the drag moves by
// the same ticks, so notes keep their distances and their offsets from the grid (a swung note
// stays swung); at D = 16 it is steps.
std::int64_t DragTicks(std::int64_t anchorTick, std::int64_t steps, std::uint16_t division);

// A tick of one division at another, rounded to the nearest (halves up). To Kadrel's division
// 16 from a time-code division, a position is 30 ms, as Kadrel plays its songs.
std::int64_t ConvertTicks(std::int64_t tick, std::uint16_t from, std::uint16_t to);

// The velocity of a note added at tick to a row: 127 in a song that keeps no file (Kadrel's
// own, which plays and saves every note at 127); in an imported song, that of the row's note
// that starts last before tick (the last in the list among equals), else 100.
std::uint8_t NewNoteVelocity(const Song& song, std::uint32_t row, std::int64_t tick);

// The velocity of a new note in an imported song whose row has no note before it.
inline constexpr std::uint8_t DefaultVelocity = 100;

} // namespace kadrel
