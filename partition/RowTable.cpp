#include "partition/RowTable.h"

#include <array>

namespace kadrel {

namespace {

constexpr int LowestNote = 36;
constexpr int HighestNote = 82;
constexpr int NoteCount = 128;

constexpr bool IsSharpPitch(int noteNum) {
    switch (noteNum % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

constexpr std::array<std::uint8_t, FullRowCount> NaturalNotes = [] {
    std::array<std::uint8_t, FullRowCount> naturals{};
    int row = 0;
    for (int n = NoteCount - 1; n >= 0; --n) {
        if (!IsSharpPitch(n))
            naturals[row++] = static_cast<std::uint8_t>(n);
    }
    return naturals;
}();

// Looked up for every note at every paint, hence a table rather than a search.
constexpr std::array<std::int8_t, NoteCount> FullRowByNote = [] {
    std::array<std::int8_t, NoteCount> rows{};
    for (int n = 0; n < NoteCount; ++n) {
        const int natural = IsSharpPitch(n) ? n - 1 : n;
        for (int row = 0; row < FullRowCount; ++row) {
            if (NaturalNotes[row] == natural)
                rows[n] = static_cast<std::int8_t>(row);
        }
    }
    return rows;
}();

static_assert(NaturalNotes[StaffTopFullRow] == 81 && NaturalNotes[StaffTopFullRow + 26] == 36);

} // namespace

int RowOfNote(int noteNum) {
    if (noteNum < LowestNote || noteNum > HighestNote)
        return -1;
    return FullRowByNote[noteNum] - StaffTopFullRow;
}

std::uint8_t NaturalNoteOfRow(int row) {
    return NaturalNotes[row + StaffTopFullRow];
}

int RowTop(int row, int interWidth) {
    return row * interWidth / 2;
}

bool IsSharp(int noteNum) {
    return noteNum >= 0 && IsSharpPitch(noteNum);
}

std::int64_t BandAtY(std::int32_t y, int interWidth) {
    if (y <= 0 || interWidth <= 0)
        return -1;
    // k*IW < 2y <= (k+1)*IW, kept in integers by doubling both sides.
    return (2 * static_cast<std::int64_t>(y) - 1) / interWidth;
}

std::uint8_t NaturalNoteAtY(std::int32_t y, int interWidth) {
    const std::int64_t row = BandAtY(y, interWidth);
    if (row < 0 || row >= RowCount)
        return 0;
    return NaturalNoteOfRow(static_cast<int>(row));
}

int FullRowOfNote(int noteNum) {
    if (noteNum < 0 || noteNum >= NoteCount)
        return -1;
    return FullRowByNote[noteNum];
}

std::uint8_t NaturalNoteOfFullRow(int fullRow) {
    return NaturalNotes[fullRow];
}

} // namespace kadrel
