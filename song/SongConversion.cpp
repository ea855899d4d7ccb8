#include "song/SongConversion.h"

#include "song/Instruments.h"

#include <algorithm>
#include <array>
#include <limits>

namespace kadrel {

namespace {

constexpr std::int64_t MaxTick = std::numeric_limits<std::int32_t>::max();

// One note-on or note-off of a track, in the order the file must hold them.
struct NotePoint {
    std::int64_t tick;
    const TMidiNote* note;
    bool on;
};

} // namespace

void ImportSong(const TMidi& midi, Song& song, const ChangePatchSender& changePatch) {
    NoteList& notes = song.Notes;
    const std::size_t firstRow = song.Tracks.size();
    for (std::size_t t = 0; t < midi.Tracks.size(); ++t)
        song.Tracks.push_back(
            {"", static_cast<std::int32_t>(t), 0, static_cast<std::uint32_t>(firstRow + t)});

    // The place of the last note of each number, so that a note-off finds it at once instead of
    // searching the whole list backwards.
    constexpr std::size_t None = std::numeric_limits<std::size_t>::max();
    std::array<std::size_t, 256> lastOfNumber;
    lastOfNumber.fill(None);
    for (std::size_t i = 0; i < notes.size(); ++i)
        lastOfNumber[notes[i].NoteNum] = i;

    for (std::size_t t = 0; t < midi.Tracks.size(); ++t) {
        SongTrack& row = song.Tracks[firstRow + t];
        // Times are summed wide and kept to the positions a note can hold, so that a file with
        // very long delta times does not wrap its notes round to negative positions.
        std::int64_t time = 0;
        for (const auto& event : midi.Tracks[t]->Events) {
            time = std::min(time + event->DeltaTime.GetValue(), MaxTick);
            if (event->IsMeta)
                continue;
            row.Channel = event->Channel;
            if (const auto* on = dynamic_cast<const TMidiNoteONEvent*>(event.get())) {
                // A data byte of 128 or more is no note: it could be neither played nor saved.
                if (on->Note > 127)
                    continue;
                TMidiNote note;
                note.NoteNum = on->Note;
                // A note keeps its end within the last position too, so that it is saved as it
                // is: a shorter length near the end, and a note at the very end moved back by
                // one position to keep its length of 1.
                note.Len =
                    static_cast<std::int32_t>(std::clamp<std::int64_t>(MaxTick - time, 1, 16));
                note.Pos = static_cast<std::int32_t>(std::min(time, MaxTick - note.Len));
                note.Channel = on->Channel;
                note.Track = static_cast<std::uint32_t>(firstRow + t);
                lastOfNumber[note.NoteNum] = notes.size();
                notes.push_back(note);
            } else if (const auto* off = dynamic_cast<const TMidiNoteOFFEvent*>(event.get())) {
                if (lastOfNumber[off->Note] == None)
                    continue;
                TMidiNote& note = notes[lastOfNumber[off->Note]];
                const std::int64_t len = time - note.Pos;
                note.Len = len <= 0 ? 1 : static_cast<std::int32_t>(len);
            } else if (const auto* patch =
                           dynamic_cast<const TMidiChangePatchEvent*>(event.get())) {
                if (patch->Patch >= InstrumentCount)
                    continue;
                row.Program = patch->Patch;
                if (changePatch)
                    changePatch(patch->Channel, patch->Patch);
            }
        }
    }
}

TMidi ExportSong(const Song& song) {
    const NoteList& notes = song.Notes;
    const std::vector<SongTrack>& rows = song.Tracks;
    TMidi midi;
    midi.Format = 1;
    midi.Division = 16;

    // The notes of each track, in list order: one pass over the song instead of one per row.
    std::vector<std::vector<const TMidiNote*>> byTrack(rows.size());
    for (const TMidiNote& note : notes)
        if (note.Track < rows.size())
            byTrack[note.Track].push_back(&note);

    std::vector<NotePoint> points;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto track = std::make_unique<TMidiTrack>();
        auto patch = std::make_unique<TMidiChangePatchEvent>();
        patch->Channel = static_cast<std::uint8_t>(rows[i].Channel & 0x0F);
        patch->Patch = rows[i].Program;
        track->Events.push_back(std::move(patch));

        // Each note gives its off then its on; a stable sort by tick then keeps, within a tick,
        // the list order and a note's off before its on. Positions before 0 are not part of
        // the song and are not written.
        points.clear();
        for (const TMidiNote* note : byTrack[i]) {
            const std::int64_t end = std::int64_t{note->Pos} + note->Len;
            if (end >= 0)
                points.push_back({end, note, false});
            if (note->Pos >= 0)
                points.push_back({note->Pos, note, true});
        }
        std::stable_sort(points.begin(), points.end(),
                         [](const NotePoint& a, const NotePoint& b) { return a.tick < b.tick; });

        track->Events.reserve(points.size() + 1);
        std::int64_t last = 0;
        for (const NotePoint& point : points) {
            std::unique_ptr<TMidiEvent> event;
            if (point.on) {
                auto on = std::make_unique<TMidiNoteONEvent>();
                on->Note = point.note->NoteNum;
                on->Velocity = 127;
                event = std::move(on);
            } else {
                auto off = std::make_unique<TMidiNoteOFFEvent>();
                off->Note = point.note->NoteNum;
                event = std::move(off);
            }
            event->Channel = point.note->Channel;
            event->DeltaTime.SetValue(static_cast<std::uint32_t>(point.tick - last));
            last = point.tick;
            track->Events.push_back(std::move(event));
        }
        midi.Tracks.push_back(std::move(track));
    }
    return midi;
}

} // namespace kadrel
