#pragma once

#include "song/Song.h"

#include <cstdint>
#include <vector>

namespace kadrel {

// When each tick of a song sounds. A song of division 16 without tempo events (every song made
// in Kadrel) plays at 30 ms a tick. Any other follows its tempo events, of every track: 500,000
// us per quarter note before the first; a time-code division counts real time (29 frames a
// second meaning 29.97) and has no tempo.
class TempoMap {
public:
    explicit TempoMap(const Song& song);

    // 30 ms a tick, as Kadrel has always played its songs.
    bool Stepped() const { return stepped_; }

    // Microseconds from the start of the song to a tick (rounded down).
    std::int64_t Microseconds(std::int64_t tick) const { return Time(tick, 1); }
    // Microseconds to grid position p (16 to the quarter note), which can fall between ticks.
    std::int64_t GridMicroseconds(std::int64_t position) const;
    // The grid position that the music has reached at a time (rounded down); the inverse of
    // GridMicroseconds.
    std::int64_t GridPositionAt(std::int64_t microseconds) const;

    // The tempo events, in microseconds per quarter note, as (tick, tempo), by tick.
    struct Change {
        std::int64_t Tick;
        std::int64_t Tempo;
    };
    const std::vector<Change>& Tempos() const { return tempos_; }

    static constexpr std::int64_t DefaultTempo = 500000;
    static constexpr std::int64_t StepMicroseconds = 30000;

private:
    // From a segment's start on, time * scale_ grows by Rate a tick.
    struct Segment {
        std::int64_t Tick;
        __int128 Start; // time * scale_ at Tick
        std::int64_t Rate;
    };

    // Microseconds to the tick num / den.
    std::int64_t Time(std::int64_t num, std::int64_t den) const;

    std::vector<Change> tempos_;
    std::vector<Segment> segments_;
    std::int64_t scale_ = 1;
    std::int64_t halfNote_ = 32; // ticks in two quarter notes (a second for a time code)
    bool stepped_ = false;
};

// A time signature on the score: from grid position Position on, measures of MeasureLength
// grid positions (16 to the quarter note: 4/4 is 64, 3/4 and 6/8 are 48, 7/8 is 56).
struct MeterChange {
    std::int64_t Position;
    std::int32_t MeasureLength;

    bool operator==(const MeterChange&) const = default;
};

// The song's time signatures by position, the first at 0 (4/4, 64, until the first event).
std::vector<MeterChange> MeterChanges(const Song& song);

} // namespace kadrel
