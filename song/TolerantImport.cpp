#include "song/TolerantImport.h"

#include "midi/ByteStream.h"
#include "util/Error.h"
#include "util/Utf8.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <stdexcept>
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

std::string NameText(std::span<const std::uint8_t> bytes) {
    if (IsValidUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
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

bool IsNoteEnd(const SmfEvent& e) {
    return e.Kind() == 0x80 || (e.Kind() == 0x90 && e.Data2 == 0);
}

constexpr std::uint32_t None = std::numeric_limits<std::uint32_t>::max();
// An open note that could not be held as a note: its close is kept as an event too.
constexpr std::uint32_t Raw = None - 1;

// What the first pass learns of one track.
struct TrackScan {
    std::uint16_t channels = 0; // bit c: the track has a note-on of velocity > 0 on channel c
    std::uint32_t firstRow = 0; // index of the track's first row
    std::int64_t nameEvent = -1;
    std::size_t noteOns = 0;
    std::size_t kept = 0;         // events that are neither a note's start or end nor the end
    std::size_t payloadBytes = 0; // of its sysex and meta events
};

// A row found by the first pass: where its first note is.
struct RowStart {
    std::uint32_t track;
    std::uint8_t channel;
    EventKey firstNoteOn;
};

// The notes of one track still waiting for their close, oldest first for each channel and
// number: a queue per key, linked through the entries.
class OpenNotes {
public:
    OpenNotes() {
        head_.fill(None);
        tail_.fill(None);
    }

    void Open(std::uint16_t key, std::uint32_t note) {
        const auto entry = static_cast<std::uint32_t>(entries_.size());
        entries_.push_back({note, None, key, true});
        if (tail_[key] == None)
            head_[key] = entry;
        else
            entries_[tail_[key]].next = entry;
        tail_[key] = entry;
    }

    // The oldest open note of key, taken out of the queue; None when there is none.
    std::uint32_t Close(std::uint16_t key) {
        const std::uint32_t entry = head_[key];
        if (entry == None)
            return None;
        Entry& e = entries_[entry];
        e.open = false;
        head_[key] = e.next;
        if (head_[key] == None)
            tail_[key] = None;
        return e.note;
    }

    // Calls f with every note still open, oldest first, and empties the queues.
    template <class F>
    void Drain(F&& f) {
        for (const Entry& e : entries_) {
            if (e.open)
                f(e.note);
            head_[e.key] = tail_[e.key] = None;
        }
        entries_.clear();
    }

private:
    struct Entry {
        std::uint32_t note;
        std::uint32_t next;
        std::uint16_t key;
        bool open;
    };
    std::array<std::uint32_t, 16 * 128> head_;
    std::array<std::uint32_t, 16 * 128> tail_;
    std::vector<Entry> entries_;
};

std::uint16_t KeyOf(const SmfEvent& e) {
    return static_cast<std::uint16_t>(e.Channel() * 128 + e.Data1);
}

// The first pass over a track: its note channels, names, programs, and how much the second pass
// will keep, so that it allocates once.
TrackScan ScanTrack(const SmfFile& file, std::size_t t, std::vector<RowStart>& rowStarts,
                    std::vector<ProgramChange>& programs) {
    TrackScan scan;
    std::array<EventKey, 16> firstNoteOn{};
    std::array<std::uint32_t, 16 * 128> open{};
    const auto& events = file.Tracks[t].Events;
    std::uint64_t tick = 0;
    std::size_t closes = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const SmfEvent& e = events[i];
        tick += e.Delta;
        const EventKey key{tick, static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(i)};
        if (IsNoteOn(e)) {
            ++scan.noteOns;
            ++open[KeyOf(e)];
            const std::uint16_t bit = static_cast<std::uint16_t>(1u << e.Channel());
            if ((scan.channels & bit) == 0) {
                scan.channels |= bit;
                firstNoteOn[e.Channel()] = key;
            }
        } else if (IsNoteEnd(e) && open[KeyOf(e)] > 0) {
            --open[KeyOf(e)];
            ++closes;
        } else if (e.Kind() == 0xC0) {
            programs.push_back({e.Channel(), e.Data1, key});
        } else if (e.IsMeta() && e.Data1 == 0x03 && scan.nameEvent < 0) {
            scan.nameEvent = static_cast<std::int64_t>(i);
        }
        if (!e.IsChannel() && !e.IsEndOfTrack())
            scan.payloadBytes += e.DataLength;
    }
    const std::size_t ends = !events.empty() && events.back().IsEndOfTrack() ? 1 : 0;
    scan.kept = events.size() - scan.noteOns - closes - ends;
    scan.firstRow = static_cast<std::uint32_t>(rowStarts.size());
    for (std::uint8_t c = 0; c < 16; ++c)
        if ((scan.channels & (1u << c)) != 0)
            rowStarts.push_back({static_cast<std::uint32_t>(t), c, firstNoteOn[c]});
    return scan;
}

// The rows of the song, with the program change that gave each its instrument.
std::vector<SongTrack> MakeRows(const SmfFile& file, const std::vector<TrackScan>& scans,
                                const std::vector<RowStart>& rowStarts,
                                std::vector<ProgramChange>& programs) {
    // The program changes of one channel in file order.
    std::stable_sort(programs.begin(), programs.end(),
                     [](const ProgramChange& a, const ProgramChange& b) {
                         return std::tie(a.channel, a.key) < std::tie(b.channel, b.key);
                     });
    std::vector<SongTrack> rows;
    rows.reserve(rowStarts.size());
    std::size_t namedTrack = file.Tracks.size();
    std::string name;
    for (const RowStart& start : rowStarts) {
        if (start.track != namedTrack) {
            namedTrack = start.track;
            const SmfTrack& track = file.Tracks[start.track];
            const std::int64_t nameEvent = scans[start.track].nameEvent;
            name = nameEvent < 0 ? std::string()
                                 : NameText(file.Payload(track, track.Events[nameEvent]));
        }
        SongTrack row{name, start.channel, 0, start.track};
        const auto first = std::lower_bound(
            programs.begin(), programs.end(), start.channel,
            [](const ProgramChange& p, std::uint8_t ch) { return p.channel < ch; });
        const auto last = std::upper_bound(
            first, programs.end(), start.channel,
            [](std::uint8_t ch, const ProgramChange& p) { return ch < p.channel; });
        if (first != last) {
            const auto before = std::lower_bound(
                first, last, start.firstNoteOn,
                [](const ProgramChange& p, const EventKey& k) { return p.key < k; });
            const auto chosen = before == first ? first : before - 1;
            row.Program = chosen->program;
            row.ProgramTrack = chosen->key.track;
            row.ProgramOrder = chosen->key.index;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

KeptEvent Kept(const SmfFile& file, const SmfTrack& track, const SmfEvent& e, std::int64_t tick,
               std::size_t order, FileTrack& kept) {
    KeptEvent k;
    k.Tick = tick;
    k.Order = static_cast<std::uint32_t>(order);
    k.Status = e.Status;
    k.Data1 = e.Data1;
    k.Data2 = e.Data2;
    k.Flags = (e.Flags & SmfEvent::RunningStatusFlag) != 0 ? KeptEvent::RunningStatus : 0;
    if (!e.IsChannel()) {
        const auto payload = file.Payload(track, e);
        k.PayloadOffset = static_cast<std::uint32_t>(kept.Payloads.size());
        k.PayloadLength = static_cast<std::uint32_t>(payload.size());
        kept.Payloads.insert(kept.Payloads.end(), payload.begin(), payload.end());
    }
    return k;
}

// The second pass over a track: its notes into the song's, everything else into its file track.
// Notes that turn out not to fit are marked with Len -1 for the caller to take out.
FileTrack ReadTrack(const SmfFile& file, std::size_t t, const TrackScan& scan, NoteList& notes,
                    OpenNotes& open, bool& unfit) {
    std::array<std::uint32_t, 16> rowOf{};
    std::uint32_t row = scan.firstRow;
    for (int c = 0; c < 16; ++c)
        if ((scan.channels & (1u << c)) != 0)
            rowOf[c] = row++;

    const SmfTrack& track = file.Tracks[t];
    FileTrack out;
    out.Events.reserve(scan.kept);
    out.Payloads.reserve(scan.payloadBytes);
    // The end of track, last, needs no order: the orders are those of the events before it.
    const bool ends = !track.Events.empty() && track.Events.back().IsEndOfTrack();
    out.NextOrder = static_cast<std::uint32_t>(track.Events.size() - (ends ? 1 : 0));
    std::int64_t tick = 0;
    for (std::size_t i = 0; i < track.Events.size(); ++i) {
        const SmfEvent& e = track.Events[i];
        tick += e.Delta;
        const bool running = (e.Flags & SmfEvent::RunningStatusFlag) != 0;
        if (e.IsEndOfTrack())
            break;
        if (IsNoteOn(e)) {
            if (tick > MaxPos) {
                out.Events.push_back(Kept(file, track, e, tick, i, out));
                open.Open(KeyOf(e), Raw);
                continue;
            }
            TMidiNote note{e.Data1, static_cast<std::int32_t>(tick), 0, e.Channel(),
                           rowOf[e.Channel()]};
            note.Velocity = e.Data2;
            note.End = NoteEnd::Never;
            note.Flags = running ? TMidiNote::StartRunningStatus : 0;
            note.StartOrder = static_cast<std::uint32_t>(i);
            open.Open(KeyOf(e), static_cast<std::uint32_t>(notes.size()));
            notes.push_back(note);
            continue;
        }
        if (IsNoteEnd(e)) {
            const std::uint32_t closed = open.Close(KeyOf(e));
            if (closed != None && closed != Raw) {
                TMidiNote& note = notes[closed];
                if (tick <= MaxPos) {
                    note.Len = static_cast<std::int32_t>(tick - note.Pos);
                    note.End = e.Kind() == 0x80 ? NoteEnd::NoteOff : NoteEnd::NoteOnZero;
                    note.EndVelocity = e.Kind() == 0x80 ? e.Data2 : 0;
                    note.EndOrder = static_cast<std::uint32_t>(i);
                    if (running)
                        note.Flags |= TMidiNote::EndRunningStatus;
                    continue;
                }
                // Its end lies beyond what a note holds: both its events stay as they are.
                KeptEvent start;
                start.Tick = note.Pos;
                start.Order = note.StartOrder;
                start.Status = static_cast<std::uint8_t>(0x90 | note.Channel);
                start.Data1 = note.NoteNum;
                start.Data2 = note.Velocity;
                start.Flags = (note.Flags & TMidiNote::StartRunningStatus) != 0
                                  ? KeptEvent::RunningStatus
                                  : 0;
                out.Events.push_back(start);
                note.Len = -1;
                unfit = true;
            }
        }
        out.Events.push_back(Kept(file, track, e, tick, i, out));
    }
    out.EndTick = tick;
    // Notes never closed last until the end of their track.
    open.Drain([&](std::uint32_t note) {
        if (note != Raw)
            notes[note].Len =
                static_cast<std::int32_t>(std::min<std::int64_t>(tick, MaxPos) - notes[note].Pos);
    });
    if (unfit)
        std::stable_sort(out.Events.begin(), out.Events.end(),
                         [](const KeptEvent& a, const KeptEvent& b) { return a.Order < b.Order; });
    return out;
}

TolerantImport Import(const SmfFile& file) {
    TolerantImport result;
    Song& song = result.Content;
    song.KeepsFile = true;
    song.Format = file.Format;
    song.Division = file.Division;
    for (const SmfChunk& chunk : file.OtherChunks) {
        const auto data = file.Data(chunk);
        song.OtherChunks.push_back(
            {chunk.Id, std::vector<std::uint8_t>(data.begin(), data.end()), chunk.BeforeTrack});
    }

    const std::size_t trackCount = file.Tracks.size();
    std::vector<TrackScan> scans;
    scans.reserve(trackCount);
    std::vector<RowStart> rowStarts;
    std::vector<ProgramChange> programs;
    std::size_t noteOns = 0;
    for (std::size_t t = 0; t < trackCount; ++t) {
        scans.push_back(ScanTrack(file, t, rowStarts, programs));
        noteOns += scans.back().noteOns;
    }
    song.Tracks = MakeRows(file, scans, rowStarts, programs);

    song.Notes.reserve(noteOns);
    song.FileTracks.reserve(trackCount);
    OpenNotes open;
    bool unfit = false;
    for (std::size_t t = 0; t < trackCount; ++t)
        song.FileTracks.push_back(ReadTrack(file, t, scans[t], song.Notes, open, unfit));
    if (unfit)
        std::erase_if(song.Notes, [](const TMidiNote& note) { return note.Len < 0; });
    result.Unread = file.Dropped;
    return result;
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
    try {
        return Import(file);
    } catch (const std::bad_alloc&) {
        throw Error(OutOfMemoryText);
    } catch (const std::length_error&) {
        throw Error(OutOfMemoryText);
    }
}

TolerantImport ImportMidiFile(const std::string& path) {
    ByteStream stream;
    stream.LoadFromFile(path);
    TolerantImport imported = ImportSmf(ReadSmf(stream.Bytes()));
    if (imported.Unread.empty())
        imported.Content.FileName = path;
    return imported;
}

} // namespace kadrel
