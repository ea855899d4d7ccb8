#pragma once

#include "midi/MidiEvent.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kadrel {

class ByteStream;

// One track chunk: its events in time order. The end-of-track event is never kept in memory:
// the reader consumes it and the writer adds it.
class TMidiTrack {
public:
    // Reads one track chunk from the stream's position, ending after its end-of-track event or
    // at the end of the data. Only note-on, note-off and program change are kept; other meta
    // events are passed over and their delta time is added to the next kept event. Throws
    // Error("Invalid MIDI file format.") for a chunk type other than MTrk, any other status
    // byte (running status included) and a delta time of more than eight bytes. An event cut
    // short by the end of the data is dropped. Memory running out gives Error(OutOfMemoryText).
    void LoadFromStream(ByteStream& stream);

    // Sum of Size over Events, in bytes.
    std::uint32_t DataSize() const;

    // Writes "MTrk", the chunk length, every event and a closing end-of-track event at delta 0.
    void SaveToStream(ByteStream& stream) const;

    std::vector<std::unique_ptr<TMidiEvent>> Events;

private:
    void ReadChunk(ByteStream& stream);
};

} // namespace kadrel
