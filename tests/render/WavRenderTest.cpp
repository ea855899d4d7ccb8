#include "render/WavRender.h"
#include "RenderedWav.h"
#include "core/ErrorOf.h"
#include "core/TempDir.h"

#include <gtest/gtest.h>

#include <utility>

namespace kadrel {
namespace {

using test::Notes;
using test::RenderedWav;
using test::RenderTrack;
using test::RenderWav;
using test::TempDir;

constexpr std::size_t Step = 1323;           // frames in a position of 30 ms
constexpr std::size_t TailLimit = 3 * 44100; // the longest the sound goes on after the last off
constexpr std::size_t Silence = 4410;        // the silence that shows the sound has ended

// The first frame of the step that handles position q, as playback from 0 times it.
constexpr std::size_t StepFrame(std::int64_t q) {
    return static_cast<std::size_t>(q + 1) * Step;
}

// Flute and piano: one keeps its level while held, the other fades.
constexpr std::int32_t Piano = 0;
constexpr std::int32_t Flute = 73;

TEST(WavRender, HeaderDescribesSixteenBitStereoPcmAt44100) {
    const std::pair<const char*, NoteList> songs[] = {
        {"no notes", Notes({})},
        {"one note", Notes({{60, 0, 16, 0, 0}})},
    };
    TempDir dir;
    for (const auto& [name, notes] : songs) {
        const std::vector<std::uint8_t> b = test::Rendered(dir, notes, {{0, Piano}}).Bytes;
        ASSERT_GE(b.size(), 44u) << name;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF") << name;
        EXPECT_EQ(LittleEndianAt(b, 4, 4), b.size() - 8) << name;
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ") << name;
        EXPECT_EQ(LittleEndianAt(b, 16, 4), 16u) << name;     // size of the fmt chunk
        EXPECT_EQ(LittleEndianAt(b, 20, 2), 1u) << name;      // PCM
        EXPECT_EQ(LittleEndianAt(b, 22, 2), 2u) << name;      // channels
        EXPECT_EQ(LittleEndianAt(b, 24, 4), 44100u) << name;  // frames per second
        EXPECT_EQ(LittleEndianAt(b, 28, 4), 176400u) << name; // bytes per second
        EXPECT_EQ(LittleEndianAt(b, 32, 2), 4u) << name;      // block align
        EXPECT_EQ(LittleEndianAt(b, 34, 2), 16u) << name;     // bits per sample
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data") << name;
        EXPECT_EQ(LittleEndianAt(b, 40, 4), b.size() - 44) << name;
    }
}

TEST(WavRender, LastsUntilTheSoundHasDiedAwayAtMostThreeSecondsAfterTheLastNoteOff) {
    const struct {
        const char* name;
        NoteList notes;
        std::vector<RenderTrack> tracks;
        std::size_t lastOff; // the frame at which the last note-off is sent
        std::size_t frames;  // the exact length, or 0 when the release decides it
    } cases[] = {
        {"no notes: a tenth of a second of silence", Notes({}), {{0, Piano}}, 0, Silence},
        {"a note that cannot sound (channel 20): silence after its off",
         Notes({{60, 0, 16, 20, 0}}),
         {{20, Piano}},
         StepFrame(16),
         StepFrame(16) + Silence},
        {"a piano note rings on after its off, then ends",
         Notes({{60, 0, 16, 0, 0}}),
         {{0, Piano}},
         StepFrame(16),
         0},
        {"the last note-off counts, not the last note-on",
         Notes({{60, 0, 40, 0, 0}, {64, 10, 5, 0, 0}}),
         {{0, Piano}},
         StepFrame(40),
         0},
        {"a note of length 0 gets its off before its on and never ends: 3 s",
         Notes({{60, 10, 0, 0, 0}}),
         {{0, Flute}},
         StepFrame(10),
         StepFrame(10) + TailLimit},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const RenderedWav wav = test::Rendered(dir, c.notes, c.tracks);
        const std::size_t soundEnd = wav.SoundEnd(wav.Frames());
        if (c.frames != 0) {
            EXPECT_EQ(wav.Frames(), c.frames) << c.name;
            continue;
        }
        // The release is heard for a while, then the file ends after the silence that shows it.
        EXPECT_GT(soundEnd, c.lastOff + Silence) << c.name;
        EXPECT_EQ(wav.Frames(), soundEnd + Silence) << c.name;
        EXPECT_LE(wav.Frames(), c.lastOff + TailLimit) << c.name;
    }
}

TEST(WavRender, SilentBeforeTheFirstNoteAndSoundingDuringIt) {
    TempDir dir;
    const RenderedWav wav = test::Rendered(dir, Notes({{60, 20, 30, 0, 0}}), {{0, Flute}});
    EXPECT_GE(wav.FirstSound(), StepFrame(20));
    EXPECT_LT(wav.FirstSound(), StepFrame(21));
    // About -30 dB below full scale while held, from its first 50 ms to its note-off.
    EXPECT_GT(wav.Rms(StepFrame(20) + 2205, StepFrame(50)), 500.0);
}

TEST(WavRender, NotesStartWithinOneAudioBlockOfWhenPlaybackSendsThem) {
    // Each note far enough after the one before for that one's sound to have died away, on
    // channels and instruments of their own (9: percussion).
    const NoteList notes = Notes({{60, 0, 3, 0, 0},
                                  {64, 61, 3, 1, 1},
                                  {38, 125, 3, 9, 2},
                                  {67, 190, 3, 2, 3},
                                  {72, 257, 3, 3, 4}});
    // FluidSynth starts a note at its next block of 64 frames; the attacks then take up to
    // about 2 ms to leave the first sample above zero.
    constexpr std::size_t Block = 64;
    constexpr std::size_t Attack = 128;
    TempDir dir;
    const RenderedWav wav =
        test::Rendered(dir, notes, {{0, Piano}, {1, Flute}, {9, 0}, {2, 81}, {3, 24}});
    for (const auto& note : notes) {
        const std::size_t due = StepFrame(note.Pos);
        const std::size_t onset = wav.FirstSound(due - Step);
        EXPECT_GE(onset, due) << "note at " << note.Pos;
        EXPECT_LE(onset, due + Block + Attack) << "note at " << note.Pos;
    }
}

TEST(WavRender, ANoteEndingWhereTheSameNoteStartsIsStruckAgain) {
    // Playback sends the off before the on: the second note sounds on. Without it the flute
    // is only released, which the measure must tell apart.
    const struct {
        const char* name;
        NoteList notes;
        bool sounds;
    } cases[] = {
        {"struck again", Notes({{60, 0, 20, 0, 0}, {60, 20, 20, 0, 0}}), true},
        {"not struck again", Notes({{60, 0, 20, 0, 0}}), false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const RenderedWav wav = test::Rendered(dir, c.notes, {{0, Flute}});
        const double held = wav.Rms(StepFrame(5), StepFrame(15));
        const double later = wav.Rms(StepFrame(30), StepFrame(40));
        EXPECT_EQ(later > 0.5 * held, c.sounds) << c.name << ": " << later << " / " << held;
    }
}

TEST(WavRender, EachRowPlaysItsProgramOnItsChannel) {
    const struct {
        const char* name;
        std::vector<RenderTrack> tracks;
        bool sustained; // a flute keeps its level while held, a piano fades
    } cases[] = {
        {"piano on channel 1", {{0, Flute}, {1, Piano}}, false},
        {"flute on channel 1", {{0, Piano}, {1, Flute}}, true},
        {"a row on channel 16 or more changes nothing", {{1, Flute}, {16, Piano}}, true},
    };
    TempDir dir;
    for (const auto& c : cases) {
        // Channel 1, held for 1.8 s.
        const RenderedWav wav = test::Rendered(dir, Notes({{60, 0, 60, 1, 1}}), c.tracks);
        const std::size_t on = StepFrame(0);
        const double level = wav.Rms(on + 52920, on + 66150) / wav.Rms(on + 2205, on + 11025);
        if (c.sustained) {
            EXPECT_GT(level, 0.8) << c.name;
        } else {
            EXPECT_LT(level, 0.5) << c.name;
        }
    }
}

TEST(WavRender, ThreadsShareTheChannelsWithoutChangingTheSound) {
    // Eight channels of overlapping notes, each with its own instrument.
    NoteList notes;
    std::vector<RenderTrack> tracks;
    for (std::uint8_t channel = 0; channel < 8; ++channel) {
        tracks.push_back({channel, channel * 11});
        for (std::int32_t pos = channel; pos < 60; pos += 7)
            notes.push_back(
                TMidiNote{static_cast<std::uint8_t>(48 + pos % 24), pos, 9, channel, channel});
    }
    TempDir dir;
    const RenderedWav one = test::Rendered(dir, notes, tracks, 1);
    const RenderedWav four = test::Rendered(dir, notes, tracks, 4);
    // A note's first block depends on which of FluidSynth's voices it gets, which the other
    // channels decide; nothing else may differ.
    EXPECT_NEAR(double(four.Frames()), double(one.Frames()), 441.0);
    double difference = 0;
    double signal = 0;
    for (std::size_t i = 0; i < std::min(one.Samples.size(), four.Samples.size()); ++i) {
        const double d = double(one.Samples[i]) - four.Samples[i];
        difference += d * d;
        signal += double(one.Samples[i]) * one.Samples[i];
    }
    ASSERT_GT(signal, 0.0);
    EXPECT_LT(std::sqrt(difference / signal), 0.01);
}

TEST(WavRender, ProgressRunsToTheLastPositionOftenEnoughForADialog) {
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    TempDir dir;
    ASSERT_TRUE(RenderWav(Notes({{60, 300, 20, 0, 0}}), {{0, Piano}}, dir / "song.wav",
                          [&](std::int64_t position, std::int64_t last) {
                              calls.emplace_back(position, last);
                              return true;
                          }));
    // The last note-off is at 320; the sound may last 100 positions (3 s) more.
    ASSERT_GE(calls.size(), 32u);
    EXPECT_EQ(calls.back(), std::make_pair(std::int64_t{420}, std::int64_t{420}));
    // Every 10 positions at least (0.3 s of sound, a few milliseconds of work) until the
    // sound has died away; then the last call jumps to the end.
    std::int64_t previous = 0;
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        const auto [position, last] = calls[i];
        EXPECT_EQ(last, 420);
        EXPECT_GE(position, previous);
        EXPECT_LE(position - previous, 10) << position;
        previous = position;
    }
    EXPECT_GT(previous, 320);
}

TEST(WavRender, CancelLeavesNoFileAndTheOldOneUntouched) {
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    const struct {
        const char* name;
        bool existing;
        int cancelAt; // the call that answers false, counted from 1; 0: the very last one
    } cases[] = {
        {"at once, no file before", false, 1},
        {"half-way, a file before", true, 5},
        {"at the very end, a file before", true, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir / "song.wav";
        if (c.existing)
            test::WriteFile(path, old);
        int calls = 0;
        const bool written =
            RenderWav(Notes({{60, 0, 200, 0, 0}}), {{0, Flute}}, path,
                      [&](std::int64_t position, std::int64_t last) {
                          ++calls;
                          return c.cancelAt == 0 ? position != last : calls != c.cancelAt;
                      });
        EXPECT_FALSE(written) << c.name;
        EXPECT_GE(calls, c.cancelAt) << c.name;
        // Nothing new in the folder, not even a temporary file.
        EXPECT_EQ(dir.Names(),
                  c.existing ? std::vector<std::string>{"song.wav"} : std::vector<std::string>{})
            << c.name;
        if (c.existing) {
            EXPECT_EQ(test::ReadFile(path), old) << c.name;
        }
    }
}

TEST(WavRender, RefusesASongTooLongForAWavFile) {
    // A WAV file holds at most 4 GB of samples, about 6 h 45 min.
    TempDir dir;
    EXPECT_EQ(test::ErrorOf([&] {
                  RenderWav(Notes({{60, 812'000, 16, 0, 0}}), {{0, Piano}}, dir / "song.wav");
              }),
              "Le morceau est trop long pour un fichier WAV.");
    EXPECT_TRUE(dir.Names().empty());
}

} // namespace
} // namespace kadrel
