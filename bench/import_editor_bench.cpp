// "Importer un fichier MIDI..." in the window: the whole command on the bench's songs of
// 1,000,000 notes (see ImportFiles.h), reading, converting, the rows, the first track's score.

#include "BenchDialogs.h"
#include "ImportFiles.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/UserDialogs.h"
#include "midi/RecordingMidiOut.h"
#include "tests/editor/WindowAccess.h"

#include <benchmark/benchmark.h>

namespace kadrel::bench {
namespace {

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
    state.counters["notes"] = static_cast<double>(test::WindowAccess::Document(window).Content().Notes.size());
    test::WindowAccess::Document(window).MarkSaved();
}

BENCHMARK(ImportEditor)
    ->Name("Import/kadrel_editor")
    ->ArgName("file")
    ->DenseRange(0, ImportFiles::Count - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
} // namespace kadrel::bench
