#include "EditorFixture.h"

#include <QToolButton>

#include <gmock/gmock.h>

#include <numeric>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

constexpr std::uint32_t T0 = 1000; // the virtual clock's time when a test starts

class Playback : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        AddTrack(0);
        MarkSaved();
        out.Clear();
    }

    void AddNote(int num, int pos, int len, int channel = 0, int track = 0) {
        AddNotes(
            {TMidiNote{static_cast<std::uint8_t>(num), pos, len, static_cast<std::uint8_t>(channel),
                       static_cast<std::uint16_t>(track)}});
        // as if read from a file: closing asks nothing
        MarkSaved();
    }

    // Presses Play and runs the loop in virtual time until a scheduled Stop or Pause ends it.
    void PlayUntilStopAt(std::uint32_t at) {
        clock.At(at, [this] { window->StopPlayClick(); });
        window->PlayClick();
        QCoreApplication::processEvents();
    }

    // The messages sent before the final all-notes-off.
    std::vector<RecordedMessage> BeforeAllNotesOff(std::size_t rows = 1) const {
        const auto& all = out.Messages();
        EXPECT_GE(all.size(), 128 * rows);
        return std::vector<RecordedMessage>(all.begin(), all.end() - static_cast<long>(128 * rows));
    }
};

// When the notes of the song go out, counted from the start of the loop.
TEST_F(Playback, WhenNotesStartAndStop) {
    struct Note {
        int num, pos, len, channel;
    };
    struct Case {
        const char* name;
        std::vector<Note> notes;
        std::int32_t cursor;      // in pixels, where Play starts
        std::vector<Note> during; // added at 100 ms
        std::uint32_t stopAt;
        std::vector<RecordedMessage> sent; // before the final all-notes-off, times from the start
    };
    const Case cases[] = {
        {"the first step handles position -1: notes at 0 start after 30 ms",
         {{60, 0, 2, 0}},
         0,
         {},
         100,
         {{30, NoteOnMsg(0, 60)}, {90, NoteOffMsg(0, 60)}}},
        {"a note at 10 of length 5 starts at 330 ms and stops at 480 ms",
         {{64, 10, 5, 2}},
         0,
         {},
         600,
         {{330, NoteOnMsg(2, 64)}, {480, NoteOffMsg(2, 64)}}},
        {"Play starts at the cursor",
         {{60, 3, 1, 0}, {61, 8, 1, 0}},
         16,
         {},
         50,
         {{30, NoteOnMsg(0, 61)}}},
        {"notes added during playback play from the next step",
         {},
         0,
         {{70, 5, 1, 0}},
         250,
         {{180, NoteOnMsg(0, 70)}, {210, NoteOffMsg(0, 70)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        AddTrack(0);
        for (const Note& n : c.notes)
            AddNote(n.num, n.pos, n.len, n.channel);
        score().SetCursorPos(c.cursor);
        out.Clear();
        const std::uint32_t start = clock.NowMs();
        clock.At(start + 100, [&] {
            for (const Note& n : c.during)
                AddNote(n.num, n.pos, n.len, n.channel);
        });
        PlayUntilStopAt(start + c.stopAt);
        std::vector<RecordedMessage> sent = BeforeAllNotesOff();
        for (RecordedMessage& m : sent)
            m.TimeMs -= start;
        EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(Playback, WithinAStepOffsGoBeforeOnsInListOrder) {
    AddNote(60, 20, 4);  // starts where the next one ends
    AddNote(60, 10, 10); // ends at 20
    AddNote(62, 20, 1, 1);
    PlayUntilStopAt(T0 + 30 * 22);
    const auto sent = BeforeAllNotesOff();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[0], (RecordedMessage{T0 + 330, NoteOnMsg(0, 60)}));
    EXPECT_EQ(sent[1], (RecordedMessage{T0 + 630, NoteOffMsg(0, 60)}));
    EXPECT_EQ(sent[2], (RecordedMessage{T0 + 630, NoteOnMsg(0, 60)}));
    EXPECT_EQ(sent[3], (RecordedMessage{T0 + 630, NoteOnMsg(1, 62)}));
}

TEST_F(Playback, TheCursorFollowsTwoPositionsAheadOfTheNotesSent) {
    std::vector<std::int32_t> cursors;
    for (std::uint32_t t = T0 + 5; t < T0 + 100; t += 30)
        clock.At(t, [&] { cursors.push_back(score().CursorPos()); });
    PlayUntilStopAt(T0 + 100);
    // After the step that handles position q, the cursor is at position q + 2 (pixel 2q + 4).
    EXPECT_THAT(cursors, ElementsAre(2, 4, 6, 8));
    EXPECT_EQ(score().CursorPos(), 0) << "Stop puts the cursor back at 0";
}

TEST_F(Playback, StopSends128NoteOffsOnEveryRowChannelAndPutsTheCursorAt0) {
    AddTrack(3);
    out.Clear();
    PlayUntilStopAt(T0 + 65);
    const auto& all = out.Messages();
    ASSERT_EQ(all.size(), 256u);
    for (int n = 0; n < 128; ++n) {
        EXPECT_EQ(all[n].Msg, NoteOffMsg(0, n));
        EXPECT_EQ(all[128 + n].Msg, NoteOffMsg(3, n));
    }
    EXPECT_EQ(score().CursorPos(), 0);
    EXPECT_FALSE(PlayLoopRunning());
}

TEST_F(Playback, StopWhileIdleOnlyMovesTheCursor) {
    score().SetCursorPos(300);
    window->StopPlayClick();
    EXPECT_EQ(score().CursorPos(), 0);
    EXPECT_TRUE(out.Messages().empty());
}

TEST_F(Playback, PauseThenPlayHandlesNoPositionTwiceOrSkipsOne) {
    for (int p = 0; p < 20; ++p)
        AddNote(40 + p, p, 1);
    clock.At(T0 + 200, [this] { window->PausePlayClick(); });
    window->PlayClick();
    QCoreApplication::processEvents();
    const std::int32_t pausedAt = score().CursorPos();
    EXPECT_GT(pausedAt, 0) << "Pause leaves the cursor where it is";
    PlayUntilStopAt(clock.NowMs() + 700);
    std::vector<int> started;
    for (const auto& m : out.Messages())
        if ((m.Msg & 0xF0) == 0x90)
            started.push_back(static_cast<int>((m.Msg >> 8) & 0x7F) - 40);
    std::vector<int> expected(20);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(started, expected);
}

TEST_F(Playback, StopThenPlayWithinOneStepPlaysAgainFromTheStart) {
    AddNote(60, 0, 1);
    clock.At(T0 + 75, [this] {
        window->StopPlayClick();
        window->PlayClick();
    });
    clock.At(T0 + 200, [this] { window->StopPlayClick(); });
    window->PlayClick();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents(); // the play message posted again when the first loop ended
    std::vector<std::uint32_t> starts;
    for (const auto& m : out.Messages())
        if (m.Msg == NoteOnMsg(0, 60))
            starts.push_back(m.TimeMs - T0);
    // The first loop ends at its step of 90 ms; the second starts there from position 0.
    EXPECT_THAT(starts, ElementsAre(30, 120));
    EXPECT_FALSE(PlayLoopRunning());
}

TEST_F(Playback, ASecondSeekButtonBeforeTheLoopEndsTakesOver) {
    score().SetCursorPos(400);
    clock.At(T0 + 10, [this] {
        window->SpeedMouseUp();
        window->Back2MouseDown();
    });
    clock.At(T0 + 50, [this] { window->SpeedMouseUp(); });
    window->Forw1MouseDown();
    QCoreApplication::processEvents();
    EXPECT_EQ(score().CursorPos(), 400 + 8 - 32);
    EXPECT_FALSE(SeekLoopRunning());
}

TEST_F(Playback, ButtonStatesFollowTheTransport) {
    auto states = [this] {
        std::string s;
        for (QToolButton* b : {ui().BackBegin, ui().Back2, ui().Back1, ui().Play, ui().StopPlay,
                               ui().PausePlay, ui().Forw1, ui().Forw2, ui().ForwEnd})
            s += b->isEnabled() ? '1' : '0';
        return s;
    };
    EXPECT_EQ(states(), "111110111");
    std::string whilePlaying;
    clock.At(T0 + 40, [&] { whilePlaying = states(); });
    clock.At(T0 + 70, [this] { window->PausePlayClick(); });
    window->PlayClick();
    EXPECT_EQ(states(), "000011000") << "right after Play, before the loop starts";
    QCoreApplication::processEvents();
    EXPECT_EQ(whilePlaying, "000011000");
    EXPECT_EQ(states(), "111110111");
    PlayUntilStopAt(clock.NowMs() + 40);
    EXPECT_EQ(states(), "111110111");
}

TEST_F(Playback, ARowOnChannel16FailsTheAllNotesOffAtThatRow) {
    SetTrack(0, {"", 16, 0});
    AddTrack(4);
    out.Clear();
    PlayUntilStopAt(T0 + 40);
    EXPECT_TRUE(out.Messages().empty()) << "the rows after it get no note-offs";
    ASSERT_FALSE(dialogs.Messages.empty());
    EXPECT_EQ(dialogs.Messages.back().Text, "Invalid MIDI channel: 16");
    EXPECT_EQ(dialogs.Messages.back().Caption, "Erreur");
}

TEST_F(Playback, ARefusedMessageEndsTheLoopWithoutTheFinalNoteOffs) {
    AddNote(60, 0, 4);
    out.RefuseSend(5);
    clock.At(T0 + 300, [this] { window->StopPlayClick(); });
    window->PlayClick();
    QCoreApplication::processEvents();
    EXPECT_FALSE(PlayLoopRunning());
    EXPECT_EQ(dialogs.Messages.back().Text,
              "Couldn't send MIDI short message: error 5 (Device handle is invalid)");
    EXPECT_EQ(clock.NowMs(), T0 + 30) << "the loop ended at the failing step";
    EXPECT_FALSE(ui().Play->isEnabled())
        << "the buttons keep the playing state until Stop or Pause";
}

TEST_F(Playback, LateStepsCatchUpWithoutWaiting) {
    for (int p = 0; p < 8; ++p)
        AddNote(50 + p, p, 20);
    // A slow handler holds the loop for 100 ms during the wait of the second step.
    clock.At(T0 + 40, [this] { clock.Advance(100); });
    PlayUntilStopAt(T0 + 280);
    std::vector<std::uint32_t> onTimes;
    for (const auto& m : out.Messages())
        if ((m.Msg & 0xF0) == 0x90)
            onTimes.push_back(m.TimeMs - T0);
    // Position 0 on time; the slow handler holds the step of position 1 until 140 ms, and 2
    // and 3, due meanwhile, follow at once; from 4 on the steps are back on the grid of
    // deadlines fixed at the start.
    EXPECT_THAT(onTimes, ElementsAre(30, 140, 140, 140, 150, 180, 210, 240));
}

TEST_F(Playback, PlaybackGoesOnAfterTheLastNote) {
    AddNote(60, 0, 1);
    PlayUntilStopAt(T0 + 3000);
    EXPECT_GE(clock.Waits, 99);
}

TEST_F(Playback, ClosingWhilePlayingEndsTheLoopBeforeThePortIsClosed) {
    AddNote(60, 0, 100);
    clock.At(T0 + 100, [this] { window->close(); });
    window->PlayClick();
    QCoreApplication::processEvents();
    EXPECT_FALSE(PlayLoopRunning());
    QCoreApplication::processEvents(); // the close waits for the loop, then happens
    EXPECT_FALSE(window->isVisible());
    const auto& calls = out.Calls();
    ASSERT_GE(calls.size(), 130u);
    EXPECT_EQ(calls.back().What, RecordedCall::Kind::Close);
    int offsets = 0;
    for (std::size_t i = calls.size() - 129; i < calls.size() - 1; ++i)
        offsets += calls[i].What == RecordedCall::Kind::ShortMsg && calls[i].Result == 0 ? 1 : 0;
    EXPECT_EQ(offsets, 128) << "the final note-offs went through the open port";
    EXPECT_TRUE(Notes().empty());
}

// --- notes that sound while the song changes ---

// Presses the score as the control reports it, on the display note n.
void PressNote(TMain& w, Qt::MouseButton button, TPartitionNote* n) {
    w.PartitionExtMouseDown(WindowAccess::Ui(w).Partition, button, {{}, button}, 0, 0, n->Pos,
                            n->Pos, n->NoteNum, n);
}
void MoveHeld(TMain& w, std::int32_t pos, std::uint8_t noteNum) {
    w.PartitionExtMouseMove(WindowAccess::Ui(w).Partition, {{}, Qt::LeftButton}, 400, 40, pos, pos,
                            noteNum, nullptr);
}

TEST_F(Playback, ANoteFreedOrChangedWhileItSoundsIsStoppedAtOnce) {
    struct Case {
        const char* name;
        std::function<void(TMain&, TPartitionNote*)> act;
        bool stopsAtOnce;         // otherwise it sounds on until the loop ends
        bool lengthening = false; // the note is added by a press that is still held
    };
    const Case cases[] = {
        {"right click in note mode",
         [](TMain& w, TPartitionNote* n) { PressNote(w, Qt::RightButton, n); }, true},
        {"Delete in selection mode",
         [](TMain& w, TPartitionNote* n) {
             WindowAccess::Ui(w).ModeSelect->click();
             n->Selected = true;
             w.FormKeyDown(46);
         },
         true},
        {"raised",
         [](TMain& w, TPartitionNote* n) {
             WindowAccess::Ui(w).ModeDieze->click();
             PressNote(w, Qt::LeftButton, n);
         },
         true},
        {"lowered",
         [](TMain& w, TPartitionNote* n) {
             WindowAccess::Ui(w).ModeDieze->click();
             PressNote(w, Qt::RightButton, n);
         },
         true},
        {"dragged in time",
         [](TMain& w, TPartitionNote* n) {
             WindowAccess::Ui(w).ModeSelect->click();
             PressNote(w, Qt::LeftButton, n);
             MoveHeld(w, 16, 60);
         },
         true},
        {"lengthened", [](TMain& w, TPartitionNote*) { MoveHeld(w, 200, 60); }, false, true},
        {"shortened to end behind the loop", [](TMain& w, TPartitionNote*) { MoveHeld(w, 0, 60); },
         true, true},
        {"its track deleted", [](TMain& w, TPartitionNote*) { w.DelTrackClick(); }, true},
        {"Nouveau", [](TMain& w, TPartitionNote*) { w.NouveauClick(); }, true},
        {"Ouvrir", [](TMain& w, TPartitionNote*) { w.OuvrirClick(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        AddTrack(0);
        if (c.lengthening) {
            // A row on channel 16 ends the final all-notes-off at once, so that it does not
            // reach the note, which the press adds at 0 on the second row's channel 5.
            SetTrack(0, {"", 16, 0});
            AddTrack(5);
            window->PartitionExtMouseDown(ui().Partition, Qt::LeftButton, {{}, Qt::LeftButton}, 0,
                                          0, 0, 0, 60, nullptr);
            window->TimerNoteOFFTimer(); // the preview ends before playback starts
            ASSERT_TRUE(Stretching());
        } else {
            // Channel 5 has no row, so the final all-notes-off does not reach the note.
            AddNote(60, 0, 100, 5);
            window->TrackListClick();
        }
        MarkSaved();
        dialogs.Answers = {QMessageBox::Yes}; // to the deletion's question
        dialogs.OpenNames = {QStringLiteral("/nonexistent/song.mid")};
        out.Clear();
        const std::uint32_t start = clock.NowMs();
        clock.At(start + 100, [&] { c.act(*window, score().NoteList().front().get()); });
        PlayUntilStopAt(start + 200);
        std::vector<std::uint32_t> offTimes;
        for (const auto& m : out.Messages())
            if (m.Msg == NoteOffMsg(5, 60))
                offTimes.push_back(m.TimeMs - start);
        // Started at 30 ms, stopped once: by the change, or when the loop ends at its step of
        // 210 ms.
        EXPECT_THAT(offTimes, ElementsAre(c.stopsAtOnce ? 100u : 210u));
        EXPECT_FALSE(PlayLoopRunning());
    }
}

// A drag whose first note cannot be stopped (the port refuses) still moves the whole group as
// one step, which undo takes back exactly; the refusal is told once.
TEST_F(Playback, ADragWhoseNoteOffIsRefusedMovesTheGroupAsOneStep) {
    AddNote(60, 0, 100, 5);
    AddNote(64, 0, 100, 5);
    window->TrackListClick();
    MarkSaved();
    const std::uint32_t start = clock.NowMs();
    clock.At(start + 100, [&] {
        ui().ModeSelect->click();
        score().NoteList()[1]->Selected = true;
        out.RefuseSend(5);
        PressNote(*window, Qt::LeftButton, score().NoteList().front().get());
        MoveHeld(*window, 16, 60);
        MoveHeld(*window, 32, 60);
        out.RefuseSend(0);
    });
    PlayUntilStopAt(start + 200);
    EXPECT_THAT(
        dialogs.Texts(),
        ElementsAre("Couldn't send MIDI short message: error 5 (Device handle is invalid)"));
    EXPECT_THAT(NoteTexts(), ElementsAre("60@32+100 c5 t0", "64@32+100 c5 t0"));
    EXPECT_EQ(ui().Annuler->text(), "Annuler le déplacement de 2 notes");
    ui().Annuler->trigger();
    EXPECT_THAT(NoteTexts(), ElementsAre("60@0+100 c5 t0", "64@0+100 c5 t0"));
    EXPECT_FALSE(IsModified());
}

TEST_F(Playback, NotesOnChannelsThatNoRowReachesAreStoppedWhenTheLoopEnds) {
    struct Case {
        const char* name;
        std::function<void()> during;    // at 100 ms
        std::vector<std::uint32_t> sent; // before the all-notes-off of the rows
    };
    const Case cases[] = {
        // The track's channel changes from 0 to 3; its notes keep channel 0.
        {"channel changed",
         [this] {
             dialogs.TrackInfoAnswers.push_back(FillTrack(3));
             window->ModTrackClick();
         },
         {NoteOnMsg(0, 60), NoteOnMsg(0, 62), PatchMsg(3, 0), NoteOffMsg(0, 60),
          NoteOffMsg(0, 62)}},
        // The rows' all-notes-off reaches channel 0: nothing more is sent for its notes.
        {"nothing changed", [] {}, {NoteOnMsg(0, 60), NoteOnMsg(0, 62)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        AddTrack(0);
        AddNote(60, 0, 100);
        AddNote(62, 1, 100);
        out.Clear();
        const std::uint32_t start = clock.NowMs();
        clock.At(start + 100, c.during);
        PlayUntilStopAt(start + 200);
        std::vector<std::uint32_t> sent;
        for (const auto& m : BeforeAllNotesOff())
            sent.push_back(m.Msg);
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(out.Messages().back().Msg, NoteOffMsg(DecimalValue(Row(0).Channel), 127));
    }
}

// --- transport requests that cross within one step ---

TEST_F(Playback, StopOrPauseTakesBackAPlayNotYetStarted) {
    struct Case {
        const char* name;
        std::function<void()> within; // at 75 ms, while the loop waits for its step of 90 ms
    };
    const Case cases[] = {
        {"Pause, Play, Stop",
         [this] {
             window->PausePlayClick();
             window->PlayClick();
             QCoreApplication::processEvents(); // Play's message, while the loop still runs
             window->StopPlayClick();
         }},
        {"Stop, Play, Pause",
         [this] {
             window->StopPlayClick();
             window->PlayClick();
             QCoreApplication::processEvents();
             window->PausePlayClick();
         }},
        {"Pause, Play and Stop before Play's message is taken",
         [this] {
             window->PausePlayClick();
             window->PlayClick();
             window->StopPlayClick();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out.Clear();
        AddNote(60, 10, 1);
        const std::uint32_t start = clock.NowMs();
        clock.At(start + 75, c.within);
        // Ends a loop that should not have started.
        clock.At(start + 1000, [this] { window->StopPlayClick(); });
        window->PlayClick();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        EXPECT_FALSE(PlayLoopRunning());
        EXPECT_TRUE(ui().Play->isEnabled());
        EXPECT_EQ(clock.NowMs(), start + 90) << "no loop ran after the first one";
        RemoveAllNotes();
    }
}

TEST_F(Playback, PauseThenASeekPressWithinOneStepSendsTheFinalNoteOffsFirst) {
    AddNote(60, 0, 100);
    score().SetCursorPos(0);
    clock.At(T0 + 70, [this] {
        window->PausePlayClick();
        window->Forw1MouseDown();
    });
    clock.At(T0 + 2000, [this] { window->SpeedMouseUp(); });
    window->PlayClick();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents(); // the seek, after the play loop
    const auto& all = out.Messages();
    ASSERT_EQ(all.size(), 129u);
    EXPECT_EQ(all[1], (RecordedMessage{T0 + 90, NoteOffMsg(0, 0)}));
    EXPECT_EQ(all[128], (RecordedMessage{T0 + 90, NoteOffMsg(0, 127)}));
    EXPECT_FALSE(SeekLoopRunning());
    // Paused with the cursor at position 3, then 64 seek steps, every 30 ms from 90 to 1980 ms.
    EXPECT_EQ(score().CursorPos(), 6 + 8 * 64);
}

// --- closing while a loop runs ---

TEST_F(Playback, EveryCloseRequestWaitsForTheLoopsAndNoLoopStartsAfterIt) {
    struct Case {
        const char* name;
        std::function<void()> atClose; // at 100 ms, while the play loop waits
    };
    const Case cases[] = {
        {"one request", [this] { window->close(); }},
        {"two requests",
         [this] {
             window->close();
             window->close();
         }},
        {"a seek pressed after the request",
         [this] {
             window->close();
             window->Forw2MouseDown();
         }},
        {"Play again after the request",
         [this] {
             window->close();
             window->PlayClick();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        AddTrack(0);
        AddNote(60, 0, 100);
        MarkSaved();
        out.Clear();
        clock.At(clock.NowMs() + 100, c.atClose);
        // Ends a seek that should not have started.
        clock.At(clock.NowMs() + 3000, [this] { window->SpeedMouseUp(); });
        window->PlayClick();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(PlayLoopRunning());
        EXPECT_FALSE(SeekLoopRunning());
        EXPECT_EQ(score().CursorPos(), 8) << "the loop ended at its step of 120 ms, nothing moved";
        const auto& calls = out.Calls();
        ASSERT_EQ(calls.size(), 1u + 128u + 1u);
        EXPECT_EQ(calls[0].Msg, NoteOnMsg(0, 60));
        for (std::size_t i = 1; i <= 128; ++i)
            EXPECT_EQ(calls[i].Result, 0u);
        EXPECT_EQ(calls.back().What, RecordedCall::Kind::Close);
        EXPECT_TRUE(Notes().empty());
    }
}

TEST_F(Playback, APlayStartedWhileASeekLoopEndsForTheCloseDoesNotRun) {
    AddNote(60, 0, 100);
    clock.At(T0 + 10, [this] {
        window->close();
        window->PlayClick();
    });
    // Ends a play loop that should not have started.
    clock.At(T0 + 500, [this] { window->StopPlayClick(); });
    window->Forw1MouseDown();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(score().CursorPos(), 8) << "the seek moved once and ended";
    ASSERT_EQ(out.Calls().size(), 1u);
    EXPECT_EQ(out.Calls().back().What, RecordedCall::Kind::Close) << "no note was played";
}

// --- seeking and jumps ---

TEST_F(Playback, HoldingBack1FromPixel20GoesTo12Then4Then0AndStays) {
    score().SetCursorPos(20);
    std::vector<std::int32_t> seen;
    for (std::uint32_t t = T0 + 1; t < T0 + 120; t += 30)
        clock.At(t, [&] { seen.push_back(score().CursorPos()); });
    clock.At(T0 + 125, [this] { window->SpeedMouseUp(); });
    window->Back1MouseDown();
    QCoreApplication::processEvents();
    EXPECT_THAT(seen, ElementsAre(12, 4, 0, 0));
    EXPECT_FALSE(SeekLoopRunning());
}

TEST_F(Playback, SeekStepsInPixels) {
    const std::pair<void (TMain::*)(), int> buttons[] = {{&TMain::Forw1MouseDown, 8},
                                                         {&TMain::Forw2MouseDown, 32},
                                                         {&TMain::Back1MouseDown, -8},
                                                         {&TMain::Back2MouseDown, -32}};
    for (const auto& [press, step] : buttons) {
        score().SetCursorPos(1000);
        clock.At(clock.NowMs() + 45, [this] { window->SpeedMouseUp(); });
        (window.get()->*press)();
        QCoreApplication::processEvents();
        EXPECT_EQ(score().CursorPos(), 1000 + 2 * step) << step;
    }
}

TEST_F(Playback, AShortClickOnForw1MovesTheCursorOnce) {
    QTest::mouseClick(ui().Forw1, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(score().CursorPos(), 8);
}

TEST_F(Playback, JumpsToTheBeginningAndTheEnd) {
    AddNote(60, 40, 6);
    ui().TrackList->clearSelection();
    window->ForwEndClick();
    EXPECT_EQ(score().CursorPos(), 0) << "no track selected";
    AddNote(60, 10, 6);
    AddNote(62, 100, 28);
    AddNote(64, 500, 1, 0, 1); // another track's note does not count
    SelectRow(0);
    window->ForwEndClick();
    EXPECT_EQ(score().CursorPos(), 256);
    window->BackBeginClick();
    EXPECT_EQ(score().CursorPos(), 0);
}

} // namespace
} // namespace kadrel::test
