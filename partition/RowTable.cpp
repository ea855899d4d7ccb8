#include "partition/RowTable.h"

#include <array>

namespace kadrel {

namespace {

constexpr int LowestNote = 36;
constexpr int HighestNote = 82;

constexpr std::array<std::uint8_t, RowCount> NaturalNotes = {81, 79, 77, 76, 74, 72, 71, 69, 67,
                                                             65, 64, 62, 60, 59, 57, 55, 53, 52,
                                                             50, 48, 47, 45, 43, 41, 40, 38, 36};

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

// Looked up for every note at every paint, hence a table rather than a search.
constexpr std::array<std::int8_t, HighestNote - LowestNote + 1> RowByNote = [] {
    std::array<std::int8_t, HighestNote - LowestNote + 1> rows{};
    for (int n = LowestNote; n <= HighestNote; ++n) {
        const int natural = IsSharpPitch(n) ? n - 1 : n;
        for (int row = 0; row < RowCount; ++row) {
            if (NaturalNotes[row] == natural)
                rows[n - LowestNote] = static_cast<std::int8_t>(row);
        }
    }
    return rows;
}();

} // namespace

int RowOfNote(int noteNum) {
    if (noteNum < LowestNote || noteNum > HighestNote)
        return -1;
    return RowByNote[noteNum - LowestNote];
}

std::uint8_t NaturalNoteOfRow(int row) {
    return NaturalNotes[row];
}

int RowTop(int row, int interWidth) {
    return row * interWidth / 2;
}

bool IsSharp(int noteNum) {
    return noteNum >= 0 && IsSharpPitch(noteNum);
}

std::uint8_t NaturalNoteAtY(std::int32_t y, int interWidth) {
    if (y <= 0 || interWidth <= 0)
        return 0;
    // k*IW < 2y <= (k+1)*IW, kept in integers by doubling both sides.
    const std::int64_t row = (2 * static_cast<std::int64_t>(y) - 1) / interWidth;
    if (row >= RowCount)
        return 0;
    return NaturalNotes[static_cast<std::size_t>(row)];
}

} // namespace kadrel
