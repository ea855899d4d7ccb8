#pragma once

#include "midi/SmfReader.h"

#include <cstdint>
#include <vector>

namespace kadrel {

// Where WriteSmf leaves a channel message's status byte out.
enum class SmfRunningStatus : std::uint8_t {
    AsRead, // where the reader found it left out
    Always, // wherever the previous channel message of the track had the same status
};

// Writes what the tolerant reader read back as a Standard MIDI File: a header of 6 bytes with
// the format, the number of tracks and the division, then one MTrk chunk per track with its
// events in order (sysex and meta payloads as they were). Read again, it gives the same events.
std::vector<std::uint8_t> WriteSmf(const SmfFile& file,
                                   SmfRunningStatus runningStatus = SmfRunningStatus::AsRead);

} // namespace kadrel
