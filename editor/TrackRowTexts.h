#pragma once

#include "song/Song.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrel {

// The four texts of a row of the track list.
struct TrackRowTexts {
    std::string Caption;    // the track number, equal to the row's position
    std::string Name;       // free text
    std::string Channel;    // "0" to "15" (a file with more than 16 tracks can bring more)
    std::string Instrument; // an instrument text such as "000 - Piano 1"
};

using TrackRows = std::vector<TrackRowTexts>;

// The texts of the row of a track at a given index: caption = the index, the name, the channel
// in decimal and the instrument text of the program ("008 - Celesta ").
TrackRowTexts RowTexts(const SongTrack& track, std::size_t index);
TrackRows RowTexts(const std::vector<SongTrack>& tracks);

// A decimal number read from one of the row's texts (a channel, a track number, the first word
// of an instrument text). Throws Error("'<text>' is not a valid integer value") for anything
// else, as such a text can only come from a fault.
std::int32_t DecimalValue(const std::string& text);

// The program number of an instrument text: its first word read as a decimal number.
std::int32_t ProgramOfInstrument(const std::string& text);

} // namespace kadrel
