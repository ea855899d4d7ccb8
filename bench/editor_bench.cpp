#include "SongGenerator.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "midi/RecordingMidiOut.h"

#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sys/resource.h>

namespace kadrel::bench {
namespace {

// Answers every question of the editor without a person: the file to open, "Non" to saving.
class BenchDialogs final : public UserDialogs {
public:
    QMessageBox::StandardButton Message(QWidget*, QMessageBox::Icon, const QString&, const QString&,
                                        QMessageBox::StandardButtons) override {
        return QMessageBox::No;
    }
    bool ShowTrackInfo(TTrackInfo&) override { return AcceptTrackInfo; }
    QString OpenFileName(QWidget*, const QString&) override { return FileToOpen; }
    QString SaveFileName(QWidget*, const QString&) override { return QString(); }
    void OpenDocument(const QString&) override {}

    QString FileToOpen;
    bool AcceptTrackInfo = false;
};

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
        window.Document().MarkSaved();
        window.OuvrirClick();
        benchmark::DoNotOptimize(window.SongView().Notes.size());
    }
    state.counters["notes"] = static_cast<double>(window.SongView().Notes.size());
    window.Document().MarkSaved();
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
    window.Document().SetFileName(saved);
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
    window.Document().SetFileName(
        (std::filesystem::temp_directory_path() / "kadrel-bench-far.mid").string());
    TTrackInfo trackInfo(&window);
    window.SetTrackInfo(&trackInfo);
    dialogs.AcceptTrackInfo = true;
    window.AddTrackClick();
    std::vector<std::unique_ptr<TMidiNote>> notes;
    notes.push_back(std::make_unique<TMidiNote>(TMidiNote{60, 0, 16, 0, 0}));
    notes.push_back(std::make_unique<TMidiNote>(TMidiNote{62, 0x7FFFFF00, 0xF0, 0, 0}));
    window.Document().AppendNotes(std::move(notes), NoteEdit::Paste);
    dialogs.FileToOpen.clear();
    for (auto _ : state)
        window.EnregistrerClick();
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(window.FileName()));
    std::filesystem::remove(window.FileName());
}
BENCHMARK(BM_EditorSaveSongEndingNearTick2Pow31)->Unit(benchmark::kMillisecond)->UseRealTime();

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
            song.Notes.push_back(std::make_unique<TMidiNote>(
                TMidiNote{static_cast<std::uint8_t>(40 + pos % Cycle), pos, 1,
                          static_cast<std::uint8_t>(track), static_cast<std::uint16_t>(track)}));
    }
    window.Document().Replace(std::move(song), true);
    window.TrackListClick();

    std::vector<double> lateMs;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        out.sent.clear();
        clock.started = false;
        window.Partition->SetCursorPos(0);
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
