#pragma once

// Small Standard MIDI Files built in memory for the tests of the tolerant reader, the import and
// the full listing.

#include "core/Bytes.h"

#include <cstdint>
#include <vector>

namespace kadrel::test {

// A chunk: its tag, its length (the data's own unless given) and its data.
inline Bytes Chunk(const char (&tag)[5], const Bytes& data, std::int64_t length = -1) {
    const auto n = static_cast<std::uint32_t>(length < 0 ? data.size() : length);
    return Cat({Tag(tag),
                {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                 static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                data});
}

// A header chunk of 6 bytes.
inline Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    return Chunk("MThd",
                 {static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
                  static_cast<std::uint8_t>(tracks >> 8), static_cast<std::uint8_t>(tracks),
                  static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
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
    Bytes groups;
    do {
        groups.insert(groups.begin(), static_cast<std::uint8_t>(value & 0x7F));
        value >>= 7;
    } while (value != 0);
    for (std::size_t i = 0; i + 1 < groups.size(); ++i)
        groups[i] |= 0x80;
    return groups;
}

} // namespace kadrel::test
