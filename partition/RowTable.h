#pragma once

#include <cstdint>

namespace kadrel {

// The rows of the staff, from the top: one per natural note from 81 (row 0) down to 36 (row 26).
// A sharp shares the row of the natural note a semitone below it, and 82 shares the row of 81.
inline constexpr int RowCount = 27;

// Row 0..26 of a note number, or -1 for a note that has no row (below 36 or above 82).
int RowOfNote(int noteNum);

// The natural note number of a row 0..26.
std::uint8_t NaturalNoteOfRow(int row);

// Top pixel of a row when the staff lines are interWidth pixels apart: rows are half a spacing
// apart, and the half pixel of odd rows is dropped.
int RowTop(int row, int interWidth);

// True for the note numbers that are drawn as sharps (the black keys of a keyboard).
bool IsSharp(int noteNum);

// The natural note whose band holds y, or 0 when y lies above the first band or below the last.
// Band k holds k*interWidth/2 < y <= (k+1)*interWidth/2 in exact arithmetic, so that with an odd
// spacing the half pixels fall on the right side.
std::uint8_t NaturalNoteAtY(std::int32_t y, int interWidth);

// The band k of y as above, with no limit below; -1 for y <= 0.
std::int64_t BandAtY(std::int32_t y, int interWidth);

// Every MIDI note 0..127 has a row in the full table, which continues the staff's rows with the
// same spacing and the same rule for sharps: 127 is full row 0, 81 full row 27 (the staff's row
// 0), 36 full row 53 and 0 full row 74.
inline constexpr int FullRowCount = 75;
inline constexpr int StaffTopFullRow = 27;

// Full row 0..74 of a note number, or -1 above 127.
int FullRowOfNote(int noteNum);

// The natural note number of a full row 0..74.
std::uint8_t NaturalNoteOfFullRow(int fullRow);

} // namespace kadrel
