#include "midi/devices/Synthesizer.h"
#include "midi/MidiOutService.h"

#include "AudioMeasures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace kadrel {
namespace {

using test::PitchHz;
using test::Rms;
using test::SpectralCentroidHz;

constexpr int rate = Synthesizer::SampleRate;

// Frames in ms milliseconds.
constexpr std::size_t Ms(int ms) {
    return std::size_t(rate) * std::size_t(ms) / 1000;
}

// Packed short messages, written out so that a packing mistake cannot hide in a helper.
constexpr std::uint32_t noteOnC4 = 0x007F3C90;  // channel 0, note 60, velocity 127
constexpr std::uint32_t noteOffC4 = 0x00003C80; // channel 0, note 60
constexpr std::uint32_t flute = 0x000049C0;     // channel 0, program 73
constexpr std::uint32_t sawLead = 0x000051C0;   // channel 0, program 81

// A synthesizer with the system's General MIDI soundfont, rendered offline: no audio driver.
std::unique_ptr<Synthesizer> LoadedSynthesizer() {
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    // The set-up installs one; a machine without it cannot sound, which is a failure.
    EXPECT_FALSE(soundFonts.empty())
        << "no General MIDI soundfont in " << Synthesizer::SoundFontFolder
        << " (install timgm6mb-soundfont)";
    if (soundFonts.empty()) {
        return nullptr;
    }
    auto synth = std::make_unique<Synthesizer>();
    EXPECT_TRUE(synth->LoadSoundFont(soundFonts.front())) << soundFonts.front();
    return synth;
}

// The next frames of sound, both channels mixed to one.
std::vector<float> Render(Synthesizer& synth, std::size_t frames) {
    std::vector<float> left(frames);
    std::vector<float> right(frames);
    synth.Render(left.data(), right.data(), int(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        left[i] = (left[i] + right[i]) / 2;
    }
    return left;
}

double Rms(const std::vector<float>& samples) {
    return Rms(samples, 0, samples.size());
}

void Send(Synthesizer& synth, std::uint32_t msg) {
    ASSERT_EQ(synth.ShortMsg(msg), MidiResult::NoError) << std::hex << msg;
}

TEST(Synthesizer, LoadsTheSystemGeneralMidiSoundFont) {
    EXPECT_TRUE(Synthesizer::SoundFontCandidates("/nonexistent/folder").empty());
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    ASSERT_FALSE(soundFonts.empty()) << "install timgm6mb-soundfont";
    Synthesizer synth;
    EXPECT_TRUE(synth.LoadSoundFont(soundFonts.front()));
}

TEST(Synthesizer, RefusesFilesThatAreNoSoundFontQuietly) {
    // A file that starts like a soundfont and then stops.
    const std::filesystem::path cut = std::filesystem::temp_directory_path() /
                                      ("kadrel-cut-" + std::to_string(getpid()) + ".sf2");
    {
        std::ofstream out(cut, std::ios::binary);
        out << "RIFF" << std::string("\x40\x00\x00\x00", 4) << "sfbkLIST" << std::string(8, '\0');
    }
    Synthesizer synth;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(synth.LoadSoundFont("/nonexistent/none.sf2"));
    EXPECT_FALSE(synth.LoadSoundFont("/etc/hostname"));
    EXPECT_FALSE(synth.LoadSoundFont(cut.string()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::filesystem::remove(cut);
}

TEST(Synthesizer, NoteSoundsWhileOnAndDecaysAfterNoteOff) {
    auto synth = LoadedSynthesizer();
    ASSERT_NE(synth, nullptr);
    const std::vector<float> before = Render(*synth, Ms(200));
    Send(*synth, noteOnC4);
    const std::vector<float> on = Render(*synth, Ms(500));
    Send(*synth, noteOffC4);
    const std::vector<float> after = Render(*synth, Ms(1500));

    EXPECT_LT(Rms(before), 1e-6);
    const double sounding = Rms(on, Ms(50), Ms(450));
    EXPECT_GT(sounding, 0.005);
    EXPECT_NEAR(PitchHz(on, Ms(100), Ms(100) + 4096, rate), 261.6, 261.6 * 0.02);
    // Released, the note fades: every 250 ms quieter than the last, nearly gone after a second.
    double previous = sounding;
    for (int start = 0; start < 1500; start += 250) {
        const double level = Rms(after, Ms(start), Ms(start + 250));
        EXPECT_LT(level, previous) << "at " << start << " ms after the note off";
        previous = level;
    }
    EXPECT_LT(Rms(after, Ms(1000), Ms(1500)), sounding * 0.01);
}

TEST(Synthesizer, NoteOnWithVelocityZeroEndsTheNote) {
    auto synth = LoadedSynthesizer();
    ASSERT_NE(synth, nullptr);
    Send(*synth, flute);
    Send(*synth, noteOnC4);
    const double sounding = Rms(Render(*synth, Ms(300)));
    Send(*synth, 0x00003C90);
    Render(*synth, Ms(700));
    EXPECT_LT(Rms(Render(*synth, Ms(200))), sounding * 0.01);
}

// The relative level of a held note late in its life: a struck note fades while it is held,
// a blown one does not.
double Sustain(std::uint32_t program) {
    auto synth = LoadedSynthesizer();
    if (synth == nullptr) {
        return 0.0;
    }
    synth->ShortMsg(program);
    synth->ShortMsg(noteOnC4);
    const std::vector<float> on = Render(*synth, Ms(1500));
    return Rms(on, Ms(1200), Ms(1500)) / Rms(on, Ms(50), Ms(250));
}

TEST(Synthesizer, ProgramChangeChangesTheInstrument) {
    // The soundfont starts every channel on program 0, the piano.
    const double piano = Sustain(0x000000C0);
    const double held = Sustain(flute);
    EXPECT_LT(piano, 0.5);
    EXPECT_GT(held, 0.8);

    // A sawtooth lead is much brighter than a flute on the same note.
    auto synth = LoadedSynthesizer();
    ASSERT_NE(synth, nullptr);
    Send(*synth, flute);
    Send(*synth, noteOnC4);
    const std::vector<float> flutey = Render(*synth, Ms(400));
    Send(*synth, noteOffC4);
    Render(*synth, Ms(1000));
    Send(*synth, sawLead);
    Send(*synth, noteOnC4);
    const std::vector<float> bright = Render(*synth, Ms(400));
    EXPECT_GT(SpectralCentroidHz(bright, Ms(100), Ms(100) + 4096, rate),
              1.3 * SpectralCentroidHz(flutey, Ms(100), Ms(100) + 4096, rate));
}

TEST(Synthesizer, ProgramChangeOnOneChannelLeavesTheOthers) {
    auto synth = LoadedSynthesizer();
    ASSERT_NE(synth, nullptr);
    Send(*synth, 0x000049C1); // flute on channel 1 only
    Send(*synth, noteOnC4);   // channel 0: still the piano
    const std::vector<float> on = Render(*synth, Ms(1500));
    EXPECT_LT(Rms(on, Ms(1200), Ms(1500)) / Rms(on, Ms(50), Ms(250)), 0.5);
}

TEST(Synthesizer, PitchBendAndControlChangeReachTheSound) {
    struct Case {
        const char* name;
        std::uint32_t before; // sent before the note
        double pitchHz;       // 0: not measured
        double levelAtMost;   // relative to the plain note
    };
    const Case cases[] = {
        {"no change", 0x000049C0, 261.6, 1.5},
        {"bend fully up: two semitones", 0x007F7FE0, 293.7, 1.5},
        {"bend fully down", 0x000000E0, 233.1, 1.5},
        {"bend centre", 0x004000E0, 261.6, 1.5},
        {"channel volume 0", 0x000007B0, 0.0, 0.01},
    };
    auto plain = LoadedSynthesizer();
    ASSERT_NE(plain, nullptr);
    Send(*plain, flute);
    Send(*plain, noteOnC4);
    const double plainLevel = Rms(Render(*plain, Ms(500)), Ms(100), Ms(500));
    for (const Case& c : cases) {
        auto synth = LoadedSynthesizer();
        ASSERT_NE(synth, nullptr);
        Send(*synth, flute);
        Send(*synth, c.before);
        Send(*synth, noteOnC4);
        const std::vector<float> on = Render(*synth, Ms(500));
        if (c.pitchHz > 0.0) {
            EXPECT_NEAR(PitchHz(on, Ms(100), Ms(100) + 4096, rate), c.pitchHz, c.pitchHz * 0.02)
                << c.name;
        }
        EXPECT_LE(Rms(on, Ms(100), Ms(500)), plainLevel * c.levelAtMost) << c.name;
    }
}

TEST(Synthesizer, SystemResetEndsSoundingNotes) {
    auto synth = LoadedSynthesizer();
    ASSERT_NE(synth, nullptr);
    Send(*synth, flute);
    Send(*synth, noteOnC4);
    const double sounding = Rms(Render(*synth, Ms(200)));
    ASSERT_GT(sounding, 0.005);
    Send(*synth, 0x000000FF);
    // Released rather than cut: a held flute would keep its level all this time.
    Render(*synth, Ms(500));
    EXPECT_LT(Rms(Render(*synth, Ms(100))), sounding * 0.05);
}

TEST(Synthesizer, RefusesWhatIsNoCompleteMessageAndPlaysNothing) {
    const std::uint32_t refused[] = {
        0x00007F3C, // running status: no status byte
        0x000000F0, // system exclusive cannot be a short message
        0x000000F7,
        0x000000F4, // undefined system common
        0x00FF3C90, // velocity 255
        0x007FC890, // note 200
        0x0000C8C0, // program 200
    };
    auto synth = LoadedSynthesizer();
    ASSERT_NE(synth, nullptr);
    for (const std::uint32_t msg : refused) {
        EXPECT_EQ(synth->ShortMsg(msg), MidiResult::InvalidParam) << std::hex << msg;
    }
    EXPECT_LT(Rms(Render(*synth, Ms(300))), 1e-6);
}

} // namespace
} // namespace kadrel
