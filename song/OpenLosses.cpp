#include "song/OpenLosses.h"

#include "midi/ByteStream.h"
#include "midi/Midi.h"
#include "song/ImportTexts.h"
#include "song/SongConversion.h"
#include "song/TolerantImport.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace kadrel {

namespace {

// The tick of a track's end: of its end-of-track event, else of its last event.
std::uint64_t EndTick(const SmfTrack& track) {
    std::uint64_t tick = 0;
    for (const SmfEvent& e : track.Events)
        tick += e.Delta;
    return tick;
}

bool SameEvent(const SmfFile& a, const SmfTrack& ta, const SmfEvent& x, const SmfFile& b,
               const SmfTrack& tb, const SmfEvent& y) {
    if (x.Status != y.Status || x.Data1 != y.Data1)
        return false;
    if (x.IsChannel())
        return x.Data2 == y.Data2;
    const auto p = a.Payload(ta, x);
    const auto q = b.Payload(tb, y);
    return std::equal(p.begin(), p.end(), q.begin(), q.end());
}

bool SameTrack(const SmfFile& a, const SmfTrack& ta, const SmfFile& b, const SmfTrack& tb) {
    const auto events = [](const SmfTrack& t) {
        std::size_t n = t.Events.size();
        return n > 0 && t.Events.back().IsEndOfTrack() ? n - 1 : n;
    };
    if (events(ta) != events(tb) || EndTick(ta) != EndTick(tb))
        return false;
    std::uint64_t tickA = 0;
    std::uint64_t tickB = 0;
    for (std::size_t i = 0; i < events(ta); ++i) {
        tickA += ta.Events[i].Delta;
        tickB += tb.Events[i].Delta;
        if (tickA != tickB || !SameEvent(a, ta, ta.Events[i], b, tb, tb.Events[i]))
            return false;
    }
    return true;
}

struct Losses {
    std::vector<std::string> Items;

    void Add(std::uint64_t count, const char* singular, const char* plural) {
        if (count > 0)
            Items.push_back(Counted(count, singular, plural));
    }
};

std::string ResolutionText(std::uint16_t division) {
    if ((division & 0x8000) == 0)
        return "la résolution du fichier (" + GroupedNumber(division) + " par noire)";
    const int frames = 256 - (division >> 8);
    return std::string("la résolution du fichier (") +
           (frames == 29 ? "29,97" : std::to_string(frames)) + " images par seconde)";
}

// A note as Ouvrir and the file each see it: track, start, length, number.
using NoteKey = std::tuple<std::uint32_t, std::int64_t, std::int64_t, int>;

// How many notes of the file (as the import pairs them) Ouvrir gives another length.
std::uint64_t ChangedLengths(const SmfFile& file, const Song& opened) {
    const Song faithful = ImportSmf(file).Content;
    std::vector<NoteKey> mine;
    for (const TMidiNote& n : faithful.Notes)
        mine.emplace_back(faithful.Tracks[n.Track].FileTrack, n.Pos,
                          n.End == NoteEnd::Never ? -1 : n.Len, n.NoteNum);
    std::vector<NoteKey> theirs;
    for (const TMidiNote& n : opened.Notes)
        theirs.emplace_back(n.Track, n.Pos, n.Len, n.NoteNum);
    std::sort(mine.begin(), mine.end());
    std::sort(theirs.begin(), theirs.end());
    std::vector<NoteKey> kept;
    std::set_intersection(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
                          std::back_inserter(kept));
    return mine.size() - kept.size();
}

// Ouvrir's song writes one program change at the start of each track, with the track's last
// program on the channel of its last channel event: the program changes that it does not write
// back as they are, and the tracks that had none and get one.
void ChangedPrograms(const SmfFile& file, const Song& opened, std::uint64_t& changed,
                     std::uint64_t& without) {
    for (std::size_t t = 0; t < file.Tracks.size() && t < opened.Tracks.size(); ++t) {
        const auto& events = file.Tracks[t].Events;
        const auto count = static_cast<std::uint64_t>(std::count_if(
            events.begin(), events.end(), [](const SmfEvent& e) { return e.Kind() == 0xC0; }));
        without += count == 0;
        // The first channel event must be it, at tick 0, as the song has it.
        std::uint64_t tick = 0;
        const SmfEvent* first = nullptr;
        for (const SmfEvent& e : events) {
            tick += e.Delta;
            if (e.IsChannel()) {
                first = &e;
                break;
            }
        }
        const SongTrack& row = opened.Tracks[t];
        const bool same = count == 1 && tick == 0 && first->Kind() == 0xC0 &&
                          first->Channel() == row.Channel && first->Data1 == row.Program;
        changed += same ? 0 : count;
    }
}

std::string Describe(const SmfFile& file, const SmfFile& saved, const Song& opened) {
    Losses losses;
    if (file.Division != KadrelDivision)
        losses.Items.push_back(ResolutionText(file.Division));
    if (file.Format != 1)
        losses.Items.push_back("le format " + std::to_string(file.Format) + " du fichier");
    std::uint64_t velocities = 0, releases = 0, zeroOns = 0, tempos = 0, names = 0, metas = 0;
    for (const SmfTrack& track : file.Tracks) {
        for (const SmfEvent& e : track.Events) {
            if (e.Kind() == 0x90) {
                velocities += e.Data2 != 127 && e.Data2 != 0;
                zeroOns += e.Data2 == 0;
            } else if (e.Kind() == 0x80) {
                releases += e.Data2 != 0;
            } else if (e.IsMeta() && !e.IsEndOfTrack()) {
                tempos += e.Data1 == 0x51;
                names += e.Data1 == 0x03;
                metas += e.Data1 != 0x51 && e.Data1 != 0x03;
            }
        }
    }
    losses.Add(velocities, "vélocité", "vélocités");
    losses.Add(releases, "vélocité de relâchement", "vélocités de relâchement");
    losses.Add(zeroOns, "note-on de vélocité 0", "note-ons de vélocité 0");
    losses.Add(tempos, "changement de tempo", "changements de tempo");
    losses.Add(names, "nom de track", "noms de track");
    losses.Add(metas, "méta-événement", "méta-événements");
    std::uint64_t programs = 0, without = 0;
    ChangedPrograms(file, opened, programs, without);
    losses.Add(programs, "changement de programme", "changements de programme");
    losses.Add(without, "track sans changement de programme",
               "tracks sans changement de programme");
    losses.Add(ChangedLengths(file, opened), "durée de note", "durées de note");
    std::uint64_t ends = 0;
    for (std::size_t t = 0; t < file.Tracks.size() && t < saved.Tracks.size(); ++t)
        ends += EndTick(file.Tracks[t]) != EndTick(saved.Tracks[t]);
    losses.Add(ends, "fin de track", "fins de track");
    losses.Add(file.OtherChunks.size(), "bloc d'un autre type", "blocs d'un autre type");
    if (losses.Items.empty())
        return "l'ordre de certains événements";
    std::string text = losses.Items[0];
    for (std::size_t i = 1; i < losses.Items.size(); ++i)
        text += ", " + losses.Items[i];
    return text;
}

} // namespace

bool SameEvents(const SmfFile& a, const SmfFile& b) {
    if (a.Format != b.Format || a.Division != b.Division || a.Tracks.size() != b.Tracks.size() ||
        a.OtherChunks.size() != b.OtherChunks.size())
        return false;
    for (std::size_t i = 0; i < a.OtherChunks.size(); ++i) {
        const SmfChunk& x = a.OtherChunks[i];
        const SmfChunk& y = b.OtherChunks[i];
        const auto p = a.Data(x);
        const auto q = b.Data(y);
        if (x.Id != y.Id || x.BeforeTrack != y.BeforeTrack ||
            !std::equal(p.begin(), p.end(), q.begin(), q.end()))
            return false;
    }
    for (std::size_t t = 0; t < a.Tracks.size(); ++t)
        if (!SameTrack(a, a.Tracks[t], b, b.Tracks[t]))
            return false;
    return true;
}

std::string OpenLosses(std::span<const std::uint8_t> bytes) {
    ByteStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    TMidi midi;
    midi.LoadFromStream(stream);
    Song opened;
    ImportSong(midi, opened, nullptr);
    ByteStream saved;
    ExportSong(opened).SaveToStream(saved);
    SmfFile file;
    try {
        file = ReadSmf(bytes);
    } catch (const SmfReadError&) {
        // Only a division of 0 or a delta time of more than four bytes gets here: Ouvrir reads
        // them, Kadrel does not write them.
        return "l'ordre de certains événements";
    }
    const SmfFile written = ReadSmf(saved.Bytes());
    if (SameEvents(file, written))
        return "";
    return Describe(file, written, opened);
}

} // namespace kadrel
