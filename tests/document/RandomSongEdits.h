#pragma once

#include "core/SmfBytes.h"
#include "document/SongDocument.h"
#include "midi/SmfReader.h"
#include "song/SongSave.h"
#include "song/TolerantImport.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kadrel::test {

// Everything that undo and redo must give back: each note with all its fields at the same
// place, the tracks, and the bytes the song saves to.
struct Snapshot {
    NoteList Notes;
    std::vector<SongTrack> Tracks;
    std::vector<std::uint8_t> Saved;

    bool operator==(const Snapshot&) const = default;
};

inline Snapshot Take(const SongDocument& document) {
    Snapshot s;
    s.Notes = document.Content().Notes;
    s.Tracks = document.Content().Tracks;
    s.Saved = SongFileBytes(document.Content());
    return s;
}

// Makes random edits of every kind on a document.
class RandomEditor {
public:
    // live: also makes steps as gestures do, several changes merged into one step.
    RandomEditor(SongDocument& document, std::uint32_t seed, bool live = true)
        : document_(document), random_(seed), live_(live) {}

    int Below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

    TMidiNote RandomNote(std::size_t tracks) {
        const int track = Below(static_cast<int>(tracks));
        return TMidiNote{static_cast<std::uint8_t>(30 + Below(60)), Below(500), 1 + Below(40),
                         static_cast<std::uint8_t>(Below(16)), static_cast<std::uint32_t>(track)};
    }

    // Opens a random song of 1 to 4 tracks and 40 notes.
    void OpenRandomSong() {
        Song song;
        for (int t = 0, n = 1 + Below(4); t < n; ++t)
            song.Tracks.push_back({"t" + std::to_string(t), t, static_cast<std::uint8_t>(t * 9),
                                   static_cast<std::uint32_t>(t)});
        for (int i = 0; i < 40; ++i)
            song.Notes.push_back(RandomNote(song.Tracks.size()));
        document_.Replace(std::move(song), true);
    }

    // Opens a file as real collections hold it, imported as it is: division 480, a conductor
    // track (tempo, time signature, marker), running status, velocities, note-ons of velocity 0,
    // a controller, a pitch bend, a sysex, two channels in one track.
    void OpenRandomImportedSong() {
        Bytes melody = {0, 0xFF, 0x03, 5, 'F', 'l', 'u', 't', 'e', 0, 0xC0, 73, 0, 0xB0, 7, 90};
        Bytes bass = {0, 0xC1, 33, 0, 0xC2, 0, 0, 0xF0, 3, 0x7E, 0x7F, 0xF7};
        for (int i = 0; i < 12; ++i) {
            const auto n = static_cast<std::uint8_t>(60 + Below(20));
            const auto v = static_cast<std::uint8_t>(20 + Below(100));
            melody = Cat({melody,
                          Vlq(static_cast<std::uint32_t>(Below(300))),
                          {0x90, n, v},
                          Vlq(static_cast<std::uint32_t>(1 + Below(400))),
                          {n, 0}});
            bass = Cat({bass,
                        Vlq(static_cast<std::uint32_t>(Below(200))),
                        {static_cast<std::uint8_t>(0x91 + Below(2)),
                         static_cast<std::uint8_t>(36 + i), v, 0x60, 0xE1, 0, 0x40, 0x60},
                        {static_cast<std::uint8_t>(0x81 + Below(2)),
                         static_cast<std::uint8_t>(36 + i), 0x40}});
        }
        const Bytes conductor = {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0,    0xFF, 0x58, 4,
                                 3, 2,    24,   8, 0x83, 0x60, 0xFF, 0x06, 1,    'A'};
        bytes_ =
            Smf(1, 480,
                {Cat({conductor, EndOfTrack}), Cat({melody, EndOfTrack}), Cat({bass, EndOfTrack})});
        document_.Replace(ImportSmf(ReadSmf(bytes_)).Content, true);
    }

    // One edit; returns whether it became one new step of the history (the one drawn may be
    // impossible, or change nothing).
    bool Edit() {
        const int before = document_.History().index();
        MakeEdit();
        return document_.History().index() == before + 1;
    }

private:
    void MakeEdit() {
        const Song& song = document_.Content();
        const std::size_t count = song.Notes.size();
        switch (Below(8)) {
        case 0: { // paste
            if (song.Tracks.empty())
                return;
            NoteList notes;
            for (int i = 0, n = 1 + Below(3); i < n; ++i)
                notes.push_back(RandomNote(song.Tracks.size()));
            document_.AppendNotes(std::move(notes), NoteEdit::Paste);
            return;
        }
        case 7: { // a note added, then lengthened by the same gesture
            if (song.Tracks.empty())
                return;
            const int gesture = document_.StartGesture();
            document_.AppendNotes({RandomNote(song.Tracks.size())}, NoteEdit::Add, gesture);
            if (live_) {
                const auto added = static_cast<std::uint32_t>(song.Notes.size() - 1);
                for (int i = 0, n = Below(4); i < n; ++i) {
                    TMidiNote longer = song.Notes[added];
                    longer.Len += 1 + Below(10);
                    document_.ChangeNotes({added}, {longer}, NoteEdit::Add, gesture);
                }
            }
            return;
        }
        case 1: { // remove some, anywhere
            std::vector<std::uint32_t> indices;
            for (std::uint32_t i = 0; i < count; ++i)
                if (Below(6) == 0)
                    indices.push_back(i);
            if (indices.empty())
                return;
            document_.RemoveNotes(std::move(indices), NoteEdit::Remove);
            return;
        }
        case 2:
        case 3: { // move some at once, or in several moves of one drag
            NoteIndices indices;
            for (std::uint32_t i = 0; i < count; ++i)
                if (Below(4) == 0 && song.Notes[i].Pos >= 100 && song.Notes[i].NoteNum >= 40 &&
                    song.Notes[i].NoteNum < 87)
                    indices.push_back(i);
            if (indices.empty())
                return;
            const int moves = live_ ? 1 + Below(3) : 1;
            const int gesture = document_.StartGesture();
            for (int m = 0; m < moves; ++m) {
                const std::int32_t deltaPos = Below(41) - 20;
                const std::int32_t deltaNote = Below(21) - 10;
                NoteList after;
                for (std::uint32_t i : indices) {
                    TMidiNote n = song.Notes[i];
                    n.Pos += deltaPos;
                    n.NoteNum = static_cast<std::uint8_t>(n.NoteNum + deltaNote);
                    after.push_back(n);
                }
                document_.ChangeNotes(indices, std::move(after), NoteEdit::Move, gesture);
            }
            return;
        }
        case 4: // add a track
            document_.AddTrack({"nouveau", Below(16), static_cast<std::uint8_t>(Below(128))}, -1);
            return;
        case 5: { // change a track
            if (song.Tracks.empty())
                return;
            document_.ChangeTrack(
                static_cast<std::size_t>(Below(static_cast<int>(song.Tracks.size()))),
                {"autre", Below(16), static_cast<std::uint8_t>(Below(128))});
            return;
        }
        default: { // delete a track with its notes
            if (song.Tracks.size() < 2)
                return;
            document_.DeleteTrack(
                static_cast<std::size_t>(Below(static_cast<int>(song.Tracks.size()))));
            return;
        }
        }
    }

    SongDocument& document_;
    Bytes bytes_; // the imported file
    std::mt19937 random_;
    bool live_;
};

} // namespace kadrel::test
