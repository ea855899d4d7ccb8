#include "partition/MeasureMap.h"

#include <algorithm>

namespace kadrel {

void MeasureMap::Set(std::int32_t uniformLen, const std::vector<TMeasureChange>& changes) {
    std::vector<TMeasureChange> kept;
    for (const TMeasureChange& c : changes) {
        if (c.Len >= 1 && c.Pos >= 0)
            kept.push_back(c);
    }
    std::stable_sort(
        kept.begin(), kept.end(),
        [](const TMeasureChange& a, const TMeasureChange& b) { return a.Pos < b.Pos; });

    segments_.clear();
    if (kept.empty() || kept.front().Pos > 0) {
        // Before the first change, the song's stretch has the uniform length; without one it
        // is a single measure.
        const std::int64_t len = uniformLen >= 1 ? uniformLen
                                 : kept.empty()  ? 0
                                                 : std::int64_t{kept.front().Pos};
        if (len >= 1)
            segments_.push_back({0, len, 0});
    }
    for (const TMeasureChange& c : kept) {
        if (!segments_.empty() && segments_.back().Start == c.Pos) {
            segments_.back().Len = c.Len;
            continue;
        }
        std::int64_t first = 0;
        if (!segments_.empty()) {
            const Segment& last = segments_.back();
            first = last.FirstMeasure + (c.Pos - last.Start + last.Len - 1) / last.Len;
        }
        segments_.push_back({c.Pos, c.Len, first});
    }

    shortest_ = 0;
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        std::int64_t len = segments_[i].Len;
        // A measure cut short by the next change counts too.
        if (i + 1 < segments_.size()) {
            const std::int64_t rest = (segments_[i + 1].Start - segments_[i].Start) % len;
            if (rest != 0)
                len = rest;
        }
        shortest_ = shortest_ == 0 ? len : std::min(shortest_, len);
    }
}

std::int64_t MeasureMap::Start(std::int64_t measure) const {
    if (segments_.empty() || measure <= 0)
        return 0;
    const auto it =
        std::upper_bound(segments_.begin(), segments_.end(), measure,
                         [](std::int64_t m, const Segment& s) { return m < s.FirstMeasure; });
    const Segment& s = *std::prev(it);
    return s.Start + (measure - s.FirstMeasure) * s.Len;
}

std::int64_t MeasureMap::At(std::int64_t pos) const {
    if (segments_.empty() || pos <= 0)
        return 0;
    const auto it = std::upper_bound(segments_.begin(), segments_.end(), pos,
                                     [](std::int64_t p, const Segment& s) { return p < s.Start; });
    const Segment& s = *std::prev(it);
    return s.FirstMeasure + (pos - s.Start) / s.Len;
}

} // namespace kadrel
