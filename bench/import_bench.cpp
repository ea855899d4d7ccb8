// "Importer un fichier MIDI..." and Enregistrer of the imported song, on the bench's songs of
// 1,000,000 notes (see ImportFiles.h), beside midicsv reading the same files. midicsv runs as a
// whole command writing its text to /dev/null; Kadrel's figures are in process: the Qt-free
// import from the file (reading, parsing, building the song as the file is), the parse alone,
// the save of the imported song, and how much memory the song takes for each note.

#include "ImportFiles.h"
#include "PeerCommands.h"
#include "midi/ByteStream.h"
#include "song/SongSave.h"
#include "song/TolerantImport.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace kadrel::bench {
namespace {

// What a song holds in memory: its notes, rows, file tracks with their events and payloads.
double SongBytes(const Song& song) {
    double bytes = static_cast<double>(song.Notes.capacity() * sizeof(TMidiNote) +
                                       song.Tracks.capacity() * sizeof(SongTrack) +
                                       song.FileTracks.capacity() * sizeof(FileTrack));
    for (const SongTrack& row : song.Tracks)
        bytes += static_cast<double>(row.Name.capacity());
    for (const FileTrack& track : song.FileTracks)
        bytes += static_cast<double>(track.Events.capacity() * sizeof(KeptEvent) +
                                     track.Payloads.capacity());
    return bytes;
}

void ImportMidicsvPeer(benchmark::State& state) {
    const ImportFiles& files = Files();
    const std::string& path = files.paths[state.range(0)];
    if (!files.Ready()) {
        state.SkipWithError("cannot write the songs to /tmp");
        return;
    }
    for (auto _ : state) {
        const double seconds = RunTimed({"midicsv", path, "/dev/null"});
        if (seconds < 0) {
            state.SkipWithError("cannot run midicsv");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["input_MB"] = MegaBytes(path);
}

void ImportKadrel(benchmark::State& state) {
    const std::string& path = Files().paths[state.range(0)];
    std::size_t notes = 0;
    std::size_t rows = 0;
    double bytes = 0;
    for (auto _ : state) {
        const TolerantImport imported = ImportMidiFile(path);
        notes = imported.Content.Notes.size();
        rows = imported.Content.Tracks.size();
        bytes = SongBytes(imported.Content);
    }
    state.counters["notes"] = static_cast<double>(notes);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["input_MB"] = MegaBytes(path);
    state.counters["song_MB"] = bytes / 1e6;
    state.counters["song_bytes_per_note"] = bytes / static_cast<double>(notes);
}

// The tolerant reader alone, on the bytes in memory; event_MB is what its events take.
void ImportReaderOnly(benchmark::State& state) {
    ByteStream stream;
    stream.LoadFromFile(Files().paths[state.range(0)]);
    std::size_t eventBytes = 0;
    for (auto _ : state) {
        const SmfFile file = ReadSmf(stream.Bytes());
        eventBytes = 0;
        for (const SmfTrack& track : file.Tracks)
            eventBytes += track.Events.capacity() * sizeof(SmfEvent);
        benchmark::DoNotOptimize(file.Tracks.data());
    }
    state.counters["event_MB"] = static_cast<double>(eventBytes) / 1e6;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.Size()));
}

// Enregistrer of the imported song: its file built and written (the song unchanged, so the
// file comes back as it was).
void SaveKadrel(benchmark::State& state) {
    const Song song = ImportMidiFile(Files().paths[state.range(0)]).Content;
    const std::string out =
        (std::filesystem::temp_directory_path() / "kadrel-bench-saved-import.mid").string();
    for (auto _ : state)
        SaveSong(song, out);
    state.counters["output_MB"] = MegaBytes(out);
    std::filesystem::remove(out);
}

void FileArgs(benchmark::internal::Benchmark* b) {
    b->ArgName("file")->DenseRange(0, ImportFiles::Count - 1);
}

BENCHMARK(ImportMidicsvPeer)
    ->Name("Import/midicsv_peer")
    ->Apply(FileArgs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(ImportKadrel)
    ->Name("Import/kadrel")
    ->Apply(FileArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(ImportReaderOnly)
    ->Name("Import/kadrel_reader_only")
    ->Apply(FileArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(SaveKadrel)
    ->Name("Import/kadrel_save")
    ->Apply(FileArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace kadrel::bench
