#pragma once

#include "midi/MidiTrack.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kadrel {

class ByteStream;

// A whole Standard MIDI File: format, time division and track chunks. Files are read and
// written whole through an in-memory ByteStream.
class TMidi {
public:
    // Reads the file into memory and parses it; the tracks read are appended to Tracks.
    // Throws the errors of ByteStream::LoadFromFile (a file that cannot be opened, is no
    // regular file or is larger than 1 GiB) and Error("Invalid MIDI file format.") for content
    // it does not understand. A failed load leaves the tracks read up to the failure.
    void LoadFromFile(const std::string& FileName);

    // Parses a header chunk and the number of track chunks it announces from the stream's
    // position. Anything after the last announced track is not read. Memory running out gives
    // Error(OutOfMemoryText).
    void LoadFromStream(ByteStream& stream);

    // Builds the whole file in memory, then writes it as ByteStream::SaveToFile does.
    // Throws Error("Impossible de créer le fichier <name>") when it cannot be created or may
    // not be written; the previous file is then untouched.
    void SaveToFile(const std::string& FileName) const;

    // Writes the 14-byte header chunk and every track chunk.
    void SaveToStream(ByteStream& stream) const;

    std::vector<std::unique_ptr<TMidiTrack>> Tracks;
    std::uint8_t Format = 0;    // 0 single track, 1 synchronous, 2 asynchronous tracks
    std::uint16_t Division = 0; // time division as stored in the header (16 = ticks per quarter)

private:
    void ReadChunks(ByteStream& stream);
};

} // namespace kadrel
