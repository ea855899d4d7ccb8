#pragma once

// Small Standard MIDI Files built in memory for the tests of the tolerant reader, the import and
// the full listing.

#include "core/Bytes.h"
#include "midi/FileBytes.h"

#include <cstdint>
#include <vector>

namespace kadrel::test {

// A chunk: its tag, its length (the data's own unless given) and its data.
inline Bytes Chunk(const char (&tag)[5], const Bytes& data, std::int64_t length = -1) {
    Bytes out = Tag(tag);
    AppendBigEndian(out, static_cast<std::uint32_t>(length < 0 ? data.size() : length), 4);
    return Cat({out, data});
}

// A header chunk of 6 bytes.
inline Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    Bytes data;
    for (std::uint16_t field : {format, tracks, division})
        AppendBigEndian(data, field, 2);
    return Chunk("MThd", data);
}

// A whole file: a header declaring as many tracks as given, and one MTrk chunk for each.
inline Bytes Smf(std::uint16_t format, std::uint16_t division, const std::vector<Bytes>& tracks) {
    Bytes file = Header(format, static_cast<std::uint16_t>(tracks.size()), division);
    for (const Bytes& t : tracks)
        file = Cat({file, Chunk("MTrk", t)});
    return file;
}

inline const Bytes EndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

// A delta time (or any variable-length quantity) in its stored form.
inline Bytes Vlq(std::uint32_t value) {
    Bytes out;
    AppendQuantity(out, value);
    return out;
}

// A RIFF length: 4 bytes, least significant first.
inline Bytes LittleEndian(std::uint32_t value) {
    Bytes out;
    AppendLittleEndian(out, value, 4);
    return out;
}

} // namespace kadrel::test
