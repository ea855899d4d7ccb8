#pragma once

#include "midi/SmfReader.h"

#include <cstdint>
#include <span>
#include <string>

namespace kadrel {

// Whether two files read by the tolerant reader hold the same events: the same format and
// division, the same chunks in the same order (others byte for byte), and in each track the
// same events (absolute tick, status, data bytes or payload) in the same order, the end of track
// at the same tick (the last event's when there is none). How they are written (running status,
// lengths, what follows an end of track) does not count.
bool SameEvents(const SmfFile& a, const SmfFile& b);

// What Ouvrir would lose of a file: "" when the song that Ouvrir makes of it, saved as Kadrel
// saves its songs, holds the same events as the file; otherwise a French list of what would be
// lost, for example "la résolution du fichier (480 par noire), 1 204 vélocités, 3 changements
// de tempo". Throws the error of TMidi::LoadFromStream when Ouvrir refuses the file.
std::string OpenLosses(std::span<const std::uint8_t> bytes);

} // namespace kadrel
