#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kadrel {

// One note of the song. Positions are MIDI ticks from the start of the song.
struct TMidiNote {
    std::uint8_t NoteNum = 0; // MIDI note number, 0..127
    std::int32_t Pos = 0;     // start, in ticks
    std::int32_t Len = 0;     // length in ticks; the import never leaves it below 1
    std::uint8_t Channel = 0; // channel 0..15 on which the note sounds and is saved
    // Number of the owning track row. Wider than a byte: an imported file makes a row for each
    // track and channel, which can be far more than 256, and their notes must not fold onto the
    // first ones.
    std::uint32_t Track = 0;
};

// Every note of every track, in order of creation: the export writes the events of one tick
// in this order, the import ends the last note of a number, playback sends in this order.
using NoteList = std::vector<std::unique_ptr<TMidiNote>>;

// The four texts of a row of the track list.
struct TrackRowTexts {
    std::string Caption;    // the track number, equal to the row's position
    std::string Name;       // free text
    std::string Channel;    // "0" to "15" (a file with more than 16 tracks can bring more)
    std::string Instrument; // an instrument text such as "000 - Piano 1"
};

using TrackRows = std::vector<TrackRowTexts>;

// A track of the song, as the editor keeps it; its row texts are made from it when shown.
struct SongTrack {
    std::string Name;         // free text, UTF-8
    std::int32_t Channel = 0; // 0..15; Ouvrir gives a track without channel events its number,
                              // which can be 16 or more: nothing can be sent on such a channel
    std::uint8_t Program = 0; // 0..127

    bool operator==(const SongTrack&) const = default;
};

// The song being edited: every note, the tracks in row order (a note's Track is an index into
// Tracks) and the file it was read from or last saved to.
struct Song {
    NoteList Notes;
    std::vector<SongTrack> Tracks;
    std::string FileName; // "" until the song has a file
};

// The texts of the row of a track at a given index: caption = the index, the name, the channel
// in decimal and the instrument text of the program ("008 - Celesta ").
TrackRowTexts RowTexts(const SongTrack& track, std::size_t index);
TrackRows RowTexts(const std::vector<SongTrack>& tracks);

// A decimal number read from one of the song's texts (a channel, a track number, the first
// word of an instrument text). Throws Error("'<text>' is not a valid integer value") for
// anything else, as such a text can only come from a fault.
std::int32_t DecimalValue(const std::string& text);

} // namespace kadrel
