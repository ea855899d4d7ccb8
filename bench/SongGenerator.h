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

namespace kadrel::bench {

// A song as sequencers write them, at 480 ticks per quarter note: a conductor track with the
// tempo (500,000 us a quarter) and time signature, then `tracks` tracks holding `notes` notes
// in all, each with its name, program, volume and pan; its notes one after another with
// velocities from 30 to 126, ended by note-ons of velocity 0 under running status; a
// controller (expression) or a pitch bend before every eighth note. Notes last from 1 to
// meanGap ticks and the next starts 0 to 2 * meanGap ticks later, so a note takes 1.5 * meanGap
// ticks on average (40: about 16 notes a second in each track).
inline std::vector<std::uint8_t> MakeRichSongBytes(int tracks, int notes, int meanGap = 40,
                                                   std::uint32_t seed = 42) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> out;
    const auto put32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    const auto quantity = [&](std::uint32_t v) {
        std::uint8_t groups[5];
        int count = 0;
        do {
            groups[count++] = static_cast<std::uint8_t>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (count > 1)
            out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
        out.push_back(groups[0]);
    };
    const auto bytes = [&](std::initializer_list<std::uint8_t> b) { out.insert(out.end(), b); };
    out.insert(out.end(), {'M', 'T', 'h', 'd'});
    put32(6);
    bytes({0, 1, static_cast<std::uint8_t>((tracks + 1) >> 8),
           static_cast<std::uint8_t>(tracks + 1), 0x01, 0xE0});
    // Each chunk's length is filled in once its events are written.
    const auto chunk = [&](auto&& events) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        const std::size_t at = out.size();
        put32(0);
        events();
        bytes({0, 0xFF, 0x2F, 0});
        const auto length = static_cast<std::uint32_t>(out.size() - at - 4);
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    };
    chunk([&] { bytes({0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0, 0xFF, 0x58, 4, 4, 2, 24, 8}); });
    for (int t = 0; t < tracks; ++t) {
        const auto channel = static_cast<std::uint8_t>(t % 16);
        const int count = notes / tracks + (t < notes % tracks ? 1 : 0);
        chunk([&] {
            bytes({0, 0xFF, 0x03, 7, 'T', 'r', 'a', 'c', 'k', ' ',
                   static_cast<std::uint8_t>('A' + t % 26)});
            bytes({0, static_cast<std::uint8_t>(0xC0 | channel),
                   static_cast<std::uint8_t>(t * 7 % 128)});
            bytes({0, static_cast<std::uint8_t>(0xB0 | channel), 7, 100, 0, 10,
                   static_cast<std::uint8_t>(t * 8 % 128)});
            std::uint32_t wait = 0;
            for (int n = 0; n < count; ++n) {
                const auto note = static_cast<std::uint8_t>(36 + random() % 47);
                if (n % 8 == 0) {
                    quantity(wait);
                    wait = 0;
                    if (n % 16 == 0)
                        bytes({static_cast<std::uint8_t>(0xB0 | channel), 11,
                               static_cast<std::uint8_t>(random() % 128)});
                    else
                        bytes({static_cast<std::uint8_t>(0xE0 | channel), 0,
                               static_cast<std::uint8_t>(32 + random() % 64)});
                }
                quantity(wait);
                // After a controller the status is written again; between notes it runs.
                if (n % 8 == 0)
                    out.push_back(static_cast<std::uint8_t>(0x90 | channel));
                bytes({note, static_cast<std::uint8_t>(30 + random() % 97)});
                quantity(1 + random() % meanGap);
                bytes({note, 0});
                wait = random() % (2 * meanGap);
            }
        });
    }
    return out;
}

} // namespace kadrel::bench
