#pragma once

#include "song/Song.h"
#include "song/TempoMap.h"

#include <cstdint>
#include <vector>

namespace kadrel {

// Every position of a song of Kadrel's own lasts this long when it plays.
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

// Everything that playing a song from a grid position sends, and when, computed once.
// - A stepped song (division 16, no tempo: Kadrel's own) keeps the steps: the messages of tick q
//   go out (q - from + 1) * 30 ms after the start (the first step handles from - 1, at once);
//   within a step the note-offs, then the kept channel events and sysex in file order, then the
//   note-ons, the notes in list order.
// - Any other song follows its tempo map from the first tick at or after the grid position,
//   each file track's events in the order it is saved in, the tracks in order within a tick.
// Notes go with their own velocity and end (127 and note-off 0 in a song of Kadrel's own); a
// note that never ends gets no note-off. Kept channel events (controllers, program changes,
// pitch bends, pressures) and sysex go at their time; meta events never. Starting anywhere but
// at the start, each channel first gets, at once, its state there: its last program change,
// the last value of each of its controllers and its pitch bend before that point, in the order
// the song has them.
class PlaybackSchedule {
public:
    struct Event {
        std::int64_t Position; // the song's tick of the event (the step that sends it)
        std::int64_t TimeUs;   // when it goes out, after the start of playback
        const TMidiNote* Note; // the note of a note-on or note-off; nullptr for other events
        const std::uint8_t* SysEx = nullptr; // a sysex's bytes after its length
        std::uint32_t SysExLength = 0;
        std::uint8_t Status = 0; // 0x80..0xEF, or 0xF0 / 0xF7 for a sysex
        std::uint8_t Data1 = 0;
        std::uint8_t Data2 = 0;
        bool On = false; // the note-on of Note

        bool IsSysEx() const { return Status >= 0xF0; }
        // The packed short message of a channel event: status, then the data bytes above it.
        std::uint32_t ShortMessage() const {
            return Status | std::uint32_t{Data1} << 8 | std::uint32_t{Data2} << 16;
        }
    };

    // The notes alone, as a stepped song plays them from position `from`.
    explicit PlaybackSchedule(const NoteList& notes, std::int64_t from = 0);
    // The whole song played from grid position `from`. Without the chase for a schedule made
    // again while playing (the song changed under it): the channels have their state already.
    PlaybackSchedule(const Song& song, std::int64_t from, bool chase = true);

    // By time; the chase first, at 0.
    const std::vector<Event>& Events() const { return events_; }
    std::int64_t From() const { return from_; }
    const TempoMap& Tempo() const { return tempo_; }

    // When the cursor reaches grid position p, after the start of playback: in a stepped song
    // when the step of p - 2 runs, as it always did; in any other as the music passes it.
    std::int64_t CursorTimeUs(std::int64_t position) const;
    // The last grid position that playback has handled at a time after its start (a stepped
    // song's step, the music's position for any other), for a progress report.
    std::int64_t PositionAt(std::int64_t timeUs) const;

private:
    void Chase(const Song& song, std::int64_t before, bool stepped);

    TempoMap tempo_;
    std::vector<Event> events_;
    std::int64_t from_;
    std::int64_t startUs_ = 0; // the time of `from` in the song
};

} // namespace kadrel
