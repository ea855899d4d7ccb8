#include "song/PlaybackSchedule.h"

#include <algorithm>

namespace kadrel {

void CollectPlaybackStep(const NoteList& notes, std::int64_t position, PlaybackStep& step) {
    step.Offs.clear();
    step.Ons.clear();
    for (const TMidiNote& note : notes) {
        if (note.EndPos() == position)
            step.Offs.push_back(&note);
        if (note.Pos == position)
            step.Ons.push_back(&note);
    }
}

PlaybackSchedule::PlaybackSchedule(const NoteList& notes, std::int64_t from) : from_(from) {
    // The first step handles from - 1: anything before it is never sent.
    const std::int64_t first = from - 1;
    events_.reserve(notes.size() * 2);
    for (const TMidiNote& note : notes) {
        if (note.EndPos() >= first)
            events_.push_back({note.EndPos(), false, &note});
        if (note.Pos >= first)
            events_.push_back({note.Pos, true, &note});
    }
    // Stable: within a position and a kind, the list order stays.
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        if (a.Position != b.Position)
            return a.Position < b.Position;
        return !a.On && b.On;
    });
}

} // namespace kadrel
