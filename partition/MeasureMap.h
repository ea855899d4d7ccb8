#pragma once

#include <cstdint>
#include <vector>

namespace kadrel {

// From Pos on, measures are Len positions long (a 3/4 or 6/8 bar at 16 positions per quarter
// note is 48). A change takes effect at its position even in the middle of a measure, which
// then ends there.
struct TMeasureChange {
    std::int32_t Pos = 0;
    std::int32_t Len = 0;

    bool operator==(const TMeasureChange&) const = default;
};

// Where the measures of a song start: uniform measures from position 0, then the changes. Measures
// are numbered from 0; positions before 0 belong to measure 0.
class MeasureMap {
public:
    // Changes with a length below 1 or a negative position are left out; of two at one position
    // the later one counts. The uniform length applies before the first change.
    void Set(std::int32_t uniformLen, const std::vector<TMeasureChange>& changes);

    // False when there are no measures at all: no change and a uniform length below 1.
    bool HasMeasures() const { return !segments_.empty(); }

    std::int64_t Start(std::int64_t measure) const;
    // The measure that holds a position.
    std::int64_t At(std::int64_t pos) const;
    std::int64_t Len(std::int64_t measure) const { return Start(measure + 1) - Start(measure); }
    // The shortest measure length anywhere in the song.
    std::int64_t Shortest() const { return shortest_; }

private:
    // A run of measures of one length, from a change to the next.
    struct Segment {
        std::int64_t Start;
        std::int64_t Len;
        std::int64_t FirstMeasure;
    };
    std::vector<Segment> segments_;
    std::int64_t shortest_ = 0;
};

} // namespace kadrel
