#!/usr/bin/env python3
"""Writes Standard MIDI Files shaped like those found in public collections, which Ouvrir
refuses and "Importer un fichier MIDI..." takes in:

  pop-format0.mid     format 0, 480 ticks per quarter: piano, bass and drums on channels 0, 1
                      and 9, running status with note-ons of velocity 0 as note-offs,
                      controllers (volume, pan, sustain, modulation), pitch-bend slides, a GM
                      reset sysex, tempo, time and key signatures, text and copyright metas
  suite-format1.mid   format 1, 96 ticks per quarter: a conductor track (name, tempo changes,
                      markers, time signatures), then flute, strings, bass and drums, each with
                      its name and program, expression swells, vibrato bends, note-offs
  pop-format0.rmi     the first song in a RIFF RMID wrapper

Usage: make-sample-songs.py FOLDER [BARS]   (BARS: length of each song, 16 by default)
"""

import os
import struct
import sys


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


class Track:
    """Events at absolute ticks, written in time order with or without running status."""

    def __init__(self):
        self.events = []  # (tick, order, bytes)

    def add(self, tick, data):
        self.events.append((tick, len(self.events), bytes(data)))

    def meta(self, tick, kind, payload):
        payload = payload.encode("latin-1") if isinstance(payload, str) else bytes(payload)
        self.add(tick, b"\xff" + bytes([kind]) + vlq(len(payload)) + payload)

    def note(self, tick, length, channel, number, velocity, off_as_zero_on):
        self.add(tick, [0x90 | channel, number, velocity])
        if off_as_zero_on:
            self.add(tick + length, [0x90 | channel, number, 0])
        else:
            self.add(tick + length, [0x80 | channel, number, 64])

    def chunk(self, running_status):
        out = bytearray()
        last = 0
        running = None
        for tick, _, data in sorted(self.events):
            out += vlq(tick - last)
            last = tick
            status = data[0]
            if status < 0xF0 and running_status and status == running:
                out += data[1:]
            else:
                out += data
            if status < 0xF0:
                running = status
        out += vlq(0) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(out)) + out


def smf(fmt, division, tracks, running_status):
    head = b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division)
    return head + b"".join(t.chunk(running_status) for t in tracks)


CHORDS = [(60, 64, 67), (57, 60, 64), (53, 57, 60), (55, 59, 62)]  # C, Am, F, G
BASS = [36, 33, 29, 31]


def pop_format0(bars):
    q = 480
    bar = 4 * q
    t = Track()
    t.meta(0, 0x03, "Pop song")
    t.meta(0, 0x02, "(c) Kadrel tests")
    t.add(0, [0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7])  # GM system on
    t.meta(0, 0x51, [0x07, 0xA1, 0x20])  # 120 per minute
    t.meta(0, 0x58, [4, 2, 24, 8])
    t.meta(0, 0x59, [0, 0])
    for channel, program, volume, pan in ((0, 0, 100, 54), (1, 33, 110, 64), (9, 0, 120, 64)):
        t.add(0, [0xC0 | channel, program])
        t.add(0, [0xB0 | channel, 7, volume])
        t.add(0, [0xB0 | channel, 10, pan])
    for b in range(bars):
        start = b * bar
        chord = CHORDS[b % 4]
        if b % 4 == 0:
            t.meta(start, 0x01, "Verse %d" % (b // 4 + 1))
        # Piano: the chord on each half bar, held with the sustain pedal.
        t.add(start, [0xB0, 64, 127])
        for half in (0, 2 * q):
            for n in chord:
                t.note(start + half, 2 * q - 20, 0, n, 80 + (n % 7), True)
        t.add(start + bar - 10, [0xB0, 64, 0])
        # Bass: root on the beats, a slide up into the next bar.
        root = BASS[b % 4]
        for beat in range(4):
            t.note(start + beat * q, q - 40, 1, root + (12 if beat == 3 else 0), 100, True)
        for step in range(8):
            t.add(start + 3 * q + step * q // 8, [0xE1, 0, 0x40 + step * 4])
        t.add(start + bar - 1, [0xE1, 0, 0x40])
        # Modulation swell on the piano in every other bar.
        if b % 2 == 1:
            for step in range(16):
                t.add(start + step * q // 4, [0xB0, 1, step * 8])
            t.add(start + bar - 5, [0xB0, 1, 0])
        # Drums: kick, snare, hats in eighths.
        for beat in range(4):
            t.note(start + beat * q, q // 4, 9, 36 if beat % 2 == 0 else 38, 110, True)
        for eighth in range(8):
            t.note(start + eighth * q // 2, q // 8, 9, 42, 70 + 20 * (eighth % 2 == 0), True)
    return smf(0, q, [t], running_status=True)


def suite_format1(bars):
    q = 96
    bar = 3 * q  # in 3/4
    conductor = Track()
    conductor.meta(0, 0x03, "Suite in three")
    conductor.meta(0, 0x58, [3, 2, 24, 8])
    conductor.meta(0, 0x51, [0x09, 0x27, 0xC0])  # 100 per minute
    for b in range(0, bars, 4):
        conductor.meta(b * bar, 0x06, "Part %c" % (ord("A") + b // 4))
        conductor.meta(b * bar, 0x51, struct.pack(">I", 600000 - 20000 * (b // 4))[1:])
    tracks = [conductor]

    flute = Track()
    flute.meta(0, 0x03, "Flûte")
    flute.add(0, [0xC0, 73])
    flute.add(0, [0xB0, 7, 96])
    melody = [72, 74, 76, 79, 77, 76, 74, 72, 71, 72, 74, 67]
    for b in range(bars):
        for beat in range(3):
            n = melody[(b * 3 + beat) % len(melody)]
            flute.note(b * bar + beat * q, q - 8, 0, n, 90, False)
        # A little vibrato on the last beat.
        for step in range(12):
            flute.add(b * bar + 2 * q + step * 8, [0xE0, 0, 0x40 + (6 if step % 2 else -6)])
        flute.add(b * bar + bar - 2, [0xE0, 0, 0x40])
    tracks.append(flute)

    strings = Track()
    strings.meta(0, 0x03, "Cordes")
    strings.add(0, [0xC1, 48])
    for b in range(bars):
        chord = CHORDS[b % 4]
        for n in chord:
            strings.note(b * bar, bar - 4, 1, n - 12, 70, False)
        for step in range(12):
            strings.add(b * bar + step * bar // 12, [0xB1, 11, 60 + 5 * step])
    tracks.append(strings)

    bass = Track()
    bass.meta(0, 0x03, "Contrebasse")
    bass.add(0, [0xC2, 32])
    for b in range(bars):
        bass.note(b * bar, q * 2, 2, BASS[b % 4], 100, False)
        bass.note(b * bar + 2 * q, q, 2, BASS[b % 4] + 7, 90, False)
    tracks.append(bass)

    drums = Track()
    drums.meta(0, 0x03, "Batterie")
    for b in range(bars):
        drums.note(b * bar, q // 2, 9, 35, 100, False)
        drums.note(b * bar + q, q // 2, 9, 42, 60, False)
        drums.note(b * bar + 2 * q, q // 2, 9, 42, 60, False)
        if b % 4 == 3:
            drums.note(b * bar + 2 * q, q // 2, 9, 49, 90, False)
    tracks.append(drums)
    return smf(1, q, tracks, running_status=False)


def rmid(data):
    body = b"RMID" + b"data" + struct.pack("<I", len(data)) + data
    if len(data) % 2:
        body += b"\x00"
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    folder = sys.argv[1]
    bars = int(sys.argv[2]) if len(sys.argv) == 3 else 16
    os.makedirs(folder, exist_ok=True)
    pop = pop_format0(bars)
    files = {
        "pop-format0.mid": pop,
        "suite-format1.mid": suite_format1(bars),
        "pop-format0.rmi": rmid(pop),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
