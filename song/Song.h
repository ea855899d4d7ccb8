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

// A decimal number read from one of the song's texts (a channel, a track number, the first
// word of an instrument text). Throws Error("'<text>' is not a valid integer value") for
// anything else, as such a text can only come from a fault.
std::int32_t DecimalValue(const std::string& text);

} // namespace kadrel
