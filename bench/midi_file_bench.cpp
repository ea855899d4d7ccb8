#include "SongGenerator.h"
#include "midi/ByteStream.h"
#include "midi/Midi.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

namespace kadrel::bench {
namespace {

// 16 tracks, 1,000,000 notes: about 8 MB, the size of a large orchestral file many times over.
const std::vector<std::uint8_t>& BigSongBytes() {
    static const auto bytes = MakeSongBytes(16, 1'000'000);
    return bytes;
}

const std::string& BigSongFile() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "kadrel-bench-song.mid").string();
        ByteStream(BigSongBytes()).SaveToFile(p);
        return p;
    }();
    return path;
}

void BM_MidiLoadFromFile(benchmark::State& state) {
    const std::string& path = BigSongFile();
    for (auto _ : state) {
        TMidi midi;
        midi.LoadFromFile(path);
        benchmark::DoNotOptimize(midi.Tracks.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigSongBytes().size()));
}
BENCHMARK(BM_MidiLoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MidiSaveToFile(benchmark::State& state) {
    TMidi midi;
    midi.LoadFromFile(BigSongFile());
    const std::string out =
        (std::filesystem::temp_directory_path() / "kadrel-bench-saved.mid").string();
    for (auto _ : state)
        midi.SaveToFile(out);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigSongBytes().size()));
    std::remove(out.c_str());
}
BENCHMARK(BM_MidiSaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MidiLoadFromMemory(benchmark::State& state) {
    for (auto _ : state) {
        ByteStream stream(BigSongBytes());
        TMidi midi;
        midi.LoadFromStream(stream);
        benchmark::DoNotOptimize(midi.Tracks.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigSongBytes().size()));
}
BENCHMARK(BM_MidiLoadFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MidiSaveToMemory(benchmark::State& state) {
    ByteStream source(BigSongBytes());
    TMidi midi;
    midi.LoadFromStream(source);
    for (auto _ : state) {
        ByteStream stream;
        midi.SaveToStream(stream);
        benchmark::DoNotOptimize(stream.Bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigSongBytes().size()));
}
BENCHMARK(BM_MidiSaveToMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace kadrel::bench
