// "Importer un fichier MIDI..." on the 16-track, 1,000,000-note song, in the form Kadrel writes
// it (every status byte, note-offs) and as many other programs write the same song (running
// status, note-ons of velocity 0 as note-offs), beside midicsv reading the same files. midicsv
// runs as a whole command writing its text to /dev/null; Kadrel's figures are in process: the
// Qt-free import from the file (reading, parsing, building the notes and rows), the parse alone,
// and the editor's whole command, the rows and the first track's score included.

#include "BenchDialogs.h"
#include "PeerCommands.h"
#include "SongGenerator.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/UserDialogs.h"
#include "midi/ByteStream.h"
#include "midi/RecordingMidiOut.h"
#include "midi/SmfReader.h"
#include "midi/SmfWriter.h"
#include "song/TolerantImport.h"
#include "tests/editor/WindowAccess.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kadrel::bench {
namespace {

namespace fs = std::filesystem;

// The same song twice, in a private folder of /tmp removed at exit.
class ImportFiles {
public:
    ImportFiles() {
        std::string pattern = (fs::temp_directory_path() / "kadrel-import-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        folder_ = pattern;
        const std::vector<std::uint8_t> plain = MakeSongBytes(16, 1'000'000);
        // Note-offs become note-ons of velocity 0, and every status byte that repeats is left
        // out: most sequencers write files so.
        SmfFile song = ReadSmf(plain);
        for (SmfTrack& track : song.Tracks)
            for (SmfEvent& e : track.Events)
                if (e.Kind() == 0x80) {
                    e.Status = static_cast<std::uint8_t>(0x90 | e.Channel());
                    e.Data2 = 0;
                }
        const std::vector<std::uint8_t> running = WriteSmf(song, SmfRunningStatus::Always);
        paths[0] = (fs::path(folder_) / "full-status.mid").string();
        paths[1] = (fs::path(folder_) / "running-status.mid").string();
        ByteStream(plain).SaveToFile(paths[0]);
        ByteStream(running).SaveToFile(paths[1]);
    }
    ~ImportFiles() {
        if (!folder_.empty()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }
    bool Ready() const { return !folder_.empty(); }

    std::string paths[2];

private:
    std::string folder_;
};

const ImportFiles& Files() {
    static const ImportFiles files;
    return files;
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
    const ImportFiles& files = Files();
    const std::string& path = files.paths[state.range(0)];
    std::size_t notes = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        const TolerantImport song = ImportMidiFile(path);
        notes = song.Notes.size();
        rows = song.Tracks.size();
    }
    state.counters["notes"] = static_cast<double>(notes);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["input_MB"] = MegaBytes(path);
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

// The whole command in the window: reading, converting, the rows, the first track's score.
void ImportEditor(benchmark::State& state) {
    BenchDialogs dialogs; // OK to the summary box
    dialogs.Answer = QMessageBox::Ok;
    dialogs.FileToOpen = QString::fromStdString(Files().paths[state.range(0)]);
    RecordingMidiOut out;
    RealPlaybackClock clock;
    TMain window(dialogs, out, clock);
    for (auto _ : state) {
        test::WindowAccess::Document(window).MarkSaved();
        window.ImporterClick();
    }
    state.counters["notes"] =
        static_cast<double>(test::WindowAccess::Document(window).Content().Notes.size());
    test::WindowAccess::Document(window).MarkSaved();
}

void FileArgs(benchmark::internal::Benchmark* b) {
    b->ArgName("file")->Arg(0)->Arg(1);
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
BENCHMARK(ImportEditor)
    ->Name("Import/kadrel_editor")
    ->Apply(FileArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
} // namespace kadrel::bench
