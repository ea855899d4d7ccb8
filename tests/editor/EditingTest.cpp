#include "EditorFixture.h"

#include <QToolButton>

#include <array>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

class Editing : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        AddTrack(3);
        MarkSaved();
        out.Clear();
    }

    // Adds a note to the song and the score, as if read from a file.
    TPartitionNote* Put(int num, int pos, int len) {
        AddNotes({TMidiNote{static_cast<std::uint8_t>(num), pos, len, 3, 0}});
        return score().NoteList().back().get();
    }

    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const auto& n : ui().Partition->NoteList()) {
            const auto* song = static_cast<const TMidiNote*>(n->Data);
            // Both sides must agree: every change reaches the display note and the song's note.
            EXPECT_EQ(n->NoteNum, song->NoteNum);
            EXPECT_EQ(n->Pos, song->Pos);
            EXPECT_EQ(n->Len, song->Len);
            out.push_back(std::to_string(n->NoteNum) + "@" + std::to_string(n->Pos) + "+" +
                          std::to_string(n->Len) + (n->Selected ? "*" : ""));
        }
        return out;
    }
};

TEST_F(Editing, AClickInNoteModeAddsANoteOfTheDefaultLength) {
    const std::pair<int, int> cases[] = {{16, 12}, {64, 48}, {4, 3}, {2, 2}, {1, 1}};
    for (const auto& [grid, length] : cases) {
        score().SetLargePosLen(static_cast<std::uint8_t>(grid));
        RemoveAllNotes();
        Click(XOf(70), YOf(60));
        ASSERT_EQ(Notes().size(), 1u);
        const TMidiNote& note = Notes()[0];
        EXPECT_EQ(note.Len, length) << grid;
        EXPECT_EQ(note.Pos, 70 / grid * grid) << grid;
        EXPECT_EQ(note.NoteNum, 60);
        EXPECT_EQ(note.Channel, 3);
        EXPECT_EQ(note.Track, 0);
    }
    EXPECT_TRUE(IsModified());
}

TEST_F(Editing, TheNewNoteIsPreviewedOnTheTracksChannel) {
    Click(XOf(0), YOf(64));
    EXPECT_THAT(Sent(), ElementsAre(NoteOnMsg(3, 64)));
    EXPECT_TRUE(ui().TimerNoteOFF->isActive());
    window->TimerNoteOFFTimer();
    EXPECT_THAT(Sent(), ElementsAre(NoteOnMsg(3, 64), NoteOffMsg(3, 64)));
    EXPECT_FALSE(ui().TimerNoteOFF->isActive());
}

TEST_F(Editing, DraggingAfterAddingSetsTheLengthByKey) {
    struct Case {
        int grid;
        int distance;
        Qt::KeyboardModifiers keys;
        int length;
    };
    const Case cases[] = {
        {16, 37, {}, 37},
        {16, 37, Qt::ShiftModifier, 32},
        {16, 37, Qt::ControlModifier, 28},
        {16, 37, Qt::AltModifier, 4},
        {16, 10, Qt::ShiftModifier, 1},
        {2, 37, Qt::AltModifier, 1},
        {16, 0, {}, 1},
        {16, -5, {}, 1},
        // Shift wins over Ctrl and Ctrl over Alt
        {16, 37, Qt::ShiftModifier | Qt::ControlModifier, 32},
        {16, 37, Qt::ControlModifier | Qt::AltModifier, 28},
    };
    for (const auto& c : cases) {
        score().SetLargePosLen(static_cast<std::uint8_t>(c.grid));
        RemoveAllNotes();
        Press(XOf(64), YOf(60));
        Move(XOf(64 + c.distance), YOf(60), Qt::LeftButton, c.keys);
        Release(XOf(64 + c.distance), YOf(60));
        ASSERT_EQ(Notes().size(), 1u);
        EXPECT_EQ(Notes()[0].Len, c.length) << c.grid << " " << c.distance << " " << c.keys;
        EXPECT_EQ(score().NoteList()[0]->Len, c.length);
        EXPECT_FALSE(Stretching());
    }
}

// Presses in note mode: what the song and the score hold afterwards (the same notes in the same
// order), and what was sent.
TEST_F(Editing, PressesInNoteMode) {
    struct Case {
        const char* name;
        std::vector<std::array<int, 3>> notes; // number, position, length
        std::function<void()> gesture;
        std::vector<std::string> shown;
        std::vector<std::uint32_t> sent;
    };
    const Case cases[] = {
        {"a move without the button does not lengthen",
         {},
         [this] {
             Press(XOf(0), YOf(60));
             Move(XOf(30), YOf(60), Qt::NoButton);
             Release(XOf(30), YOf(60));
         },
         {"60@0+12"},
         {NoteOnMsg(3, 60)}},
        {"a press on a note adds a second note at the cell start",
         {{60, 5, 20}},
         [this] { Click(XOf(10), YOf(60)); },
         {"60@5+20", "60@0+12"},
         {NoteOnMsg(3, 60)}},
        // (0, 0) would mean the middle of the control to the test library
        {"a press outside the rows adds note 0",
         {},
         [this] { Click(1, 0); },
         {"0@0+12"},
         {NoteOnMsg(3, 0)}},
        {"the right button removes the note under the pointer",
         {{60, 0, 16}, {62, 0, 16}},
         [this] { Click(XOf(4), YOf(60), Qt::RightButton); },
         {"62@0+16"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveAllNotes();
        for (const auto& [num, pos, len] : c.notes)
            Put(num, pos, len);
        MarkSaved();
        out.Clear();
        c.gesture();
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Notes().size(), c.shown.size());
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_TRUE(IsModified());
        if (ui().TimerNoteOFF->isActive())
            window->TimerNoteOFFTimer();
    }
}

TEST_F(Editing, SharpModeRaisesWithTheLeftButtonAndLowersWithTheRight) {
    ui().ModeDieze->click();
    Put(60, 0, 16);
    Click(XOf(4), YOf(60));
    EXPECT_THAT(Shown(), ElementsAre("61@0+16"));
    // the raised note is still found from its row
    Click(XOf(4), YOf(60), Qt::RightButton);
    EXPECT_THAT(Shown(), ElementsAre("60@0+16"));
    // each preview sounds the new pitch; the second stops the first
    EXPECT_THAT(Sent(), ElementsAre(NoteOnMsg(3, 61), NoteOffMsg(3, 61), NoteOnMsg(3, 60)));
}

TEST_F(Editing, NotesStayWithin0And127) {
    ui().ModeDieze->click();
    TPartitionNote* top = Put(127, 0, 16);
    TPartitionNote* bottom = Put(0, 20, 16);
    window->PartitionExtMouseDown(ui().Partition, Qt::LeftButton, {}, 0, 0, 4, 0, 127, top);
    window->PartitionExtMouseDown(ui().Partition, Qt::RightButton, {}, 0, 0, 24, 16, 0, bottom);
    EXPECT_THAT(Shown(), ElementsAre("127@0+16", "0@20+16"));
    EXPECT_TRUE(Sent().empty()) << "a refused step sounds nothing";
}

TEST_F(Editing, TwoPreviewsLessThan250msApart) {
    Click(XOf(0), YOf(60));
    Click(XOf(16), YOf(62));
    EXPECT_THAT(Sent(), ElementsAre(NoteOnMsg(3, 60), NoteOffMsg(3, 60), NoteOnMsg(3, 62)));
    QTest::qWait(400);
    EXPECT_THAT(Sent(), ElementsAre(NoteOnMsg(3, 60), NoteOffMsg(3, 60), NoteOnMsg(3, 62),
                                    NoteOffMsg(3, 62)));
}

TEST_F(Editing, WithoutASelectedRowAPressOnlyPreviewsOnChannel0) {
    ui().TrackList->clearSelection();
    for (QToolButton* mode : {ui().ModeNote, ui().ModeSelect, ui().ModeDieze}) {
        mode->click();
        out.Clear();
        MarkSaved();
        Click(XOf(0), YOf(67));
        window->TimerNoteOFFTimer();
        EXPECT_THAT(Sent(), ElementsAre(NoteOnMsg(0, 67), NoteOffMsg(0, 67)));
        EXPECT_TRUE(Notes().empty());
        EXPECT_TRUE(IsModified());
    }
}

TEST_F(Editing, ARowOnChannel16FailsAtThePreviewAndChangesNothing) {
    SetTrack(0, {"", 16, 0});
    Put(60, 0, 16);
    MarkSaved();
    dialogs.Messages.clear();
    Click(XOf(40), YOf(60));
    ui().ModeDieze->click();
    Click(XOf(4), YOf(60));
    ASSERT_EQ(dialogs.Messages.size(), 2u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Invalid MIDI channel: 16");
    EXPECT_EQ(dialogs.Messages[1].Text, "Invalid MIDI channel: 16");
    EXPECT_THAT(Shown(), ElementsAre("60@0+16"));
    EXPECT_FALSE(IsModified());
    EXPECT_FALSE(ui().TimerNoteOFF->isActive()) << "nothing sounds, so nothing is left to stop";
    // selection works as usual
    ui().ModeSelect->click();
    Click(XOf(4), YOf(60));
    EXPECT_THAT(Shown(), ElementsAre("60@0+16*"));
}

TEST_F(Editing, ARefusedPreviewNoteOffIsReportedOnce) {
    Click(XOf(0), YOf(60));
    out.RefuseSend(1);
    dialogs.Messages.clear();
    QTest::qWait(700);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text,
              "Couldn't send MIDI short message: error 1 (Unspecified error)");
    EXPECT_FALSE(ui().TimerNoteOFF->isActive());
}

TEST_F(Editing, SelectionByClickAddsToTheSelection) {
    ui().ModeSelect->click();
    Put(60, 0, 16);
    Put(64, 0, 16);
    Click(XOf(4), YOf(60));
    Click(XOf(4), YOf(64));
    EXPECT_THAT(Shown(), ElementsAre("60@0+16*", "64@0+16*"));
    EXPECT_EQ(AnchorX(), -1);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Editing, RubberBandFromRow60ToRow62SelectsOnly60To62) {
    ui().ModeSelect->click();
    for (int n : {59, 60, 61, 62, 63})
        Put(n, 8, 8);
    Put(60, 40, 8); // outside the band's horizontal extent
    Press(XOf(2), YOf(60));
    Move(XOf(30), YOf(62));
    EXPECT_EQ(score().RubberBand().isNull(), false) << "the band is drawn while it is dragged";
    Release(XOf(30), YOf(62));
    EXPECT_THAT(Shown(),
                ElementsAre("59@8+8", "60@8+8*", "61@8+8*", "62@8+8*", "63@8+8", "60@40+8"));
    EXPECT_TRUE(score().RubberBand().isNull());
}

TEST_F(Editing, ABandInOneRowOrWithoutWidthSelectsNothing) {
    ui().ModeSelect->click();
    Put(60, 8, 8)->Selected = true;
    Press(XOf(2), YOf(60));
    Release(XOf(30), YOf(60));
    EXPECT_THAT(Shown(), ElementsAre("60@8+8"));
    score().NoteList()[0]->Selected = true;
    Click(XOf(10), YOf(57));
    EXPECT_THAT(Shown(), ElementsAre("60@8+8"));
}

TEST_F(Editing, AfterABandAnyButtonSelectsAgainFromTheOldAnchor) {
    ui().ModeSelect->click();
    Put(60, 8, 8);
    Put(72, 8, 8);
    Press(XOf(2), YOf(60));
    Release(XOf(30), YOf(62));
    EXPECT_THAT(Shown(), ElementsAre("60@8+8*", "72@8+8"));
    // The right button keeps the anchor of the band: the release reselects from it.
    Click(XOf(40), YOf(72), Qt::RightButton);
    EXPECT_THAT(Shown(), ElementsAre("60@8+8*", "72@8+8*"));
}

TEST_F(Editing, SwitchingToNoteOrSharpModeClearsTheSelection) {
    Put(60, 0, 8)->Selected = true;
    ui().ModeDieze->click();
    EXPECT_THAT(Shown(), ElementsAre("60@0+8"));
    score().NoteList()[0]->Selected = true;
    ui().ModeNote->click();
    EXPECT_THAT(Shown(), ElementsAre("60@0+8"));
}

TEST_F(Editing, DraggingMovesTheSelectionOnTheGridAndKeepsDistances) {
    ui().ModeSelect->click();
    Put(60, 5, 8)->Selected = true; // off the grid, as read from a file
    Put(64, 20, 4)->Selected = true;
    Put(67, 0, 4); // not selected: stays
    Press(XOf(6), YOf(60));
    Move(XOf(7), YOf(60));
    EXPECT_THAT(Shown(), ElementsAre("60@0+8*", "64@15+4*", "67@0+4"))
        << "the grabbed note jumps to its cell";
    Move(XOf(40), YOf(62));
    EXPECT_THAT(Shown(), ElementsAre("62@32+8*", "66@47+4*", "67@0+4"));
    Release(XOf(40), YOf(62));
    EXPECT_EQ(DraggedNote(), nullptr);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Editing, DraggingNeverTakesANoteOutside0To127OrBefore0) {
    ui().ModeSelect->click();
    Put(79, 32, 8)->Selected = true;
    Put(127, 48, 8)->Selected = true;
    Press(XOf(34), YOf(79));
    Move(XOf(34), YOf(81)); // +2 semitones would take 127 to 129: the pitch step is refused
    EXPECT_THAT(Shown(), ElementsAre("79@32+8*", "127@48+8*"));
    Move(XOf(2), YOf(77)); // 32 positions back and 2 down: fine
    EXPECT_THAT(Shown(), ElementsAre("77@0+8*", "125@16+8*"));
    Move(-60, YOf(77)); // far left of the control: the group stops at 0
    EXPECT_THAT(Shown(), ElementsAre("77@0+8*", "125@16+8*"));
    Release(-60, YOf(77));
}

TEST_F(Editing, DraggingNearAnEdgeScrollsByOneMeasure) {
    ui().ModeSelect->click();
    Put(60, 200, 8)->Selected = true;
    score().SetFirstMesure(2);
    const int x = XOf(200 - 128);
    Press(x + 2, YOf(60));
    Move(score().width() - 10, YOf(60));
    EXPECT_EQ(score().FirstMesure(), 3);
    Move(10, YOf(60));
    EXPECT_EQ(score().FirstMesure(), 2);
    Release(10, YOf(60));
}

TEST_F(Editing, DeleteDuringADragLetsGoOfTheFreedNote) {
    ui().ModeSelect->click();
    Put(60, 0, 8);
    Press(XOf(2), YOf(60));
    ASSERT_NE(DraggedNote(), nullptr);
    window->FormKeyDown(46);
    EXPECT_EQ(DraggedNote(), nullptr);
    EXPECT_TRUE(Notes().empty());
    Move(XOf(40), YOf(62)); // must not touch the freed note
    Release(XOf(40), YOf(62));
    EXPECT_TRUE(score().NoteList().empty());
}

// A box or dialog that opens while the left button is held takes the button's release: the
// gesture must not go on with the next move, nor survive the next press.
TEST_F(Editing, AGestureWhoseReleaseIsLostEndsWhenABoxOpensOrAtTheNextPress) {
    struct Case {
        const char* name;
        bool drag; // selection mode, a note grabbed; otherwise note mode, a note lengthened
        std::function<void()> meanwhile;
    };
    const Case cases[] = {
        {"F2 with unsaved changes", false,
         [this] {
             dialogs.Answers.push_back(QMessageBox::Cancel);
             window->NouveauClick();
         }},
        {"F3 with unsaved changes", true,
         [this] {
             dialogs.Answers.push_back(QMessageBox::Cancel);
             window->OuvrirClick();
         }},
        {"F4 without a file name", false, [this] { window->EnregistrerClick(); }},
        {"F5", true, [this] { window->DeasmClick(); }},
        {"the track dialog", false, [this] { window->ModTrackClick(); }},
        {"a press in selection mode", false,
         [this] {
             ui().ModeSelect->click();
             Press(XOf(300), YOf(72));
         }},
        {"a right press", true, [this] { Press(XOf(300), YOf(72), Qt::RightButton); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveAllNotes();
        if (c.drag) {
            ui().ModeSelect->click();
            Put(60, 16, 8);
        } else {
            ui().ModeNote->click();
        }
        Press(XOf(17), YOf(60)); // grabs the note, or adds one of length 12 at 16
        c.meanwhile();
        Move(XOf(100), YOf(64));
        const TPartitionNote& first = *score().NoteList().front();
        EXPECT_EQ(first.Pos, 16);
        EXPECT_EQ(first.NoteNum, 60);
        EXPECT_EQ(first.Len, c.drag ? 8 : 12);
        Release(XOf(100), YOf(64));
    }
}

} // namespace
} // namespace kadrel::test
