#include "Bytes.h"
#include "midi/Midi.h"
#include "util/Error.h"

#include <gtest/gtest.h>

#include <random>

namespace kadrel {
namespace {

using test::Bytes;

// A random song in the writer's form: random tracks, channels, notes, programs and delta times
// up to 2^32 - 1.
TMidi RandomSong(std::mt19937& random) {
    TMidi midi;
    midi.Format = static_cast<std::uint8_t>(random() % 3);
    midi.Division = static_cast<std::uint16_t>(random());
    const int tracks = static_cast<int>(random() % 6);
    for (int t = 0; t < tracks; ++t) {
        auto track = std::make_unique<TMidiTrack>();
        const int events = static_cast<int>(random() % 40);
        for (int e = 0; e < events; ++e) {
            std::unique_ptr<TMidiEvent> event;
            switch (random() % 3) {
            case 0: {
                auto on = std::make_unique<TMidiNoteONEvent>();
                on->Note = static_cast<std::uint8_t>(random() % 128);
                on->Velocity = static_cast<std::uint8_t>(random() % 128);
                event = std::move(on);
                break;
            }
            case 1: {
                auto off = std::make_unique<TMidiNoteOFFEvent>();
                off->Note = static_cast<std::uint8_t>(random() % 128);
                event = std::move(off);
                break;
            }
            default: {
                auto patch = std::make_unique<TMidiChangePatchEvent>();
                patch->Patch = static_cast<std::uint8_t>(random() % 128);
                event = std::move(patch);
            }
            }
            event->Channel = static_cast<std::uint8_t>(random() % 16);
            // Mostly small times, with every length of quantity up to the largest value.
            const std::uint32_t shift = random() % 33;
            const std::uint32_t delta =
                shift == 32 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(random()) >> shift;
            event->DeltaTime.SetValue(delta);
            track->Events.push_back(std::move(event));
        }
        midi.Tracks.push_back(std::move(track));
    }
    return midi;
}

using test::Saved;

TEST(MidiRoundTrip, RandomSongsSurviveWriteReadWriteByteForByte) {
    std::mt19937 random(20261207);
    for (int i = 0; i < 2000; ++i) {
        const TMidi song = RandomSong(random);
        const Bytes first = Saved(song);
        ByteStream stream(first);
        TMidi loaded;
        ASSERT_NO_THROW(loaded.LoadFromStream(stream)) << "song " << i;
        ASSERT_EQ(loaded.Tracks.size(), song.Tracks.size());
        for (std::size_t t = 0; t < song.Tracks.size(); ++t)
            ASSERT_EQ(loaded.Tracks[t]->Events.size(), song.Tracks[t]->Events.size())
                << "song " << i;
        ASSERT_EQ(Saved(loaded), first) << "song " << i;
    }
}

// Loading must either succeed or fail with the one format message; the sanitizer build turns
// any read outside the data into a failure.
void ExpectLoadsOrIsRefused(const Bytes& bytes, const std::string& what) {
    ByteStream stream(bytes);
    TMidi midi;
    try {
        midi.LoadFromStream(stream);
    } catch (const Error& e) {
        ASSERT_STREQ(e.what(), "Invalid MIDI file format.") << what;
    }
}

std::vector<Bytes> ValidFiles() {
    std::mt19937 random(7);
    std::vector<Bytes> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(Saved(RandomSong(random)));
    // One with the meta events the reader passes over.
    files.push_back(test::Cat(
        {test::Tag("MThd"),
         {0, 0, 0, 6, 0, 1, 0, 2, 0, 0x60},
         test::Tag("MTrk"),
         {0,    0,    0,    0x17, 0x00, 0xFF, 0x03, 0x03, 'a',  'b',  'c',  0x00, 0xFF, 0x51,
          0x03, 0x07, 0xA1, 0x20, 0x83, 0x60, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00},
         test::Tag("MTrk"),
         {0, 0, 0, 4, 0, 0xFF, 0x2F, 0}}));
    return files;
}

TEST(MidiRobustness, EveryPrefixOfValidFilesLoadsOrIsRefused) {
    for (const Bytes& file : ValidFiles())
        for (std::size_t n = 0; n <= file.size(); ++n)
            ExpectLoadsOrIsRefused(Bytes(file.begin(), file.begin() + static_cast<long>(n)),
                                   "prefix " + std::to_string(n));
}

TEST(MidiRobustness, RandomFlipsInsertionsAndDeletionsLoadOrAreRefused) {
    std::mt19937 random(99);
    const auto files = ValidFiles();
    for (int i = 0; i < 20000; ++i) {
        Bytes bytes = files[random() % files.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0:
                bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
            case 1:
                bytes[at] = static_cast<std::uint8_t>(random());
                break;
            case 2:
                bytes.insert(bytes.begin() + static_cast<long>(at),
                             static_cast<std::uint8_t>(random()));
                break;
            default:
                bytes.erase(bytes.begin() + static_cast<long>(at));
            }
        }
        ExpectLoadsOrIsRefused(bytes, "mutation " + std::to_string(i));
    }
}

TEST(MidiRobustness, RandomBytesBehindAValidHeaderLoadOrAreRefused) {
    std::mt19937 random(5);
    for (int i = 0; i < 5000; ++i) {
        Bytes bytes = test::Cat({test::Tag("MThd"),
                                 {0, 0, 0, 6, 0, 1, 0, 3, 0, 0x10},
                                 test::Tag("MTrk"),
                                 {0, 0, 0, 0}});
        const int n = static_cast<int>(random() % 64);
        for (int k = 0; k < n; ++k)
            bytes.push_back(static_cast<std::uint8_t>(random()));
        ExpectLoadsOrIsRefused(bytes, "random " + std::to_string(i));
    }
}

} // namespace
} // namespace kadrel
