#include "PeerCommands.h"
#include "SongGenerator.h"
#include "midi/ByteStream.h"
#include "midi/devices/Synthesizer.h"
#include "render/WavRender.h"
#include "song/SongConversion.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sys/resource.h>

namespace kadrel::bench {
namespace {

constexpr std::int64_t SongPositions = 2000; // 60 s at 30 ms per position

using BenchSong = Song;

// The generator's dense 16-track song, cut to the notes that end within 60 s: each track
// plays one short note after another with a different instrument.
BenchSong DenseSong() {
    Song song;
    ImportSong(MakeSong(16, 16 * 250), song, {});
    std::erase_if(song.Notes, [](const TMidiNote& note) { return note.EndPos() >= SongPositions; });
    return song;
}

// The worst case: a new note on every one of the 16 tracks at every position, so that the
// synthesizer runs out of voices and steals them all the time.
BenchSong NoteEveryPositionSong() {
    BenchSong song;
    for (int track = 0; track < 16; ++track) {
        song.Tracks.push_back({"", track, static_cast<std::uint8_t>(10 + track * 7)});
        for (int pos = 0; pos + 1 < SongPositions; ++pos)
            song.Notes.push_back(TMidiNote{static_cast<std::uint8_t>(40 + (pos + track) % 40), pos,
                                           1, static_cast<std::uint8_t>(track),
                                           static_cast<std::uint16_t>(track)});
    }
    return song;
}

// Processor time of the whole process, every thread included.
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Renders the whole song into the bytes of a WAV file (soundfont loading included, as each
// export does it) with state.range(0) threads (0: one per processor) and reports how many
// times faster than real time that went (x_realtime), and how many seconds of sound each
// second of processor time gave (x_per_cpu), which other programs on the machine do not skew.
void RenderBench(benchmark::State& state, const BenchSong& song) {
    const int threads = static_cast<int>(state.range(0));
    double audioSeconds = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        const std::optional<ByteStream> wav = RenderWavBytes(song, {}, threads);
        wallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        cpuSeconds += ProcessCpuSeconds() - cpu0;
        audioSeconds += static_cast<double>((wav->Size() - 44) / 4) / RenderSampleRate;
    }
    state.counters["notes"] = static_cast<double>(song.Notes.size());
    state.counters["audio_s"] = audioSeconds / static_cast<double>(state.iterations());
    state.counters["x_realtime"] = audioSeconds / wallSeconds;
    state.counters["x_per_cpu"] = audioSeconds / cpuSeconds;
}

void BM_RenderDenseSixtySeconds(benchmark::State& state) {
    RenderBench(state, DenseSong());
}
BENCHMARK(BM_RenderDenseSixtySeconds)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_RenderNoteEveryPositionSixtySeconds(benchmark::State& state) {
    RenderBench(state, NoteEveryPositionSong());
}
BENCHMARK(BM_RenderNoteEveryPositionSixtySeconds)
    ->ArgName("threads")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// kadrel-render beside fluidsynth's own file player (fluidsynth -F) on the same file, each a
// whole command from the file to the WAV file, soundfont loading included: a minute at 480
// ticks per quarter note, 16 tracks of 250 notes with velocities, controllers and pitch bends.
class PeerRenderFiles {
public:
    PeerRenderFiles() {
        namespace fs = std::filesystem;
        const fs::path folder = fs::temp_directory_path();
        song = (folder / "kadrel-bench-render.mid").string();
        wav = (folder / "kadrel-bench-render.wav").string();
        ByteStream(MakeRichSongBytes(16, 16 * 250, 153)).SaveToFile(song);
        std::error_code error;
        render =
            (fs::read_symlink("/proc/self/exe", error).parent_path() / "kadrel-render").string();
    }
    ~PeerRenderFiles() {
        std::error_code ignored;
        std::filesystem::remove(song, ignored);
        std::filesystem::remove(wav, ignored);
    }
    std::string song;
    std::string wav;
    std::string render;
};

void RenderCommand(benchmark::State& state, bool peer) {
    static const PeerRenderFiles files;
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    if (soundFonts.empty()) {
        state.SkipWithError("no soundfont");
        return;
    }
    const std::vector<std::string> command =
        peer ? std::vector<std::string>{"fluidsynth", "-ni",         "-q",      "-r",
                                        "44100",      "-g",          "0.2",     "-F",
                                        files.wav,    soundFonts[0], files.song}
             : std::vector<std::string>{files.render, files.song, files.wav};
    for (auto _ : state) {
        const double seconds = RunTimed(command);
        if (seconds < 0) {
            state.SkipWithError(peer ? "cannot run fluidsynth" : "cannot run kadrel-render");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["audio_s"] = MegaBytes(files.wav) * 1e6 / (RenderSampleRate * 4.0);
}

void BM_RenderKadrelCommand(benchmark::State& state) {
    RenderCommand(state, false);
}
void BM_RenderFluidsynthPeer(benchmark::State& state) {
    RenderCommand(state, true);
}
BENCHMARK(BM_RenderKadrelCommand)
    ->Name("Render/kadrel_render_command")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_RenderFluidsynthPeer)
    ->Name("Render/fluidsynth_peer")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
} // namespace kadrel::bench
