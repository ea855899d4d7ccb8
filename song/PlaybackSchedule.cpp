#include "song/PlaybackSchedule.h"

#include <algorithm>

namespace kadrel {

void CollectPlaybackStep(const NoteList& notes, std::int64_t position, PlaybackStep& step) {
    step.Offs.clear();
    step.Ons.clear();
    for (const auto& note : notes) {
        if (std::int64_t{note->Pos} + note->Len == position)
            step.Offs.push_back(note.get());
        if (note->Pos == position)
            step.Ons.push_back(note.get());
    }
}

PlaybackSchedule::PlaybackSchedule(const NoteList& notes, std::int64_t from) : from_(from) {
    // The first step handles from - 1: anything before it is never sent.
    const std::int64_t first = from - 1;
    events_.reserve(notes.size() * 2);
    for (const auto& note : notes) {
        const std::int64_t end = std::int64_t{note->Pos} + note->Len;
        if (end >= first)
            events_.push_back({end, false, note.get()});
        if (note->Pos >= first)
            events_.push_back({note->Pos, true, note.get()});
    }
    // Stable: within a position and a kind, the list order stays.
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        if (a.Position != b.Position)
            return a.Position < b.Position;
        return !a.On && b.On;
    });
}

} // namespace kadrel
