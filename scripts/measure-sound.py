#!/usr/bin/python3
"""Measures the built-in synthesizer's real sound output through a sound server's null sink.

    scripts/measure-sound.py [--build build] [--editor PATH] [--period F --periods N] [--driver D]
                             [--busy N] idle|latency|rhythm|dropouts|release|timing|all

It starts its own PulseAudio server with a null sink in a private runtime folder, records the
sink's monitor, and prints:
  idle      processor use of the editor (build/kadrel, under xvfb-run) and of the sound server
            over 30 s, from 15 s after start-up;
  latency   time from a note-on leaving the port to its sound at the sink, for notes 1 s apart
            and for notes 12 s apart (after the output was given back for idleness);
  rhythm    the errors of the intervals between the onsets of ten notes sent 480 ms apart,
            from the recording alone: each interval as heard minus 480 ms;
  dropouts  gaps in the sound of a dense 10 s song (16 channels, a note every 30 ms) and the
            server's underrun count for the stream, with two busy loops keeping both cores busy;
  release   time from Arrêt (a note off for every note of the channel) to the moment a held
            organ note has become quieter than it ever was while held, in five runs.
timing runs rhythm, dropouts and release; all runs everything.
Needs the Debian packages pulseaudio, pulseaudio-utils, python3-numpy and xvfb, which neither
the build nor the tests need (scripts/install-deps.sh --measure installs them). Everything it
starts, it stops by process id.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

RATE = 44100
SINK = "k"


class SoundServer:
    """A private PulseAudio server with a null sink. Its log is read as it comes, so that each
    underrun of a stream is known with the time it happened."""

    def __init__(self):
        self.runtime = tempfile.mkdtemp(prefix="kadrel-sound-")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime)
        self.proc = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--log-level=debug",
             "--log-target=stderr", "--load=module-null-sink sink_name=" + SINK,
             "--load=module-native-protocol-unix"], env=self.env, stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE, text=True, errors="replace")
        self.pid = self.proc.pid
        self.underrun_times = []
        self.thread = threading.Thread(target=self._read_log, daemon=True)
        self.thread.start()
        for _ in range(50):
            if subprocess.run(["pactl", "info"], env=self.env, capture_output=True).returncode == 0:
                break
            time.sleep(0.1)

    def _read_log(self):
        for line in self.proc.stderr:
            if "nderrun of" in line:
                self.underrun_times.append(time.monotonic_ns())

    def underruns(self, begin_ns, end_ns):
        return sum(1 for t in self.underrun_times if begin_ns <= t <= end_ns)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.thread.join()
        shutil.rmtree(self.runtime, ignore_errors=True)


class Recorder:
    """Records the null sink's monitor, stamping each block with the monotonic clock on arrival,
    so that a sample's time is known to within the recording's own small delay."""

    BLOCK = 220  # frames, 5 ms

    def __init__(self, server):
        self.proc = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--raw", "--format=float32le", "--channels=1",
             "--rate=%d" % RATE, "--latency-msec=5"], env=server.env, stdout=subprocess.PIPE)
        self.blocks = []
        self.stamps = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        while True:
            data = self.proc.stdout.read(self.BLOCK * 4)
            if not data:
                return
            self.stamps.append(time.monotonic_ns())
            self.blocks.append(data)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.thread.join()
        samples = np.frombuffer(b"".join(self.blocks), dtype=np.float32)
        ends = np.cumsum([len(b) // 4 for b in self.blocks])
        # In each second, the least delayed block tells when sample 0 was played; a line
        # through those follows a slow drift between the sound's clock and the monotonic one.
        offsets = np.array(self.stamps, dtype=np.float64) - ends * 1e9 / RATE
        per_second = 1000 // 5
        xs, ys = [], []
        for i in range(0, len(offsets), per_second):
            j = i + int(np.argmin(offsets[i:i + per_second]))
            xs.append(ends[j])
            ys.append(offsets[j])
        slope, intercept = np.polyfit(xs, ys, 1) if len(xs) > 1 else (0.0, ys[0])
        return samples, lambda frame: intercept + slope * frame


def probe(args, *rest):
    cmd = [os.path.join(args.build, "kadrel-sound-probe")]
    if args.period:
        cmd += ["--period", str(args.period)]
    if args.periods:
        cmd += ["--periods", str(args.periods)]
    if args.driver:
        cmd += ["--driver", args.driver]
    return cmd + [str(r) for r in rest]


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def find_child(root, exe):
    """The process under root whose executable is exe."""
    for _ in range(100):
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                if os.path.realpath("/proc/%s/exe" % entry) != exe:
                    continue
                pid = int(entry)
                p = pid
                while p > 1:
                    if p == root:
                        return pid
                    with open("/proc/%d/stat" % p) as f:
                        p = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                pass
        time.sleep(0.1)
    raise RuntimeError("the editor did not start")


def measure_idle(args, server):
    exe = os.path.realpath(args.editor or os.path.join(args.build, "kadrel"))
    xvfb = subprocess.Popen(["xvfb-run", "-a", "-s", "-screen 0 1280x800x24", exe],
                            env=server.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    editor = find_child(xvfb.pid, exe)
    time.sleep(15)
    hz = os.sysconf("SC_CLK_TCK")
    e0, s0, t0 = cpu_ticks(editor), cpu_ticks(server.pid), time.monotonic()
    time.sleep(30)
    e1, s1, t1 = cpu_ticks(editor), cpu_ticks(server.pid), time.monotonic()
    streams = subprocess.run(["pactl", "list", "short", "sink-inputs"], env=server.env,
                             capture_output=True, text=True).stdout.strip()
    os.kill(editor, 15)
    xvfb.wait()
    wall = t1 - t0
    print("idle: over %.1f s from 15 s after start-up: editor %.2f %% of a core, sound server "
          "%.2f %%; streams open at the end: %d" %
          (wall, 100 * (e1 - e0) / hz / wall, 100 * (s1 - s0) / hz / wall,
           len(streams.splitlines()) if streams else 0))


def frame_at(origin, ns):
    """The frame of the recording that was played at monotonic time ns."""
    frame = (ns - origin(0)) * RATE / 1e9
    return int((ns - origin(frame)) * RATE / 1e9)


def ms_after(origin, frame, ns):
    """How long after monotonic time ns frame of the recording was played, in ms."""
    return (origin(frame) + frame * 1e9 / RATE - ns) / 1e6


def onset_frames(samples, origin, times_ns, threshold=0.01):
    """The first loud frame of the recording after each time, or None."""
    result = []
    for on in times_ns:
        first = max(0, frame_at(origin, on) - RATE // 100)
        loud = np.nonzero(np.abs(samples[first:first + RATE // 4]) > threshold)[0]
        result.append(first + int(loud[0]) if len(loud) else None)
    return result


def onsets_ms(samples, origin, times_ns):
    return [ms_after(origin, f, on) if f is not None else None
            for f, on in zip(onset_frames(samples, origin, times_ns), times_ns)]


def measure_latency(args, server):
    for count, gap, label in ((8, 1000, "notes 1 s apart"),
                              (3, 12000, "notes 12 s apart (output given back between)")):
        recorder = Recorder(server)
        time.sleep(0.3)
        out = subprocess.run(probe(args, "latency", count, gap), env=server.env,
                             capture_output=True, text=True, check=True).stdout
        samples, origin = recorder.stop()
        lines = [line.split() for line in out.splitlines() if line.startswith("on ")]
        lat = onsets_ms(samples, origin, [int(f[1]) for f in lines])
        shown = ", ".join("%.1f" % v if v is not None else "none" for v in lat)
        calls = ", ".join("%.1f" % (int(f[2]) / 1000) for f in lines)
        print("latency, %s: %s ms (of which in the note-on call: %s ms)" % (label, shown, calls))


def measure_rhythm(args, server, count=10, gap=480):
    recorder = Recorder(server)
    time.sleep(0.3)
    out = subprocess.run(probe(args, "rhythm", count, gap), env=server.env, capture_output=True,
                         text=True, check=True).stdout
    samples, origin = recorder.stop()
    sent = [int(line.split()[1]) for line in out.splitlines() if line.startswith("on ")]
    frames = onset_frames(samples, origin, sent)
    if None in frames:
        print("rhythm: a note was not heard (onsets at frames %s)" % frames)
        return
    errors = np.diff(frames) * 1000.0 / RATE - gap
    delays = [ms_after(origin, f, on) for f, on in zip(frames, sent)]
    print("rhythm, %d notes %d ms apart: inter-onset errors %s ms (largest %.1f, standard "
          "deviation %.1f); heard %.1f to %.1f ms after sent" %
          (count, gap, ", ".join("%+.1f" % e for e in errors), np.max(np.abs(errors)),
           np.std(errors), min(delays), max(delays)))


def levels(samples, window):
    """Root mean square of each window of samples ending at every frame (window - 1 on)."""
    power = np.concatenate(([0.0], np.cumsum(samples.astype(np.float64) ** 2)))
    return np.sqrt(np.maximum(power[window:] - power[:-window], 0.0) / window)


def measure_release(args, server, runs=5):
    window = RATE // 200  # 5 ms, two periods of the note and more
    results = []
    for _ in range(runs):
        recorder = Recorder(server)
        time.sleep(0.3)
        out = subprocess.run(probe(args, "release", 1000), env=server.env, capture_output=True,
                             text=True, check=True).stdout
        samples, origin = recorder.stop()
        off = int(next(line.split()[1] for line in out.splitlines() if line.startswith("off ")))
        level = levels(samples, window)  # level[i]: the window ending at frame i + window - 1
        sent = frame_at(origin, off)
        held = level[sent - RATE * 3 // 10 - window:sent - window].min()
        quieter = np.nonzero(level[sent - window:] < held)[0]
        if len(quieter) == 0:
            results.append(None)
            continue
        results.append(ms_after(origin, sent + int(quieter[0]), off))
    shown = ", ".join("%.1f" % r if r is not None else "none" for r in results)
    print("release after Arrêt, a held organ note in %d runs: quieter than while held %s ms "
          "after the first note off" % (runs, shown))


def gaps(samples, begin, end, run=16):
    """Runs of at least run samples of digital silence between begin and end."""
    silent = np.abs(samples[begin:end]) < 1e-7
    count = 0
    length = 0
    for s in silent:
        if s:
            length += 1
            if length == run:
                count += 1
        else:
            length = 0
    return count


def measure_dropouts(args, server):
    load = [subprocess.Popen(["yes"], stdout=subprocess.DEVNULL) for _ in range(args.busy)]
    try:
        time.sleep(2)
        recorder = Recorder(server)
        proc = subprocess.Popen(probe(args, "dense", 10), env=server.env, stdout=subprocess.PIPE,
                                text=True)
        marks = {}
        busy0 = busy_jiffies()
        for line in proc.stdout:
            word, ns = line.split()
            marks[word] = int(ns)
        proc.wait()
        busy1 = busy_jiffies()
        time.sleep(0.2)
        samples, origin = recorder.stop()
        loadavg = os.getloadavg()
    finally:
        for p in load:
            p.terminate()
            p.wait()
    start = marks["start"]
    end = marks["end"]
    begin = frame_at(origin, start) + RATE // 5
    stop = frame_at(origin, end)
    print("dropouts, dense 10 s song with %d busy loops: %d gaps of >= 16 silent samples, "
          "%d server underruns while playing; machine %.0f %% busy, load average %.2f" %
          (args.busy, gaps(samples, begin, stop), server.underruns(start, end),
           100 * (busy1[0] - busy0[0]) / max(1, busy1[1] - busy0[1]), loadavg[0]))


def busy_jiffies():
    with open("/proc/stat") as f:
        cpu = [int(v) for v in f.readline().split()[1:]]
    idle = cpu[3] + cpu[4]
    return sum(cpu) - idle, sum(cpu)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--editor", help="the editor to measure idle (default: BUILD/kadrel)")
    parser.add_argument("--period", type=int)
    parser.add_argument("--periods", type=int)
    parser.add_argument("--driver", help="the audio output to use (default: the probe's)")
    parser.add_argument("--busy", type=int, default=2, help="busy loops while the song plays")
    parser.add_argument("what", choices=["idle", "latency", "rhythm", "dropouts", "release",
                                         "timing", "all"])
    args = parser.parse_args()
    server = SoundServer()
    try:
        if args.what in ("idle", "all"):
            measure_idle(args, server)
        if args.what in ("latency", "all"):
            measure_latency(args, server)
        if args.what in ("rhythm", "timing", "all"):
            measure_rhythm(args, server)
        if args.what in ("dropouts", "timing", "all"):
            measure_dropouts(args, server)
        if args.what in ("release", "timing", "all"):
            measure_release(args, server)
    finally:
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
