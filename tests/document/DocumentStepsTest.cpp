#include "document/SongDocument.h"
#include "song/NoteText.h"
#include "util/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

// A saved song of one track and three notes.
void Open(SongDocument& document) {
    Song song;
    song.Tracks = {{"Piano", 0, 0}};
    song.Notes = {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{62, 16, 16, 0, 0},
                  TMidiNote{64, 32, 16, 0, 0}};
    document.Replace(std::move(song), true);
}

// The notes at indices moved by deltaPos positions.
NoteList Moved(const SongDocument& document, const NoteIndices& indices, int deltaPos) {
    NoteList after;
    for (std::uint32_t i : indices) {
        TMidiNote note = document.Content().Notes[i];
        note.Pos += deltaPos;
        after.push_back(note);
    }
    return after;
}

// The changes of one gesture are one step; a drag that ends where it started is none.
TEST(DocumentSteps, AGestureIsOneStep) {
    struct Case {
        const char* name;
        std::function<void(SongDocument&)> gesture;
        std::vector<std::string> texts; // the steps it leaves
        std::vector<std::string> done;  // the notes after it
    };
    const Case cases[] = {
        {"a drag in three moves",
         [](SongDocument& d) {
             const int g = d.StartGesture();
             for (int move = 0; move < 3; ++move)
                 d.ChangeNotes({0, 2}, Moved(d, {0, 2}, 4), NoteEdit::Move, g);
         },
         {"le déplacement de 2 notes"},
         {"60@12+16 c0 t0", "62@16+16 c0 t0", "64@44+16 c0 t0"}},
        {"a drag back to where it started",
         [](SongDocument& d) {
             const int g = d.StartGesture();
             d.ChangeNotes({1}, Moved(d, {1}, 8), NoteEdit::Move, g);
             d.ChangeNotes({1}, Moved(d, {1}, -8), NoteEdit::Move, g);
         },
         {},
         {"60@0+16 c0 t0", "62@16+16 c0 t0", "64@32+16 c0 t0"}},
        {"a note added and lengthened",
         [](SongDocument& d) {
             const int g = d.StartGesture();
             d.AppendNotes({TMidiNote{67, 48, 12, 0, 0}}, NoteEdit::Add, g);
             for (int len : {20, 30}) {
                 TMidiNote longer = d.Content().Notes[3];
                 longer.Len = len;
                 d.ChangeNotes({3}, {longer}, NoteEdit::Add, g);
             }
         },
         {"l'ajout d'une note"},
         {"60@0+16 c0 t0", "62@16+16 c0 t0", "64@32+16 c0 t0", "67@48+30 c0 t0"}},
        {"two gestures",
         [](SongDocument& d) {
             d.ChangeNotes({0}, Moved(d, {0}, 4), NoteEdit::Move, d.StartGesture());
             d.ChangeNotes({0}, Moved(d, {0}, 4), NoteEdit::Move, d.StartGesture());
         },
         {"le déplacement d'une note", "le déplacement d'une note"},
         {"60@8+16 c0 t0", "62@16+16 c0 t0", "64@32+16 c0 t0"}},
    };
    for (const Case& c : cases) {
        SongDocument document;
        Open(document);
        const std::vector<std::string> opened = NoteTexts(document.Content().Notes);
        c.gesture(document);
        std::vector<std::string> texts;
        for (int i = 0; i < document.History().count(); ++i)
            texts.push_back(document.History().text(i).toStdString());
        EXPECT_EQ(texts, c.texts) << c.name;
        EXPECT_EQ(NoteTexts(document.Content().Notes), c.done) << c.name;
        EXPECT_EQ(document.IsModified(), !c.texts.empty()) << c.name;
        while (document.Undo()) {
        }
        EXPECT_EQ(NoteTexts(document.Content().Notes), opened) << c.name;
        while (document.Redo()) {
        }
        EXPECT_EQ(NoteTexts(document.Content().Notes), c.done) << c.name;
    }
}

// Whoever refers to notes hears of a change before it happens, while the song still holds the
// notes as they were, and of what it did afterwards.
TEST(DocumentSteps, ChangesAreAnnouncedBeforeTheyHappen) {
    struct Case {
        const char* name;
        std::function<void(SongDocument&)> step;
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {"removed",
         [](SongDocument& d) {
             d.RemoveNotes({0, 2}, NoteEdit::Remove);
         },
         {"removing 0 2 of 3 (60)", "removed 0 2 of 1"}},
        {"moved",
         [](SongDocument& d) { d.ChangeNotes({1}, Moved(d, {1}, 5), NoteEdit::Move); },
         {"changing 1 from 16 to 21", "changed 1 to 21"}},
        {"undo of a removal puts back without announcing",
         [](SongDocument& d) {
             d.RemoveNotes({1}, NoteEdit::Remove);
             d.Undo();
         },
         {"removing 1 of 3 (62)", "removed 1 of 2", "step", "inserted 1 of 3"}},
        {"undo of an addition takes the notes out",
         [](SongDocument& d) {
             d.AppendNotes({TMidiNote{70, 0, 1, 0, 0}}, NoteEdit::Add);
             d.Undo();
         },
         {"appended from 3", "step", "removing 3 of 4 (70)", "removed 3 of 3"}},
        {"another song",
         [](SongDocument& d) { d.Replace(Song(), true); },
         {"replacing 3 notes", "replaced"}},
    };
    for (const Case& c : cases) {
        SongDocument document;
        Open(document);
        std::vector<std::string> heard;
        const auto& notes = document.Content().Notes;
        const auto list = [](const NoteIndices& indices) {
            std::string text;
            for (std::uint32_t i : indices)
                text += std::to_string(i) + " ";
            return text;
        };
        QObject::connect(
            &document, &SongDocument::NotesAboutToBeRemoved, [&](const NoteIndices& indices) {
                heard.push_back("removing " + list(indices) + "of " + std::to_string(notes.size()) +
                                " (" + std::to_string(notes[indices[0]].NoteNum) + ")");
            });
        QObject::connect(&document, &SongDocument::NotesAboutToChange,
                         [&](const NoteIndices& indices, const NoteList& after) {
                             heard.push_back("changing " + list(indices) + "from " +
                                             std::to_string(notes[indices[0]].Pos) + " to " +
                                             std::to_string(after[0].Pos));
                         });
        QObject::connect(&document, &SongDocument::NotesRemoved, [&](const NoteIndices& indices) {
            heard.push_back("removed " + list(indices) + "of " + std::to_string(notes.size()));
        });
        QObject::connect(&document, &SongDocument::NotesInserted, [&](const NoteIndices& indices) {
            heard.push_back("inserted " + list(indices) + "of " + std::to_string(notes.size()));
        });
        QObject::connect(&document, &SongDocument::NotesChanged, [&](const NoteIndices& indices) {
            heard.push_back("changed " + list(indices) + "to " +
                            std::to_string(notes[indices[0]].Pos));
        });
        QObject::connect(&document, &SongDocument::NotesAppended, [&](std::size_t first) {
            heard.push_back("appended from " + std::to_string(first));
        });
        QObject::connect(&document, &SongDocument::StepAboutToRun,
                         [&] { heard.push_back("step"); });
        QObject::connect(&document, &SongDocument::SongAboutToBeReplaced, [&] {
            heard.push_back("replacing " + std::to_string(notes.size()) + " notes");
        });
        QObject::connect(&document, &SongDocument::SongReplaced,
                         [&] { heard.push_back("replaced"); });
        c.step(document);
        EXPECT_EQ(heard, c.heard) << c.name;
    }
}

// A track command whose instrument cannot be sent keeps the track as it got that far, but does
// not succeed: no step, and the song is not marked as changed by it.
TEST(DocumentSteps, ATrackCommandWhoseSendFailsIsNoStep) {
    const auto refuse = [] { throw Error("refused"); };
    struct Case {
        const char* name;
        std::function<void(SongDocument&, const std::function<void()>&)> command;
        std::vector<SongTrack> after;
    };
    const Case cases[] = {
        {"Ajouter",
         [](SongDocument& d, const std::function<void()>& send) {
             d.AddTrack({"Basse", 1, 33}, 0, send);
         },
         {{"Piano", 0, 0}, {"Basse", 1, 33, 1}}},
        {"Modifier",
         [](SongDocument& d, const std::function<void()>& send) {
             d.ChangeTrack(0, {"Orgue", 2, 19}, send);
         },
         {{"Orgue", 2, 19}}},
    };
    for (const Case& c : cases) {
        for (const bool refused : {false, true}) {
            SongDocument document;
            Open(document);
            int sent = 0;
            const std::function<void()> send = [&] {
                ++sent;
                if (refused)
                    refuse();
            };
            if (refused)
                EXPECT_THROW(c.command(document, send), Error) << c.name;
            else
                c.command(document, send);
            EXPECT_EQ(sent, 1) << c.name;
            EXPECT_EQ(document.Content().Tracks, c.after) << c.name;
            EXPECT_EQ(document.History().count(), refused ? 0 : 1) << c.name;
            EXPECT_EQ(document.IsModified(), !refused) << c.name;
        }
    }
}

// Undo and redo tell which track comes back or changes, so that its instrument sounds again as
// the track commands sound it; doing a step the first time tells nothing (the command sent it).
TEST(DocumentSteps, UndoAndRedoTellTheTrackWhoseInstrumentSounds) {
    struct Case {
        const char* name;
        std::function<void(SongDocument&)> step;
        std::vector<int> undone, redone;
    };
    const Case cases[] = {
        {"added",
         [](SongDocument& d) {
             d.AddTrack({"", 1, 5}, 0);
         },
         {},
         {1}},
        {"changed",
         [](SongDocument& d) {
             d.ChangeTrack(0, {"", 3, 8});
         },
         {0},
         {0}},
        {"deleted", [](SongDocument& d) { d.DeleteTrack(0); }, {0}, {}},
        {"notes", [](SongDocument& d) { d.RemoveNotes({0}, NoteEdit::Remove); }, {}, {}},
    };
    for (const Case& c : cases) {
        SongDocument document;
        Open(document);
        std::vector<int> told;
        QObject::connect(&document, &SongDocument::TrackRestored,
                         [&](int row) { told.push_back(row); });
        c.step(document);
        EXPECT_TRUE(told.empty()) << c.name;
        document.Undo();
        EXPECT_EQ(told, c.undone) << c.name;
        told.clear();
        document.Redo();
        EXPECT_EQ(told, c.redone) << c.name;
    }
}

} // namespace
} // namespace kadrel::test
