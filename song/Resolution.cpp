#include "song/Resolution.h"

#include "song/TolerantImport.h"

namespace kadrel {

namespace {

// Ticks in two quarter notes (a second of a time-code division), which keeps every division a
// whole number: 2 * D, or frames per second * ticks per frame (30 for 29.97).
std::int64_t HalfNoteTicks(std::uint16_t division) {
    if ((division & 0x8000) == 0)
        return std::int64_t{2} * division;
    std::int64_t frames = 256 - (division >> 8);
    if (frames == 29)
        frames = 30;
    return frames * (division & 0xFF);
}

// a div b rounded down, for b > 0 and any a.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

} // namespace

std::int64_t GridPosition(std::int64_t tick, std::uint16_t division) {
    return FloorDiv(tick * 32, HalfNoteTicks(division));
}

std::int64_t GridTick(std::int64_t position, std::uint16_t division) {
    return FloorDiv(position * HalfNoteTicks(division) + 16, 32);
}

std::int64_t GridStartTick(std::int64_t position, std::uint16_t division) {
    return -FloorDiv(-position * HalfNoteTicks(division), 32);
}

std::int64_t ScorePixel(std::int64_t tick, std::uint16_t division, int pixelsPerPosition) {
    return FloorDiv(tick * 32 * pixelsPerPosition, HalfNoteTicks(division));
}

std::int64_t DragTicks(std::int64_t anchorTick, std::int64_t steps, std::uint16_t division) {
    const std::int64_t from = GridPosition(anchorTick, division);
    return GridTick(from + steps, division) - GridTick(from, division);
}

std::int64_t ConvertTicks(std::int64_t tick, std::uint16_t from, std::uint16_t to) {
    if (from == to)
        return tick;
    if (to == KadrelDivision && (from & 0x8000) != 0 && tick >= 0)
        return ImportPosition(static_cast<std::uint64_t>(tick), from);
    const std::int64_t h = HalfNoteTicks(from);
    return FloorDiv(2 * tick * HalfNoteTicks(to) + h, 2 * h);
}

std::uint8_t NewNoteVelocity(const Song& song, std::uint32_t row, std::int64_t tick) {
    if (!song.KeepsFile)
        return 127;
    const TMidiNote* last = nullptr;
    for (const TMidiNote& note : song.Notes)
        if (note.Track == row && note.Pos < tick && (last == nullptr || note.Pos >= last->Pos))
            last = &note;
    return last == nullptr ? DefaultVelocity : last->Velocity;
}

} // namespace kadrel
