// Plays known notes through device 0, the built-in synthesizer, and prints when each message
// left, on the monotonic clock, so that a recording of the sound output can be lined up with
// them (scripts/measure-sound.py does that with a sound server's null sink). Options:
// [--period FRAMES] [--periods N] [--driver NAME], then one of
//
//   latency COUNT GAP_MS
//       COUNT piano notes (A4, 200 ms each), GAP_MS after one another; prints "on <ns> <us>"
//       for each: when the note-on was sent and how many microseconds the call took.
//   rhythm COUNT GAP_MS
//       COUNT piano notes (A4, 200 ms each) that start GAP_MS apart, their deadlines fixed to
//       the start as in the editor's play loop; prints "on <ns> <us>" for each.
//   release HOLD_MS
//       an organ note (A4) held HOLD_MS, then what Arrêt sends: a note off for every note of
//       its channel; prints "off <ns>" when the first note off was sent.
//   dense SECONDS
//       the editor's dense benchmark song: a note on each of 16 channels at every 30 ms step;
//       prints "start <ns>" and "end <ns>".

#include "midi/MidiOutput.h"
#include "midi/devices/SystemMidiOut.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long Ns(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kadrel-sound-probe [--period FRAMES] [--periods N] [--driver NAME] "
                 "(latency COUNT GAP_MS | rhythm COUNT GAP_MS | release HOLD_MS | "
                 "dense SECONDS)\n");
    return 2;
}

// Sends a note-on of A4 and prints when it left and how long the call took.
void PrintedNoteOn(kadrel::TMidiOutput& port) {
    const auto on = Clock::now();
    port.NoteOn(0, 69, 127);
    // The call itself takes long when it has to take the audio output again.
    std::printf("on %lld %lld\n", Ns(on), (Ns(Clock::now()) - Ns(on)) / 1000);
    std::fflush(stdout);
}

void Latency(kadrel::TMidiOutput& port, int count, int gapMs) {
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        PrintedNoteOn(port);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        port.NoteOff(0, 69);
    }
}

void Rhythm(kadrel::TMidiOutput& port, int count, int gapMs) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(gapMs * i));
        PrintedNoteOn(port);
        std::this_thread::sleep_until(start + std::chrono::milliseconds(gapMs * i + 200));
        port.NoteOff(0, 69);
    }
}

void Release(kadrel::TMidiOutput& port, int holdMs) {
    port.ChangePatch(0, 20); // a reed organ: a steady level while held, a quick release
    port.NoteOn(0, 69, 127);
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    std::printf("off %lld\n", Ns(Clock::now()));
    std::fflush(stdout);
    port.AllNotesOff(0);
}

void Dense(kadrel::TMidiOutput& port, int seconds) {
    const int steps = seconds * 1000 / 30;
    const auto start = Clock::now();
    std::printf("start %lld\n", Ns(start));
    for (int q = 0; q < steps; ++q) {
        // Deadlines are fixed to the start, as in the editor's play loop.
        std::this_thread::sleep_until(start + std::chrono::milliseconds(30 * q));
        for (int channel = 0; channel < 16; ++channel) {
            if (q > 0)
                port.NoteOff(static_cast<std::uint8_t>(channel),
                             static_cast<std::uint8_t>(40 + (q - 1) % 64));
            port.NoteOn(static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(40 + q % 64),
                        127);
        }
    }
    std::printf("end %lld\n", Ns(Clock::now()));
    for (int channel = 0; channel < 16; ++channel)
        port.AllNotesOff(static_cast<std::uint8_t>(channel));
}

} // namespace

int main(int argc, char** argv) {
    kadrel::AudioSettings audio;
    int i = 1;
    for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (std::strcmp(argv[i], "--period") == 0)
            audio.PeriodFrames = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--periods") == 0)
            audio.Periods = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--driver") == 0)
            audio.Drivers = {argv[i + 1]};
        else
            return Usage();
    }
    if (i >= argc)
        return Usage();
    const std::string mode = argv[i];
    try {
        kadrel::SystemMidiOut service(audio);
        kadrel::TMidiOutput port(0, true, service);
        // Let the output settle before the first note, as it has in the editor, which opens it
        // at start: a sound server may take a while to start a new stream going.
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        if (mode == "latency" && i + 2 < argc)
            Latency(port, std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
        else if (mode == "rhythm" && i + 2 < argc)
            Rhythm(port, std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
        else if (mode == "release" && i + 1 < argc)
            Release(port, std::atoi(argv[i + 1]));
        else if (mode == "dense" && i + 1 < argc)
            Dense(port, std::atoi(argv[i + 1]));
        else
            return Usage();
        // The last release rings out before the output closes.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
