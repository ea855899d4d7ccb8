#include "song/TempoMap.h"

#include "song/Resolution.h"

#include <algorithm>

namespace kadrel {

namespace {

constexpr std::uint8_t SetTempo = 0x51;
constexpr std::uint8_t TimeSignature = 0x58;

__int128 FloorDiv(__int128 a, __int128 b) {
    const __int128 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Every meta event of a type in the song, by tick (tracks in order within a tick), with its
// payload.
template <class F>
void ForEachMeta(const Song& song, std::uint8_t type, F&& f) {
    struct Found {
        std::int64_t tick;
        const std::uint8_t* data;
        std::uint32_t length;
    };
    std::vector<Found> found;
    for (const FileTrack& track : song.FileTracks)
        for (const KeptEvent& e : track.Events)
            if (e.Status == 0xFF && e.Data1 == type)
                found.push_back({e.Tick, track.Payloads.data() + e.PayloadOffset, e.PayloadLength});
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.tick < b.tick; });
    for (const Found& m : found)
        f(m.tick, m.data, m.length);
}

} // namespace

TempoMap::TempoMap(const Song& song) {
    const std::uint16_t division = song.Division;
    if ((division & 0x8000) != 0) {
        const std::int64_t frames = 256 - (division >> 8);
        const std::int64_t ticks = std::max(division & 0xFF, 1);
        // 29 frames a second is the 29.97 of colour television.
        scale_ = frames == 29 ? 30000 * ticks : frames * ticks;
        segments_.push_back({0, 0, frames == 29 ? 1001000000 : 1000000});
        halfNote_ = (frames == 29 ? 30 : frames) * ticks;
        return;
    }
    ForEachMeta(song, SetTempo, [&](std::int64_t tick, const std::uint8_t* data, std::uint32_t n) {
        if (n < 3 || tick < 0)
            return;
        const std::int64_t tempo = data[0] << 16 | data[1] << 8 | data[2];
        if (tempo > 0)
            tempos_.push_back({tick, tempo});
    });
    scale_ = std::max<std::int64_t>(division, 1);
    halfNote_ = 2 * scale_;
    stepped_ = division == KadrelDivision && tempos_.empty();
    if (stepped_) {
        scale_ = 1;
        segments_.push_back({0, 0, StepMicroseconds});
        return;
    }
    segments_.push_back({0, 0, DefaultTempo});
    for (const Change& change : tempos_) {
        const Segment& last = segments_.back();
        const __int128 start = last.Start + __int128{change.Tick - last.Tick} * last.Rate;
        if (change.Tick == last.Tick)
            segments_.back().Rate = change.Tempo;
        else
            segments_.push_back({change.Tick, start, change.Tempo});
    }
}

std::int64_t TempoMap::Time(std::int64_t num, std::int64_t den) const {
    // The last segment starting at or before the tick.
    auto segment = std::upper_bound(
        segments_.begin(), segments_.end(), num,
        [den](std::int64_t n, const Segment& s) { return __int128{n} < __int128{s.Tick} * den; });
    if (segment != segments_.begin())
        --segment;
    const __int128 scaled =
        segment->Start * den + (__int128{num} - __int128{segment->Tick} * den) * segment->Rate;
    return static_cast<std::int64_t>(FloorDiv(scaled, __int128{scale_} * den));
}

std::int64_t TempoMap::GridMicroseconds(std::int64_t position) const {
    // Grid position p is the tick p * halfNote / 32.
    return Time(position * halfNote_, 32);
}

std::int64_t TempoMap::GridPositionAt(std::int64_t microseconds) const {
    const __int128 scaled = __int128{microseconds} * scale_;
    auto segment =
        std::upper_bound(segments_.begin(), segments_.end(), scaled,
                         [](const __int128& t, const Segment& s) { return t < s.Start; });
    if (segment != segments_.begin())
        --segment;
    // The tick reached, segment->Tick + (scaled - Start) / Rate, times 32 / halfNote.
    const __int128 ticksTimesRate =
        __int128{segment->Tick} * segment->Rate + (scaled - segment->Start);
    return static_cast<std::int64_t>(
        FloorDiv(ticksTimesRate * 32, __int128{segment->Rate} * halfNote_));
}

std::vector<MeterChange> MeterChanges(const Song& song) {
    std::vector<MeterChange> changes = {{0, 64}};
    ForEachMeta(song, TimeSignature,
                [&](std::int64_t tick, const std::uint8_t* data, std::uint32_t n) {
                    if (n < 2 || data[0] == 0 || tick < 0)
                        return;
                    // A whole note is 64 positions; the denominator is a power of two.
                    const std::int64_t whole = std::int64_t{data[0]} * 64;
                    const auto length = static_cast<std::int32_t>(
                        std::clamp<std::int64_t>(data[1] < 32 ? whole >> data[1] : 0, 1, 1 << 20));
                    const std::int64_t position = GridPosition(tick, song.Division);
                    if (changes.back().Position == position)
                        changes.back().MeasureLength = length;
                    else if (changes.back().MeasureLength != length)
                        changes.push_back({position, length});
                });
    return changes;
}

} // namespace kadrel
