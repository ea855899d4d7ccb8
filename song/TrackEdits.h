#pragma once

#include "song/Song.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kadrel {

// What a track edit changed, kept so that UndoTrackEdit puts the song back exactly as it was.
// Small: the events, rows and notes it touched, never a whole track. Redoing is doing the edit
// again on the song as it was.
struct TrackEditUndo {
    // One change to the events of a file track, undone in reverse order.
    struct EventStep {
        enum Kind : std::uint8_t { Changed, Inserted, Removed } What;
        std::uint32_t FileTrack;
        std::vector<std::pair<std::uint32_t, KeptEvent>> Events; // place and value before
    };
    // What a file track was before the edit appended to it.
    struct TrackSizes {
        std::uint32_t FileTrack;
        std::size_t Payloads;
        std::uint32_t NextOrder;
    };

    std::size_t RowCount = 0;                               // the rows before
    std::size_t FileTrackCount = 0;                         // the file tracks before
    std::vector<std::pair<std::uint32_t, SongTrack>> Rows;  // rows changed, as they were
    std::vector<std::pair<std::uint32_t, TMidiNote>> Notes; // notes changed, as they were
    std::vector<EventStep> Steps;
    std::vector<TrackSizes> Sizes;
    // A deleted row: its place and value, and its notes with their places in the song.
    std::optional<std::pair<std::uint32_t, SongTrack>> DeletedRow;
    std::vector<std::uint32_t> RemovedAt;
    NoteList Removed;
};

// The edits of the track commands. On a song of Kadrel's own they change the rows only (and a
// deletion the notes), as Kadrel always did. On an imported song they change the file too:
// - a row's name is its file track's: the first track-name event is given the name, or one is
//   added at tick 0; every row of that file track takes it;
// - a channel change moves the row's notes and its channel's events in its file track; when the
//   row's instrument came from elsewhere, a program change for it is added at tick 0;
// - an instrument change sets the program change that gave the row its instrument (and so the
//   instrument of every row it gave one to), or adds one at tick 0 of the row's file track;
// - a new row gets a new file track at the end, holding its name and program change;
// - a deleted row takes its notes and its channel's events out of its file track, which stays.
// Each returns what UndoTrackEdit needs. row must name an existing row; channel 0..15.
TrackEditUndo ChangeRow(Song& song, std::uint32_t row, const SongTrack& after);
TrackEditUndo AddRow(Song& song, SongTrack track);
TrackEditUndo DeleteRow(Song& song, std::uint32_t row);

// Puts back what the edit changed. The song must be as the edit left it.
void UndoTrackEdit(Song& song, TrackEditUndo&& undo);

} // namespace kadrel
