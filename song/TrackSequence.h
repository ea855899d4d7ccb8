#pragma once

#include "song/Song.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kadrel {

// One event of a file track in the order it is written and played.
struct SequencedEvent {
    enum Kind : std::uint8_t { Kept, NoteStart, NoteFinish };

    std::int64_t Tick;
    std::uint32_t Index; // into the file track's Events (Kept), else into the song's Notes
    Kind What;
};

// The notes of each file track of an imported song, as places in the song's notes, in list
// order. Notes of a row that does not exist, or whose file track does not, belong to none.
class NotesByFileTrack {
public:
    explicit NotesByFileTrack(const Song& song);
    std::span<const std::uint32_t> Of(std::size_t fileTrack) const {
        return {indices_.data() + starts_[fileTrack], indices_.data() + starts_[fileTrack + 1]};
    }

private:
    std::vector<std::uint32_t> starts_; // where each file track's notes begin in indices_
    std::vector<std::uint32_t> indices_;
};

// The events of a file track of an imported song, its notes being those given: by tick, and
// within one tick the events added in Kadrel, then the ends of the notes added or changed (in
// list order), then the events and notes kept as they were (in their file order), then the
// starts of the notes added or changed (in list order). So an unchanged song gives back its
// file's order, and no note is cut at its start by an edited neighbour's end. Positions before
// 0 are not part of the song and are left out; a note that never ends has no end.
std::vector<SequencedEvent> FileTrackSequence(const Song& song, std::size_t fileTrack,
                                              std::span<const std::uint32_t> notes);

} // namespace kadrel
