#include "RenderedWav.h"
#include "core/ChildProcess.h"
#include "core/SmfBytes.h"
#include "core/TempDir.h"
#include "midi/devices/Synthesizer.h"
#include "render/RenderCommand.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sstream>

namespace kadrel::test {
namespace {

// Events at absolute ticks, made a track chunk's data (by tick, in the order given within one).
Bytes TrackOf(std::vector<std::pair<std::uint32_t, Bytes>> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    Bytes data;
    std::uint32_t last = 0;
    for (const auto& [tick, bytes] : events) {
        data = Cat({data, Vlq(tick - last), bytes});
        last = tick;
    }
    return Cat({data, EndOfTrack});
}

Bytes Tempo(std::uint32_t us) {
    return {0xFF,
            0x51,
            3,
            static_cast<std::uint8_t>(us >> 16),
            static_cast<std::uint8_t>(us >> 8),
            static_cast<std::uint8_t>(us)};
}

// Format 1 at 480: tempo changes in a conductor track, a piano at four velocities with volume
// and pan changes, a flute with a pitch bend.
Bytes TemposAndControllers() {
    std::vector<std::pair<std::uint32_t, Bytes>> piano = {
        {0, {0xC0, 0}}, {960, {0xB0, 7, 60}}, {2880, {0xB0, 7, 110}}, {3840, {0xB0, 10, 10}}};
    const int notes[] = {60, 64, 67, 72, 67, 64, 60, 55, 60, 64, 67, 72};
    for (std::uint32_t i = 0; i < 12; ++i) {
        piano.push_back({i * 480,
                         {0x90, static_cast<std::uint8_t>(notes[i]),
                          static_cast<std::uint8_t>(40 + 29 * (i % 4))}});
        piano.push_back({i * 480 + 240, {0x80, static_cast<std::uint8_t>(notes[i]), 0}});
    }
    return Smf(1, 480,
               {TrackOf({{0, Tempo(500000)}, {1920, Tempo(750000)}, {3840, Tempo(300000)}}),
                TrackOf(piano),
                TrackOf({{0, {0xC1, 73}},
                         {0, {0x91, 72, 90}},
                         {1440, {0x81, 72, 0}},
                         {1920, {0x91, 74, 50}},
                         {2880, {0xE1, 0, 0x60}},
                         {3360, {0xE1, 0, 0x40}},
                         {3840, {0x81, 74, 0}}})});
}

// Format 0 at 96 with running status: a GM reset, two tempos, drums and a bass whose notes end
// with note-ons of velocity 0, a pitch bend, a sustain pedal, expression, a program change
// half-way.
Bytes PedalsBendsAndPrograms() {
    std::vector<std::pair<std::uint32_t, Bytes>> events = {
        {0, {0xF0, 5, 0x7E, 0x7F, 9, 1, 0xF7}},
        {0, Tempo(666667)},
        {0, {0xC0, 33}},
        {0, {0xC1, 0}},
        {768, Tempo(400000)},
        {768, {0xC1, 19}},
        {192, {0xE0, 0, 0x50}},
        {288, {0xE0, 0, 0x40}},
        {384, {0xB1, 64, 127}},
        {384, {0x91, 60, 90}},
        {414, {0x81, 60, 0}},
        {480, {0x91, 64, 90}},
        {510, {0x81, 64, 0}},
        {672, {0xB1, 64, 0}},
        {864, {0x91, 67, 110}},
        {960, {0xB1, 11, 40}},
        {1056, {0xB1, 11, 127}},
        {1152, {0x81, 67, 0}},
    };
    for (std::uint32_t i = 0; i < 16; ++i) {
        const auto drum = static_cast<std::uint8_t>(i % 2 == 0 ? 36 : 38);
        const auto bass = static_cast<std::uint8_t>(40 + i % 5);
        events.push_back({i * 96, {0x99, drum, static_cast<std::uint8_t>(60 + 4 * i)}});
        events.push_back({i * 96 + 10, {0x89, drum, 0}});
        events.push_back({i * 96, {0x90, bass, static_cast<std::uint8_t>(100 - 3 * i)}});
        events.push_back({i * 96 + 70, {0x90, bass, 0}});
    }
    return Smf(0, 96, {TrackOf(events)});
}

// The frames where sound starts after at least 45 ms of silence (both channels within 30 of
// 0, above fluidsynth's dither), and the last frame that sounds.
struct Onsets {
    std::vector<std::size_t> Starts;
    std::size_t Last = 0;
};

Onsets OnsetsOf(const RenderedWav& wav) {
    Onsets onsets;
    std::size_t quiet = SIZE_MAX;
    for (std::size_t f = 0; f < wav.Frames(); ++f) {
        if (std::abs(wav.Samples[2 * f]) > 30 || std::abs(wav.Samples[2 * f + 1]) > 30) {
            if (quiet >= 2000)
                onsets.Starts.push_back(f);
            quiet = 0;
            onsets.Last = f;
        } else if (quiet != SIZE_MAX) {
            ++quiet;
        }
    }
    return onsets;
}

RenderedWav RenderedByKadrel(const TempDir& dir, const std::string& song) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunRenderCommand({song, dir / "kadrel.wav"}, out, err), RenderOk) << err.str();
    return ReadWav(dir / "kadrel.wav");
}

RenderedWav RenderedByFluidsynth(const TempDir& dir, const std::string& song) {
    const std::string soundFont = Synthesizer::SoundFontCandidates().at(0);
    const std::string wav = dir / "fluidsynth.wav";
    const ChildResult child = RunInChild([&](const auto&) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("fluidsynth", "fluidsynth", "-ni", "-q", "-r", "44100", "-g", "0.2", "-F",
                 wav.c_str(), soundFont.c_str(), song.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
    EXPECT_EQ(child.status, 0) << "fluidsynth (Debian package fluidsynth) could not render";
    return ReadWav(wav);
}

// A file rendered by kadrel-render sounds as fluidsynth's own file player renders it with the
// same soundfont and gain: the same onsets, the same loudness every 50 ms, the sound ending
// together. Onsets agree within four of the player's 64-frame blocks (5.8 ms): it starts each
// event at a block and keeps its clock in milliseconds, which drifts after tempo changes.
TEST(PeerRender, KadrelRenderSoundsAsFluidsynthsFilePlayer) {
    const struct {
        const char* name;
        Bytes file;
        std::size_t onsets;
    } cases[] = {
        {"tempo changes, velocities, controllers", TemposAndControllers(), 2},
        {"sysex, pedal, bends, a program change", PedalsBendsAndPrograms(), 10},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "song.mid", c.file);
        const RenderedWav kadrel = RenderedByKadrel(dir, dir / "song.mid");
        const RenderedWav peer = RenderedByFluidsynth(dir, dir / "song.mid");
        const Onsets mine = OnsetsOf(kadrel);
        const Onsets theirs = OnsetsOf(peer);
        ASSERT_EQ(mine.Starts.size(), c.onsets) << c.name;
        ASSERT_EQ(theirs.Starts.size(), c.onsets) << c.name;
        for (std::size_t i = 0; i < c.onsets; ++i)
            EXPECT_NEAR(double(mine.Starts[i]), double(theirs.Starts[i]), 4 * 64.0)
                << c.name << ", onset " << i;
        EXPECT_NEAR(double(mine.Last), double(theirs.Last), 4410.0) << c.name;

        constexpr std::size_t Window = 2205;
        double sum = 0;
        double worst = 0;
        int loud = 0;
        for (std::size_t f = 0; f + Window <= std::min(kadrel.Frames(), peer.Frames());
             f += Window) {
            const double a = kadrel.Rms(f, f + Window);
            const double b = peer.Rms(f, f + Window);
            if (std::max(a, b) < 32) // -60 dB of full scale
                continue;
            const double db = std::abs(20 * std::log10((a + 1e-9) / (b + 1e-9)));
            sum += db;
            worst = std::max(worst, db);
            ++loud;
        }
        ASSERT_GT(loud, 40) << c.name;
        EXPECT_LT(sum / loud, 0.5) << c.name;
        EXPECT_LT(worst, 3.0) << c.name;
    }
}

} // namespace
} // namespace kadrel::test
