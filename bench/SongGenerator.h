#pragma once

#include "midi/ByteStream.h"
#include "midi/Midi.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kadrel::bench {

// A song of `tracks` tracks holding `notes` notes in all, in the form Kadrel writes and reads:
// a program change, then note-on/note-off pairs with short delta times. 1,000,000 notes over 16
// tracks make a file of about 8 MB.
inline TMidi MakeSong(int tracks, int notes, std::uint32_t seed = 42) {
    std::mt19937 random(seed);
    TMidi midi;
    midi.Format = 1;
    midi.Division = 16;
    for (int t = 0; t < tracks; ++t) {
        auto track = std::make_unique<TMidiTrack>();
        auto patch = std::make_unique<TMidiChangePatchEvent>();
        patch->Channel = static_cast<std::uint8_t>(t % 16);
        patch->Patch = static_cast<std::uint8_t>(t * 7 % 128);
        track->Events.push_back(std::move(patch));
        const int count = notes / tracks + (t < notes % tracks ? 1 : 0);
        track->Events.reserve(2 * static_cast<std::size_t>(count) + 1);
        for (int n = 0; n < count; ++n) {
            const auto note = static_cast<std::uint8_t>(36 + random() % 47);
            auto on = std::make_unique<TMidiNoteONEvent>();
            on->DeltaTime.SetValue(random() % 8);
            on->Channel = static_cast<std::uint8_t>(t % 16);
            on->Note = note;
            on->Velocity = 127;
            auto off = std::make_unique<TMidiNoteOFFEvent>();
            off->DeltaTime.SetValue(1 + random() % 16);
            off->Channel = static_cast<std::uint8_t>(t % 16);
            off->Note = note;
            track->Events.push_back(std::move(on));
            track->Events.push_back(std::move(off));
        }
        midi.Tracks.push_back(std::move(track));
    }
    return midi;
}

inline std::vector<std::uint8_t> MakeSongBytes(int tracks, int notes, std::uint32_t seed = 42) {
    ByteStream stream;
    MakeSong(tracks, notes, seed).SaveToStream(stream);
    return stream.Bytes();
}

} // namespace kadrel::bench
