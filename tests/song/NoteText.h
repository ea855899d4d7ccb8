#pragma once

#include "song/Instruments.h"
#include "song/Song.h"

#include <string>
#include <vector>

namespace kadrel::test {

// A note as tests compare it: "60@16+12 c0 t1" (number, position, length, channel, track).
inline std::string NoteText(const TMidiNote& n) {
    return std::to_string(n.NoteNum) + "@" + std::to_string(n.Pos) + "+" + std::to_string(n.Len) +
           " c" + std::to_string(n.Channel) + " t" + std::to_string(n.Track);
}

inline std::vector<std::string> NoteTexts(const NoteList& notes) {
    std::vector<std::string> texts;
    for (const TMidiNote& n : notes)
        texts.push_back(NoteText(n));
    return texts;
}

// A track as the track list shows it: "1|Basse|2|033 - Fingered Bass" (number, name, channel,
// instrument).
inline std::string TrackText(const SongTrack& t, std::size_t index) {
    return std::to_string(index) + "|" + t.Name + "|" + std::to_string(t.Channel) + "|" +
           InstrumentText(t.Program);
}

} // namespace kadrel::test
