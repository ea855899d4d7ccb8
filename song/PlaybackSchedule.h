#pragma once

#include "song/Song.h"

#include <cstdint>
#include <vector>

namespace kadrel {

// Every position of the song lasts this long when it plays, whatever the file's tempo.
inline constexpr std::int64_t PlaybackStepMs = 30;

// What one step of playback sends for one position: first the note-offs of the notes that end
// there, then the note-ons of the notes that start there, each in the notes' list order, so
// that a note ending where another of the same number begins is ended first.
struct PlaybackStep {
    std::vector<const TMidiNote*> Offs;
    std::vector<const TMidiNote*> Ons;
};

// Fills step with what the position sends. Reads the notes as they are now: playback calls it
// at every step, so that notes edited meanwhile play from the next step on.
void CollectPlaybackStep(const NoteList& notes, std::int64_t position, PlaybackStep& step);

// When the step that handles position q begins, in ms after the start of a playback started at
// position `from` (the first step handles from - 1, at once).
inline std::int64_t PlaybackStepTimeMs(std::int64_t q, std::int64_t from) {
    return (q - from + 1) * PlaybackStepMs;
}

// The whole song played from position `from`, computed once, for playing it without a loop
// (the WAV export). It holds exactly what the steps from from - 1 on would send, in order.
class PlaybackSchedule {
public:
    struct Event {
        std::int64_t Position; // the position whose step sends it
        bool On;               // note-on (velocity 127) or note-off
        const TMidiNote* Note;
    };

    explicit PlaybackSchedule(const NoteList& notes, std::int64_t from = 0);

    // By position; within one position the offs before the ons, each in list order.
    const std::vector<Event>& Events() const { return events_; }
    std::int64_t From() const { return from_; }

private:
    std::vector<Event> events_;
    std::int64_t from_;
};

} // namespace kadrel
