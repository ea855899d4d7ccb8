#include "song/TolerantImport.h"

#include "midi/ByteStream.h"
#include "song/Instruments.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace kadrel {

namespace {

constexpr std::int32_t MaxPos = std::numeric_limits<std::int32_t>::max();

// Where an event stands in the whole file: programs and notes of different tracks compare by
// tick, then track, then their index in the track.
struct EventKey {
    std::uint64_t tick;
    std::uint32_t track;
    std::uint32_t index;

    friend bool operator<(const EventKey& a, const EventKey& b) {
        return std::tie(a.tick, a.track, a.index) < std::tie(b.tick, b.track, b.index);
    }
};

struct ProgramChange {
    std::uint8_t channel;
    std::uint8_t program;
    EventKey key;
};

bool IsNoteOn(const SmfEvent& e) {
    return e.Kind() == 0x90 && e.Data2 > 0;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsValidUtf8(std::span<const std::uint8_t> s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::uint8_t b = s[i];
        int more = 0;
        std::uint32_t min = 0;
        std::uint32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            more = 1;
            min = 0x80;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            more = 2;
            min = 0x800;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            more = 3;
            min = 0x10000;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= static_cast<std::size_t>(more))
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

std::string NameText(std::span<const std::uint8_t> bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes.begin(), bytes.end());
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        if (b < 0x80) {
            text += static_cast<char>(b);
        } else {
            text += static_cast<char>(0xC0 | b >> 6);
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

// What the first pass learns of one track.
struct TrackScan {
    std::uint16_t channels = 0; // bit c: the track has a note-on of velocity > 0 on channel c
    std::uint32_t firstRow = 0; // index of the track's first row
    std::uint64_t lastTick = 0; // tick of its last event
    std::int64_t nameEvent = -1;
};

// A row found by the first pass: where its first note is.
struct RowStart {
    std::uint32_t track;
    std::uint8_t channel;
    EventKey firstNoteOn;
};

// The note of a row keeps no tick wider than a song position.
void KeepWithinSong(TMidiNote& note) {
    if (note.Len < 1)
        note.Len = 1;
    if (note.Pos > MaxPos - note.Len) {
        // Only a note that starts at the very last position can get here: its length is at
        // least 1, so it moves back by one.
        note.Pos = MaxPos - 1;
        note.Len = 1;
    }
}

} // namespace

std::int32_t ImportPosition(std::uint64_t tick, std::uint16_t division) {
    // Beyond 2^44 ticks every division gives a position past the last one; capping there keeps
    // the products below from overflowing.
    tick = std::min<std::uint64_t>(tick, std::uint64_t{1} << 44);
    std::uint64_t pos = 0;
    if ((division & 0x8000) != 0) {
        const std::uint64_t frames = 256 - (division >> 8); // the negated first byte
        const std::uint64_t r = frames * (division & 0xFF);
        pos = (tick * 1000 + r * 15) / (r * 30);
    } else {
        pos = (tick * 16 + division / 2) / division;
    }
    return static_cast<std::int32_t>(std::min<std::uint64_t>(pos, MaxPos));
}

TolerantImport ImportSmf(const SmfFile& file) {
    TolerantImport result;
    DroppedCounts& dropped = result.Dropped;
    const std::size_t trackCount = file.Tracks.size();

    // First pass: the channels of each track's rows, where their first notes are, the
    // program changes and the names.
    std::vector<TrackScan> scans(trackCount);
    std::vector<RowStart> rowStarts;
    std::vector<ProgramChange> programs;
    for (std::size_t t = 0; t < trackCount; ++t) {
        TrackScan& scan = scans[t];
        std::array<EventKey, 16> firstNoteOn{};
        const auto& events = file.Tracks[t].Events;
        std::uint64_t tick = 0;
        for (std::size_t i = 0; i < events.size(); ++i) {
            const SmfEvent& e = events[i];
            tick += e.Delta;
            const EventKey key{tick, static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(i)};
            if (IsNoteOn(e)) {
                const std::uint16_t bit = static_cast<std::uint16_t>(1u << e.Channel());
                if ((scan.channels & bit) == 0) {
                    scan.channels |= bit;
                    firstNoteOn[e.Channel()] = key;
                }
            } else if (e.Kind() == 0xC0) {
                programs.push_back({e.Channel(), e.Data1, key});
            } else if (e.IsMeta() && e.Data1 == 0x03 && scan.nameEvent < 0) {
                scan.nameEvent = static_cast<std::int64_t>(i);
            }
        }
        scan.lastTick = tick;
        scan.firstRow = static_cast<std::uint32_t>(rowStarts.size());
        for (std::uint8_t c = 0; c < 16; ++c)
            if ((scan.channels & (1u << c)) != 0)
                rowStarts.push_back({static_cast<std::uint32_t>(t), c, firstNoteOn[c]});
    }

    // The rows, and the program of each: the program changes of one channel in file order.
    std::stable_sort(programs.begin(), programs.end(),
                     [](const ProgramChange& a, const ProgramChange& b) {
                         return std::tie(a.channel, a.key) < std::tie(b.channel, b.key);
                     });
    std::vector<bool> programUsed(programs.size(), false);
    result.Tracks.reserve(rowStarts.size());
    std::size_t namedTrack = trackCount;
    std::string name;
    for (const RowStart& row : rowStarts) {
        if (row.track != namedTrack) {
            namedTrack = row.track;
            const SmfTrack& track = file.Tracks[row.track];
            const std::int64_t nameEvent = scans[row.track].nameEvent;
            name = nameEvent < 0 ? std::string()
                                 : NameText(file.Payload(track, track.Events[nameEvent]));
        }
        const std::uint8_t c = row.channel;
        const auto first = std::lower_bound(
            programs.begin(), programs.end(), c,
            [](const ProgramChange& p, std::uint8_t ch) { return p.channel < ch; });
        const auto last =
            std::upper_bound(first, programs.end(), c, [](std::uint8_t ch, const ProgramChange& p) {
                return ch < p.channel;
            });
        std::uint8_t program = 0;
        if (first != last) {
            const auto before = std::lower_bound(
                first, last, row.firstNoteOn,
                [](const ProgramChange& p, const EventKey& k) { return p.key < k; });
            const auto chosen = before == first ? first : before - 1;
            program = chosen->program;
            programUsed[static_cast<std::size_t>(chosen - programs.begin())] = true;
        }
        result.Tracks.push_back({name, c, program});
    }
    dropped[DroppedKind::ProgramChanges] =
        static_cast<std::uint64_t>(std::count(programUsed.begin(), programUsed.end(), false));

    // Second pass: the notes, and the count of what the song does not hold. The open notes of
    // a track wait in one queue per channel and note number, oldest first.
    std::vector<std::vector<std::size_t>> open(16 * 128); // places in result.Notes
    std::vector<std::uint32_t> head(16 * 128, 0);
    std::vector<std::uint16_t> touched;
    std::vector<bool> isTouched(16 * 128, false);
    for (std::size_t t = 0; t < trackCount; ++t) {
        const TrackScan& scan = scans[t];
        std::array<std::uint32_t, 16> rowOf{};
        std::uint32_t row = scan.firstRow;
        for (int c = 0; c < 16; ++c)
            if ((scan.channels & (1u << c)) != 0)
                rowOf[c] = row++;

        const auto& events = file.Tracks[t].Events;
        std::uint64_t tick = 0;
        for (std::size_t i = 0; i < events.size(); ++i) {
            const SmfEvent& e = events[i];
            tick += e.Delta;
            if (e.IsChannel()) {
                const auto key = static_cast<std::uint16_t>(e.Channel() * 128 + e.Data1);
                switch (e.Kind()) {
                case 0x80:
                case 0x90:
                    if (IsNoteOn(e)) {
                        TMidiNote note;
                        note.NoteNum = e.Data1;
                        note.Pos = ImportPosition(tick, file.Division);
                        note.Len = 1;
                        note.Channel = e.Channel();
                        note.Track = rowOf[e.Channel()];
                        if (!isTouched[key]) {
                            isTouched[key] = true;
                            touched.push_back(key);
                        }
                        open[key].push_back(result.Notes.size());
                        result.Notes.push_back(note);
                    } else if (head[key] < open[key].size()) {
                        // A note-off, or a note-on of velocity 0: the oldest open note ends.
                        TMidiNote& note = result.Notes[open[key][head[key]++]];
                        note.Len = ImportPosition(tick, file.Division) - note.Pos;
                        KeepWithinSong(note);
                        if (head[key] == open[key].size()) {
                            open[key].clear();
                            head[key] = 0;
                        }
                    }
                    break;
                case 0xA0:
                    ++dropped[DroppedKind::KeyPressures];
                    break;
                case 0xB0:
                    ++dropped[DroppedKind::Controllers];
                    break;
                case 0xD0:
                    ++dropped[DroppedKind::ChannelPressures];
                    break;
                case 0xE0:
                    ++dropped[DroppedKind::PitchBends];
                    break;
                default: // program changes were counted with the rows
                    break;
                }
            } else if (e.IsSysEx()) {
                ++dropped[DroppedKind::SysEx];
            } else if (e.Data1 == 0x51) {
                ++dropped[DroppedKind::TempoChanges];
            } else if (e.Data1 != 0x2F && static_cast<std::int64_t>(i) != scan.nameEvent) {
                ++dropped[DroppedKind::MetaEvents];
            }
        }

        // Notes still open end with the track's last event.
        const std::int32_t end = ImportPosition(scan.lastTick, file.Division);
        for (std::uint16_t key : touched) {
            for (std::size_t k = head[key]; k < open[key].size(); ++k) {
                TMidiNote& note = result.Notes[open[key][k]];
                note.Len = end - note.Pos;
                KeepWithinSong(note);
            }
            open[key].clear();
            head[key] = 0;
            isTouched[key] = false;
        }
        touched.clear();
    }
    return result;
}

TolerantImport ImportMidiFile(const std::string& path) {
    ByteStream stream;
    stream.LoadFromFile(path);
    return ImportSmf(ReadSmf(stream.Bytes()));
}

} // namespace kadrel
