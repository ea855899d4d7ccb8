#include "BenchDialogs.h"
#include "ImportFiles.h"
#include "SongGenerator.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "midi/RecordingMidiOut.h"
#include "song/Resolution.h"
#include "tests/editor/WindowAccess.h"

#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include <malloc.h>
#include <sys/resource.h>

namespace kadrel::bench {
namespace {

using test::WindowAccess;

SongDocument& Document(TMain& window) {
    return WindowAccess::Document(window);
}

// Answers every question of the editor without a person: the file to open, "Non" to saving.
const std::string& SongFile() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "kadrel-bench-editor.mid").string();
        ByteStream(MakeSongBytes(16, 1'000'000)).SaveToFile(p);
        return p;
    }();
    return path;
}

// Opening a 16-track, 1,000,000-note file: reading, converting, and showing the first track.
void BM_EditorOpenMillionNotes(benchmark::State& state) {
    BenchDialogs dialogs;
    dialogs.FileToOpen = QString::fromStdString(SongFile());
    RecordingMidiOut out;
    RealPlaybackClock clock;
    TMain window(dialogs, out, clock);
    for (auto _ : state) {
        Document(window).MarkSaved();
        window.OuvrirClick();
        benchmark::DoNotOptimize(Document(window).Content().Notes.size());
    }
    state.counters["notes"] = static_cast<double>(Document(window).Content().Notes.size());
    Document(window).MarkSaved();
}
BENCHMARK(BM_EditorOpenMillionNotes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_EditorSaveMillionNotes(benchmark::State& state) {
    BenchDialogs dialogs;
    dialogs.FileToOpen = QString::fromStdString(SongFile());
    RecordingMidiOut out;
    RealPlaybackClock clock;
    TMain window(dialogs, out, clock);
    window.OuvrirClick();
    const std::string saved =
        (std::filesystem::temp_directory_path() / "kadrel-bench-editor-saved.mid").string();
    Document(window).SetFileName(saved);
    for (auto _ : state)
        window.EnregistrerClick();
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(saved));
    std::filesystem::remove(saved);
}
BENCHMARK(BM_EditorSaveMillionNotes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A song whose last note ends near the last position a note can reach saves as fast as one
// that ends early: the export never walks tick by tick.
void BM_EditorSaveSongEndingNearTick2Pow31(benchmark::State& state) {
    BenchDialogs dialogs;
    RecordingMidiOut out;
    RealPlaybackClock clock;
    TMain window(dialogs, out, clock);
    Document(window).SetFileName(
        (std::filesystem::temp_directory_path() / "kadrel-bench-far.mid").string());
    TTrackInfo trackInfo(&window);
    window.SetTrackInfo(&trackInfo);
    dialogs.AcceptTrackInfo = true;
    window.AddTrackClick();
    Document(window).AppendNotes(
        {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{62, 0x7FFFFF00, 0xF0, 0, 0}}, NoteEdit::Paste);
    dialogs.FileToOpen.clear();
    for (auto _ : state)
        window.EnregistrerClick();
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(Document(window).FileName()));
    std::filesystem::remove(Document(window).FileName());
}
BENCHMARK(BM_EditorSaveSongEndingNearTick2Pow31)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- undo and redo ---

// A one-track song of the generator, written once per size.
const std::string& OneTrackSongFile(int notes) {
    static std::map<int, std::string> paths;
    auto& path = paths[notes];
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path() /
                ("kadrel-bench-one-track-" + std::to_string(notes) + ".mid"))
                   .string();
        ByteStream(MakeSongBytes(1, notes)).SaveToFile(path);
    }
    return path;
}

// The generator's rich song at 480 ticks per quarter note, one track of `notes` notes, written
// once per size.
const std::string& OneTrackRichFile(int notes) {
    static std::map<int, std::string> paths;
    auto& path = paths[notes];
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path() /
                ("kadrel-bench-one-track-480-" + std::to_string(notes) + ".mid"))
                   .string();
        ByteStream(MakeRichSongBytes(1, notes)).SaveToFile(path);
    }
    return path;
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

// What one note takes in the song: notes are values in one vector.
double HeapPerNote() {
    return static_cast<double>(sizeof(TMidiNote));
}

// The window with a one-track song opened by Ouvrir (or a file at 480 ticks per quarter note
// imported as it is), every note of it selected by Tout sélectionner and one step made on them
// by the real handlers.
class EditedWindow {
public:
    EditedWindow(int notes, const std::function<void(TMain&)>& step, bool imported = false)
        : window_(dialogs_, out_, clock_) {
        window_.resize(871, 444);
        window_.show();
        dialogs_.FileToOpen =
            QString::fromStdString(imported ? OneTrackRichFile(notes) : OneTrackSongFile(notes));
        if (imported)
            window_.ImporterClick();
        else
            window_.OuvrirClick();
        window_.ToutSelectionnerClick();
        step(window_);
    }
    ~EditedWindow() { Document(window_).MarkSaved(); }

    TMain& Window() { return window_; }

    // Reports the memory that the history holds (the step's lists, and the records of the
    // notes it took out of the song), then empties it.
    void CountHistory(benchmark::State& state, std::size_t notesHeld) {
        const std::size_t before = HeapInUse();
        Document(window_).History().clear();
        const double held = static_cast<double>(before - HeapInUse());
        const double records = HeapPerNote() * static_cast<double>(notesHeld);
        state.counters["history_MB"] = held / 1e6;
        state.counters["step_lists_MB"] = (held - records) / 1e6;
    }

private:
    BenchDialogs dialogs_;
    RecordingMidiOut out_;
    RealPlaybackClock clock_;
    TMain window_;
};

void DeleteAll(TMain& window) {
    window.FormKeyDown(TMain::KeyDelete);
}

// Drags the selection 16 grid positions later and a semitone up.
void DragAll(TMain& window) {
    TPartitionNote* grabbed = WindowAccess::Ui(window).Partition->NoteList().front().get();
    const std::int32_t pos =
        static_cast<std::int32_t>(GridPosition(grabbed->Pos, Document(window).Content().Division));
    const auto num = static_cast<std::uint8_t>(grabbed->NoteNum);
    window.PartitionExtMouseDown(WindowAccess::Ui(window).Partition, Qt::LeftButton,
                                 {{}, Qt::LeftButton}, 400, 40, pos, pos, num, grabbed);
    window.PartitionExtMouseMove(WindowAccess::Ui(window).Partition, {{}, Qt::LeftButton}, 400, 40,
                                 pos + 16, pos + 16, static_cast<std::uint8_t>(num + 1), nullptr);
    window.PartitionExtMouseUp(WindowAccess::Ui(window).Partition, Qt::LeftButton, {}, 400, 40,
                               pos + 16, pos + 16, static_cast<std::uint8_t>(num + 1), nullptr);
}

// Undo (state.range(1) == 0) or redo of a step on every note of a one-track song of
// state.range(0) notes: Delete of the selection, or its drag.
void UndoRedo(benchmark::State& state, const std::function<void(TMain&)>& step, bool removes,
              bool imported = false) {
    const int notes = static_cast<int>(state.range(0));
    const bool undo = state.range(1) == 0;
    EditedWindow edited(notes, step, imported);
    TMain& window = edited.Window();
    if (Document(window).History().count() != 1)
        state.SkipWithError("the step was not one step of the history");
    for (auto _ : state) {
        if (!undo) {
            state.PauseTiming();
            window.AnnulerClick();
            state.ResumeTiming();
        }
        (undo ? window.AnnulerClick() : window.RetablirClick());
        if (undo) {
            state.PauseTiming();
            window.RetablirClick();
            state.ResumeTiming();
        }
    }
    state.counters["notes"] = notes;
    edited.CountHistory(state, removes ? static_cast<std::size_t>(notes) : 0);
}

void BM_EditorUndoRedoDeleteAll(benchmark::State& state) {
    UndoRedo(state, DeleteAll, true);
}
BENCHMARK(BM_EditorUndoRedoDeleteAll)
    ->ArgNames({"notes", "redo"})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The same on the file at 480 ticks per quarter note with velocities and controllers, imported
// as it is.
void BM_EditorUndoRedoDeleteAllImported(benchmark::State& state) {
    UndoRedo(state, DeleteAll, true, true);
}
BENCHMARK(BM_EditorUndoRedoDeleteAllImported)
    ->ArgNames({"notes", "redo"})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// What the bench's 1,000,000-note file at 480 ticks per quarter note (16 tracks, velocities,
// controllers) takes in the editor once imported, per note: the song, the score of its first
// track and the views (heap_B_per_note); then with the history of a drag of the shown track's
// notes (with_drag_B_per_note), a step that removes nothing.
void BM_EditorMemoryPerNote(benchmark::State& state) {
    for (auto _ : state) {
        BenchDialogs dialogs;
        dialogs.FileToOpen = QString::fromStdString(Files().paths[2]);
        RecordingMidiOut out;
        RealPlaybackClock clock;
        TMain window(dialogs, out, clock);
        window.resize(871, 444);
        window.show();
        malloc_trim(0);
        const std::size_t before = HeapInUse();
        window.ImporterClick();
        const std::size_t imported = HeapInUse();
        window.ToutSelectionnerClick();
        DragAll(window);
        const std::size_t dragged = HeapInUse();
        const auto notes = static_cast<double>(Document(window).Content().Notes.size());
        state.counters["notes"] = notes;
        state.counters["heap_B_per_note"] = static_cast<double>(imported - before) / notes;
        state.counters["with_drag_B_per_note"] = static_cast<double>(dragged - before) / notes;
        Document(window).MarkSaved();
    }
}
BENCHMARK(BM_EditorMemoryPerNote)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_EditorUndoRedoDragAll(benchmark::State& state) {
    UndoRedo(state, DragAll, false);
}
BENCHMARK(BM_EditorUndoRedoDragAll)
    ->ArgNames({"notes", "redo"})
    ->Args({100'000, 0})
    ->Args({100'000, 1})
    ->Args({1'000'000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// --- playback timing ---

// Keeps every short message with the real time it was sent, in microseconds.
class TimedOutput final : public MidiOutService {
public:
    std::uint32_t Open(std::uint32_t, MidiOutHandle& handle) override {
        handle = 1;
        return 0;
    }
    std::uint32_t ShortMsg(MidiOutHandle, std::uint32_t msg) override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        sent.push_back({std::chrono::duration_cast<std::chrono::microseconds>(now).count(), msg});
        return 0;
    }
    std::uint32_t Close(MidiOutHandle) override { return 0; }

    std::vector<std::pair<std::int64_t, std::uint32_t>> sent;
};

// The real clock, remembering the time at which the loop started (its first reading).
class WatchedClock final : public PlaybackClock {
public:
    std::uint32_t NowMs() const override {
        const std::uint32_t now = real_.NowMs();
        if (!started) {
            started = true;
            start = now;
        }
        return now;
    }
    void RunPendingUntil(std::uint32_t deadline) override { real_.RunPendingUntil(deadline); }

    mutable bool started = false;
    mutable std::uint32_t start = 0;

private:
    RealPlaybackClock real_;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Plays a dense 16-track song (a note on every track at every position) for 10 seconds with the
// real clock, and reports how late each note-on left against its deadline, and the processor
// time the whole process used meanwhile.
void BM_PlaybackTenSecondsDense(benchmark::State& state) {
    BenchDialogs dialogs;
    TimedOutput out;
    WatchedClock clock;
    TMain window(dialogs, out, clock);
    window.resize(871, 444);
    window.show();
    // Position q sounds note 40 + q mod 64 on every channel, so that a message tells its step.
    constexpr int Cycle = 64;
    Song song;
    for (int track = 0; track < 16; ++track) {
        song.Tracks.push_back({"", track, 0});
        for (int pos = 0; pos < 400; ++pos)
            song.Notes.push_back(TMidiNote{static_cast<std::uint8_t>(40 + pos % Cycle), pos, 1,
                                           static_cast<std::uint8_t>(track),
                                           static_cast<std::uint16_t>(track)});
    }
    Document(window).Replace(std::move(song), true);
    window.TrackListClick();

    std::vector<double> lateMs;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        out.sent.clear();
        clock.started = false;
        WindowAccess::Ui(window).Partition->SetCursorPos(0);
        QTimer::singleShot(10000, &window, [&window] { window.PausePlayClick(); });
        const double cpu0 = CpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        window.PlayClick();
        QCoreApplication::processEvents(); // runs the whole loop, until the pause
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        cpu = CpuSeconds() - cpu0;

        // The step that handles position q begins at start + 30 (q + 1) ms.
        const std::int64_t startUs = std::int64_t{clock.start} * 1000;
        lateMs.clear();
        for (const auto& [us, msg] : out.sent) {
            if ((msg & 0xF0) != 0x90)
                continue;
            const std::int64_t residue = (((msg >> 8) & 0x7F) - 40 + 1) % Cycle;
            std::int64_t step = (us - startUs) / 30000;
            while (step > 0 && step % Cycle != residue)
                --step;
            lateMs.push_back(static_cast<double>(us - startUs - step * 30000) / 1000.0);
        }
    }
    std::sort(lateMs.begin(), lateMs.end());
    auto percentile = [&](double p) {
        return lateMs.empty() ? 0.0
                              : lateMs[std::min(lateMs.size() - 1,
                                                static_cast<std::size_t>(p * lateMs.size()))];
    };
    state.counters["messages"] = static_cast<double>(lateMs.size());
    state.counters["late_median_ms"] = percentile(0.5);
    state.counters["late_p99_ms"] = percentile(0.99);
    state.counters["late_max_ms"] = lateMs.empty() ? 0.0 : lateMs.back();
    state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_PlaybackTenSecondsDense)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace kadrel::bench
