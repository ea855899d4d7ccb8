#include "EditorFixture.h"
#include "editor/SongDocument.h"
#include "midi/ByteStream.h"
#include "song/SongConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace kadrel::test {
namespace {

// Everything that undo and redo must give back: each note as the same record with the same
// fields at the same place, the tracks, and the bytes the song saves to.
struct Snapshot {
    std::vector<std::tuple<const TMidiNote*, int, int, int, int, unsigned>> Notes;
    std::vector<SongTrack> Tracks;
    std::vector<std::uint8_t> Saved;

    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const SongDocument& document) {
    Snapshot s;
    for (const auto& n : document.Content().Notes)
        s.Notes.emplace_back(n.get(), n->NoteNum, n->Pos, n->Len, n->Channel, n->Track);
    s.Tracks = document.Content().Tracks;
    ByteStream stream;
    ExportSong(document.Content()).SaveToStream(stream);
    s.Saved = stream.Bytes();
    return s;
}

// Makes random edits of every kind on a document.
class RandomEditor {
public:
    // live: also changes notes itself as gestures do, outside the views, and records them.
    RandomEditor(SongDocument& document, std::uint32_t seed, bool live = true)
        : document_(document), random_(seed), live_(live) {}

    int Below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

    std::unique_ptr<TMidiNote> RandomNote(std::size_t tracks) {
        const int track = Below(static_cast<int>(tracks));
        return std::make_unique<TMidiNote>(
            TMidiNote{static_cast<std::uint8_t>(30 + Below(60)), Below(500), 1 + Below(40),
                      static_cast<std::uint8_t>(Below(16)), static_cast<std::uint32_t>(track)});
    }

    // Opens a random song of 1 to 4 tracks and 40 notes.
    void OpenRandomSong() {
        Song song;
        for (int t = 0, n = 1 + Below(4); t < n; ++t)
            song.Tracks.push_back({"t" + std::to_string(t), t, static_cast<std::uint8_t>(t * 9)});
        for (int i = 0; i < 40; ++i)
            song.Notes.push_back(RandomNote(song.Tracks.size()));
        document_.Replace(std::move(song), true);
    }

    // One edit that changes the song; returns false when the one drawn could not be made.
    bool Edit() {
        const Song& song = document_.Content();
        const std::size_t count = song.Notes.size();
        switch (Below(8)) {
        case 0: { // paste
            if (song.Tracks.empty())
                return false;
            std::vector<std::unique_ptr<TMidiNote>> notes;
            for (int i = 0, n = 1 + Below(3); i < n; ++i)
                notes.push_back(RandomNote(song.Tracks.size()));
            document_.AppendNotes(std::move(notes), NoteEdit::Paste);
            return true;
        }
        case 7: { // a note added, then lengthened by the same gesture
            if (song.Tracks.empty())
                return false;
            std::vector<std::unique_ptr<TMidiNote>> note;
            note.push_back(RandomNote(song.Tracks.size()));
            TMidiNote* added = note.back().get();
            document_.AppendNotes(std::move(note), NoteEdit::Add);
            if (live_)
                added->Len += 1 + Below(30);
            return true;
        }
        case 1: { // remove some, anywhere
            std::vector<std::uint32_t> indices;
            for (std::uint32_t i = 0; i < count; ++i)
                if (Below(6) == 0)
                    indices.push_back(i);
            if (indices.empty())
                return false;
            document_.RemoveNotes(std::move(indices), NoteEdit::Remove);
            return true;
        }
        case 2:
        case 3: { // move some, or record a move already made
            std::vector<TMidiNote*> notes;
            for (const auto& n : song.Notes)
                if (Below(4) == 0 && n->Pos >= 20 && n->NoteNum >= 10 && n->NoteNum < 117)
                    notes.push_back(n.get());
            const std::int64_t deltaPos = Below(41) - 20;
            const std::int32_t deltaNote = Below(21) - 10;
            if (notes.empty() || (deltaPos == 0 && deltaNote == 0))
                return false;
            if (Below(2) == 0 || !live_) {
                document_.MoveNotes(std::move(notes), deltaPos, deltaNote, NoteEdit::Move);
            } else {
                for (TMidiNote* n : notes) {
                    n->Pos = static_cast<std::int32_t>(n->Pos + deltaPos);
                    n->NoteNum = static_cast<std::uint8_t>(n->NoteNum + deltaNote);
                }
                document_.RecordMove(std::move(notes), deltaPos, deltaNote);
            }
            return true;
        }
        case 4: // add a track
            document_.AddTrack({"nouveau", Below(16), static_cast<std::uint8_t>(Below(128))}, -1);
            return true;
        case 5: { // change a track
            if (song.Tracks.empty())
                return false;
            document_.ChangeTrack(
                static_cast<std::size_t>(Below(static_cast<int>(song.Tracks.size()))),
                {"autre", Below(16), static_cast<std::uint8_t>(Below(128))});
            return true;
        }
        default: { // delete a track with its notes
            if (song.Tracks.size() < 2)
                return false;
            document_.DeleteTrack(
                static_cast<std::size_t>(Below(static_cast<int>(song.Tracks.size()))));
            return true;
        }
        }
    }

private:
    SongDocument& document_;
    std::mt19937 random_;
    bool live_;
};

// A random sequence of edits of every kind, undone to the start and redone to the end, then
// undo, redo and new edits mixed: at every point the song is the one the history says.
TEST(SongHistory, RandomEditsUndoAndRedoToTheSameSongs) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        SongDocument document;
        RandomEditor editor(document, seed);
        editor.OpenRandomSong();
        // states[i]: the song after i steps of the history
        std::vector<Snapshot> states{Take(document)};
        while (states.size() <= 200)
            if (editor.Edit())
                states.push_back(Take(document));
        ASSERT_EQ(document.History().count(), 200);

        while (document.CanUndo())
            document.Undo();
        ASSERT_EQ(Take(document), states.front());
        EXPECT_FALSE(document.IsModified()) << "back to the saved song";
        while (document.CanRedo())
            document.Redo();
        ASSERT_EQ(Take(document), states.back());

        for (int i = 0; i < 300; ++i) {
            const int what = editor.Below(3);
            if (what == 0 && document.CanUndo()) {
                document.Undo();
            } else if (what == 1 && document.CanRedo()) {
                document.Redo();
            } else if (what == 2 && editor.Edit()) {
                // a new step drops the steps that were undone
                states.resize(static_cast<std::size_t>(document.History().index()));
                states.push_back(Take(document));
                ASSERT_FALSE(document.CanRedo());
            } else {
                continue;
            }
            ASSERT_EQ(Take(document), states[static_cast<std::size_t>(document.History().index())])
                << "after action " << i;
        }
    }
}

// The same through the window: after every step, undo and redo, the rows show the tracks and the
// score shows the selected track's notes, each paired with its record, in the song's order.
class SongHistoryInTheWindow : public EditorTest {
protected:
    void ExpectViewsShowTheSong() {
        EXPECT_EQ(RowTexts().size(), window->SongView().Tracks.size());
        for (int i = 0; i < window->RowCount(); ++i) {
            const TrackRowTexts texts =
                kadrel::RowTexts(window->SongView().Tracks[i], static_cast<std::size_t>(i));
            const QTreeWidgetItem* item = window->TrackList->topLevelItem(i);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->text(0).toStdString(), texts.Caption);
            EXPECT_EQ(item->text(1).toStdString(), texts.Name);
            EXPECT_EQ(item->text(2).toStdString(), texts.Channel);
            EXPECT_EQ(item->text(3).toStdString(), texts.Instrument);
        }
        EXPECT_EQ(window->TrackList->topLevelItemCount(), window->RowCount());
        std::vector<const TMidiNote*> expected;
        for (const auto& note : Notes())
            if (std::int64_t{note->Track} == window->SelectedRow())
                expected.push_back(note.get());
        std::vector<const TMidiNote*> shown;
        for (const auto& note : score().NoteList()) {
            shown.push_back(static_cast<const TMidiNote*>(note->Data));
            EXPECT_EQ(note->Pos, shown.back()->Pos);
            EXPECT_EQ(note->Len, shown.back()->Len);
            EXPECT_EQ(note->NoteNum, shown.back()->NoteNum);
        }
        EXPECT_EQ(shown, expected);
    }
};

TEST_F(SongHistoryInTheWindow, TheViewsFollowRandomStepsUndoAndRedo) {
    SongDocument& document = window->Document();
    RandomEditor editor(document, 7, false);
    editor.OpenRandomSong();
    SelectRow(0);
    for (int i = 0; i < 400; ++i) {
        SCOPED_TRACE(i);
        const int what = editor.Below(5);
        if (what == 0)
            window->AnnulerClick();
        else if (what == 1)
            window->RetablirClick();
        else if (what == 2 && window->RowCount() > 0)
            SelectRow(editor.Below(window->RowCount()));
        else
            editor.Edit();
        ExpectViewsShowTheSong();
        if (HasFatalFailure() || HasNonfatalFailure())
            return;
    }
}

// The history keeps the last 1000 steps: the oldest are dropped, and the song can no longer go
// back to the saved state.
TEST(SongHistory, KeepsTheLast1000Steps) {
    SongDocument document;
    Song song;
    song.Tracks.push_back({"", 0, 0});
    document.Replace(std::move(song), true);
    for (int i = 0; i < 1005; ++i) {
        std::vector<std::unique_ptr<TMidiNote>> note;
        note.push_back(std::make_unique<TMidiNote>(TMidiNote{60, i, 1, 0, 0}));
        document.AppendNotes(std::move(note), NoteEdit::Add);
    }
    EXPECT_EQ(document.History().count(), 1000);
    while (document.CanUndo())
        document.Undo();
    ASSERT_EQ(document.Content().Notes.size(), 5u);
    EXPECT_EQ(document.Content().Notes.back()->Pos, 4);
    EXPECT_TRUE(document.IsModified());
}

} // namespace
} // namespace kadrel::test
