// The listing of a 16-track, 1,000,000-note file (about 8 MB), timed beside midicsv, which
// dumps the same file as text. Both run as whole commands (a process that reads the file and
// writes its text to /tmp), so start-up, reading and writing count on both sides. The counter
// "vs_midicsv" of Disasm/kadrel is its time divided by the peer's.

#include "PeerCommands.h"
#include "SongGenerator.h"
#include "disasm/Disassembler.h"
#include "disasm/ListingWriter.h"
#include "midi/ByteStream.h"
#include "util/TextUtils.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using kadrel::bench::MegaBytes;
using kadrel::bench::RunTimed;

namespace fs = std::filesystem;

// The song and the outputs, in a private folder of /tmp removed at exit.
class Workload {
public:
    Workload() {
        std::string pattern = (fs::temp_directory_path() / "kadrel-disasm-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        folder = pattern;
        song = (fs::path(folder) / "song.mid").string();
        listing = song + ".txt";
        csv = (fs::path(folder) / "song.csv").string();
        kadrel::ByteStream(kadrel::bench::MakeSongBytes(16, 1000000)).SaveToFile(song);
    }
    ~Workload() {
        if (!folder.empty()) {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    }
    bool Ready() const { return !song.empty(); }

    std::string folder, song, listing, csv;
};

const Workload& TheWorkload() {
    static const Workload workload;
    return workload;
}

double g_peerSeconds = 0; // mean time of midicsv, for the ratio

// Times command over the benchmark's iterations; returns the mean in seconds, 0 on failure.
double TimeCommand(benchmark::State& state, const std::vector<std::string>& command) {
    double total = 0;
    for (auto _ : state) {
        const double seconds = RunTimed(command);
        if (seconds < 0) {
            state.SkipWithError(("cannot run " + command[0]).c_str());
            return 0;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    return state.iterations() > 0 ? total / static_cast<double>(state.iterations()) : 0;
}

void DisasmMidicsvPeer(benchmark::State& state) {
    const Workload& w = TheWorkload();
    if (!w.Ready()) {
        state.SkipWithError("cannot write the song to /tmp");
        return;
    }
    g_peerSeconds = TimeCommand(state, {"midicsv", w.song, w.csv});
    state.counters["input_MB"] = MegaBytes(w.song);
    state.counters["output_MB"] = MegaBytes(w.csv);
}

void DisasmKadrel(benchmark::State& state) {
    const Workload& w = TheWorkload();
    const std::string tool = kadrel::ProgramFolder() + "kadrel-disasm";
    if (!w.Ready() || !fs::exists(tool)) {
        state.SkipWithError("kadrel-disasm is not built beside kadrel-bench");
        return;
    }
    // Measured once here when the peer's benchmark was filtered out.
    const double peer = g_peerSeconds > 0 ? g_peerSeconds : RunTimed({"midicsv", w.song, w.csv});
    const double mean = TimeCommand(state, {tool, w.song, w.listing});
    state.counters["input_MB"] = MegaBytes(w.song);
    state.counters["output_MB"] = MegaBytes(w.listing);
    if (mean > 0 && peer > 0) {
        state.counters["vs_midicsv"] = mean / peer;
        std::printf("Disasm: kadrel-disasm %.3f s, midicsv %.3f s, ratio %.2f\n", mean, peer,
                    mean / peer);
    }
}

// The same work without the process around it.
void DisasmInProcess(benchmark::State& state) {
    const Workload& w = TheWorkload();
    if (!w.Ready()) {
        state.SkipWithError("cannot write the song to /tmp");
        return;
    }
    for (auto _ : state)
        kadrel::Disassemble(w.song, w.listing);
    state.counters["output_MB"] = MegaBytes(w.listing);
}

// Counts the listing's bytes and keeps none of them.
class CountingSink : public kadrel::ListingSink {
public:
    bool Write(const char*, std::size_t count) override {
        bytes += count;
        return true;
    }
    std::size_t bytes = 0;
};

// The walk and the formatting alone, without the file system.
void DisasmWalkOnly(benchmark::State& state) {
    const auto song = kadrel::bench::MakeSongBytes(16, 1000000);
    CountingSink sink;
    for (auto _ : state) {
        kadrel::ListingWriter out(sink);
        kadrel::WalkListing(song, out);
        out.Flush();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(sink.bytes));
}

BENCHMARK(DisasmMidicsvPeer)
    ->Name("Disasm/midicsv_peer")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(DisasmKadrel)
    ->Name("Disasm/kadrel")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(DisasmInProcess)->Name("Disasm/kadrel_in_process")->Unit(benchmark::kMillisecond);
BENCHMARK(DisasmWalkOnly)->Name("Disasm/kadrel_walk_only")->Unit(benchmark::kMillisecond);

} // namespace
