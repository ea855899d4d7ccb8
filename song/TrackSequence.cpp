#include "song/TrackSequence.h"

#include <algorithm>
#include <limits>

namespace kadrel {

namespace {

constexpr std::uint32_t Empty = std::numeric_limits<std::uint32_t>::max();

bool ByTick(const SequencedEvent& a, const SequencedEvent& b) {
    return a.Tick < b.Tick;
}

} // namespace

NotesByFileTrack::NotesByFileTrack(const Song& song) : starts_(song.FileTracks.size() + 2, 0) {
    const auto fileTrackOf = [&](const TMidiNote& note) -> std::size_t {
        if (note.Track >= song.Tracks.size())
            return song.FileTracks.size();
        return std::min<std::size_t>(song.Tracks[note.Track].FileTrack, song.FileTracks.size());
    };
    // Counted, then placed: one array for every track instead of a vector each.
    for (const TMidiNote& note : song.Notes)
        ++starts_[fileTrackOf(note) + 2];
    for (std::size_t f = 2; f < starts_.size(); ++f)
        starts_[f] += starts_[f - 1];
    indices_.resize(song.Notes.size());
    for (std::size_t i = 0; i < song.Notes.size(); ++i)
        indices_[starts_[fileTrackOf(song.Notes[i]) + 1]++] = static_cast<std::uint32_t>(i);
    starts_.pop_back();
}

std::vector<SequencedEvent> FileTrackSequence(const Song& song, std::size_t fileTrack,
                                              std::span<const std::uint32_t> notes) {
    const FileTrack& track = song.FileTracks[fileTrack];

    // What stands as it was goes to the place its order gives it; an order met twice (a copy)
    // or beyond the track's is treated as edited.
    std::vector<std::uint32_t> slots(track.NextOrder, Empty);
    std::vector<SequencedEvent> added;
    std::vector<SequencedEvent> editedEnds;
    std::vector<SequencedEvent> editedStarts;
    const auto place = [&](std::uint32_t order, SequencedEvent event) {
        if (order < slots.size() && slots[order] == Empty) {
            slots[order] = event.Index << 2 | event.What;
            return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < track.Events.size(); ++i) {
        const KeptEvent& e = track.Events[i];
        const SequencedEvent event{e.Tick, static_cast<std::uint32_t>(i), SequencedEvent::Kept};
        if (e.Tick < 0)
            continue;
        if ((e.Flags & KeptEvent::Added) != 0 || !place(e.Order, event))
            added.push_back(event);
    }
    for (const std::uint32_t n : notes) {
        const TMidiNote& note = song.Notes[n];
        if (note.Pos >= 0) {
            const SequencedEvent start{note.Pos, n, SequencedEvent::NoteStart};
            if (!place(note.StartOrder, start))
                editedStarts.push_back(start);
        }
        if (note.End != NoteEnd::Never && note.EndPos() >= 0) {
            const SequencedEvent end{note.EndPos(), n, SequencedEvent::NoteFinish};
            if (!place(note.EndOrder, end))
                editedEnds.push_back(end);
        }
    }

    std::vector<SequencedEvent> kept;
    kept.reserve(track.Events.size() + 2 * notes.size() - editedEnds.size() - editedStarts.size());
    for (const std::uint32_t slot : slots) {
        if (slot == Empty)
            continue;
        const std::uint32_t index = slot >> 2;
        const auto what = static_cast<SequencedEvent::Kind>(slot & 3);
        std::int64_t tick = 0;
        if (what == SequencedEvent::Kept)
            tick = track.Events[index].Tick;
        else if (what == SequencedEvent::NoteStart)
            tick = song.Notes[index].Pos;
        else
            tick = song.Notes[index].EndPos();
        kept.push_back({tick, index, what});
    }
    // In file order the ticks never go back; only a song changed behind its orders' back
    // could, and then time decides.
    if (!std::is_sorted(kept.begin(), kept.end(), ByTick))
        std::stable_sort(kept.begin(), kept.end(), ByTick);
    // A track as it was read has nothing else to merge.
    if (added.empty() && editedEnds.empty() && editedStarts.empty())
        return kept;
    std::stable_sort(added.begin(), added.end(), ByTick);
    std::stable_sort(editedEnds.begin(), editedEnds.end(), ByTick);
    std::stable_sort(editedStarts.begin(), editedStarts.end(), ByTick);

    // Four sorted runs merged by tick; within a tick, the runs in this order.
    const std::vector<SequencedEvent>* runs[] = {&added, &editedEnds, &kept, &editedStarts};
    std::size_t next[4] = {0, 0, 0, 0};
    std::vector<SequencedEvent> sequence;
    sequence.reserve(added.size() + editedEnds.size() + kept.size() + editedStarts.size());
    for (;;) {
        int best = -1;
        for (int r = 0; r < 4; ++r) {
            if (next[r] == runs[r]->size())
                continue;
            if (best < 0 || (*runs[r])[next[r]].Tick < (*runs[best])[next[best]].Tick)
                best = r;
        }
        if (best < 0)
            break;
        sequence.push_back((*runs[best])[next[best]++]);
    }
    return sequence;
}

} // namespace kadrel
