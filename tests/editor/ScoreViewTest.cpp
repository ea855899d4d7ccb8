#include "EditorFixture.h"
#include "core/SmfBytes.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

// The score of the window for real music: every note in reach, zoom, velocities, the file's
// measures, the other rows behind.
class ScoreInWindow : public EditorTest {
protected:
    // A song of one track on channel 0 with the given notes, shown.
    void Show(const std::vector<TMidiNote>& notes) {
        Song song;
        song.Tracks = {{"", 0, 0}};
        song.Notes = notes;
        Document().Replace(std::move(song), true);
        SelectRow(0);
        window->TrackListClick();
    }

    std::vector<int> Velocities() const {
        std::vector<int> v;
        for (const TMidiNote& n : Notes())
            v.push_back(n.Velocity);
        return v;
    }
};

// A row whose notes lie beyond the staff scrolls the score so that they show; one within the
// staff leaves it where it always is.
TEST_F(ScoreInWindow, AShownRowsNotesComeIntoView) {
    struct Case {
        const char* name;
        std::vector<TMidiNote> notes;
        bool staffPlace;
        std::vector<int> inView; // notes whose rows show
    };
    // The design size shows 27 rows: a piano's whole range needs a taller window, and the
    // middle of it shows.
    const Case cases[] = {
        {"within the staff",
         {TMidiNote{40, 0, 8, 0, 0}, TMidiNote{79, 8, 8, 0, 0}},
         true,
         {40, 79}},
        {"a piano's range", {TMidiNote{21, 0, 8, 0, 0}, TMidiNote{108, 8, 8, 0, 0}}, false, {64}},
        {"a bass line", {TMidiNote{28, 0, 8, 0, 0}, TMidiNote{33, 8, 8, 0, 0}}, false, {28, 33}},
    };
    for (const Case& c : cases) {
        Show(c.notes);
        EXPECT_EQ(score().TopNote() == 81, c.staffPlace) << c.name;
        for (const int n : c.inView) {
            const int top = score().RowTopOfNote(static_cast<std::uint8_t>(n));
            EXPECT_TRUE(top >= 0 && top < score().height()) << c.name << " " << n;
        }
    }
    // A window tall enough shows the piano's whole range.
    window->resize(window->width(), window->height() + 200);
    QCoreApplication::processEvents();
    Show(cases[1].notes);
    for (const int n : {21, 108}) {
        const int top = score().RowTopOfNote(static_cast<std::uint8_t>(n));
        EXPECT_TRUE(top >= 0 && top < score().height()) << n;
    }
}

// Alt+Haut and Alt+Bas scroll the rows; a note beyond the rows shown is marked at the edge in
// its columns, and a note can be added on any row reached.
TEST_F(ScoreInWindow, RowsBeyondTheStaffAreReachedAndMarked) {
    Show({TMidiNote{60, 0, 16, 0, 0}});
    for (int i = 0; i < 10; ++i)
        ui().Graves->trigger();
    EXPECT_LT(score().TopNote(), 60);
    // The note at 60 is above the rows shown now: its columns are marked along the top edge.
    const QImage image = score().Image();
    const int x = static_cast<int>(score().XOfTick(4)) * image.devicePixelRatio();
    EXPECT_NE(image.pixelColor(x, 0), QColor(Qt::white));
    // A note added on a low row.
    const std::uint8_t low = score().NoteNumAtY(score().height() - 3);
    EXPECT_LT(low, 36);
    Click(XOf(32), score().height() - 3);
    EXPECT_EQ(Notes().back().NoteNum, low);
    for (int i = 0; i < 10; ++i)
        ui().Aigus->trigger();
    EXPECT_EQ(score().TopNote(), 81);
}

// Zoom avant, arrière and normal change the scale by factors of 2 about the cursor, which keeps
// its place on the screen, between 1/16 and 16 pixels a position.
TEST_F(ScoreInWindow, ZoomStepsAboutTheCursor) {
    Show({TMidiNote{60, 0, 16, 0, 0}});
    score().SetCursorPos(2 * 100); // grid position 100, at x = 200
    const auto cursorX = [this] { return score().XOfPos(score().CursorPosition()); };
    EXPECT_FALSE(ui().ZoomNormal->isEnabled());
    ui().ZoomAvant->trigger();
    EXPECT_EQ(score().ZoomLevel(), 1);
    EXPECT_EQ(cursorX(), 200);
    ui().ZoomNormal->trigger();
    EXPECT_EQ(score().ZoomLevel(), 0);
    EXPECT_EQ(cursorX(), 200);
    while (ui().ZoomArriere->isEnabled())
        ui().ZoomArriere->trigger();
    EXPECT_EQ(score().ZoomLevel(), -5) << "2 pixels a position down to 1/16";
    while (ui().ZoomAvant->isEnabled())
        ui().ZoomAvant->trigger();
    EXPECT_EQ(score().ZoomLevel(), 3) << "up to 16 pixels a position";
    EXPECT_THAT(ui().ZoomAvant->shortcuts(), ElementsAre(QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                                         QKeySequence(Qt::CTRL | Qt::Key_Equal)));
}

// Vélocité... sets, scales or shifts the selected notes' velocities within 1..127, as one step;
// with no note selected it is disabled.
TEST_F(ScoreInWindow, TheVelocityDialogIsOneStep) {
    Show({TMidiNote{60, 0, 16, 0, 0}, TMidiNote{62, 16, 16, 0, 0}, TMidiNote{64, 32, 16, 0, 0}});
    MarkSaved();
    ui().Edition->popup(QPoint(0, 0));
    ui().Edition->hide();
    EXPECT_FALSE(ui().Velocite->isEnabled());
    struct Case {
        VelocityChange change;
        std::vector<int> after;
    };
    const Case cases[] = {
        {{VelocityChange::Kind::Set, 40}, {40, 40, 127}},
        {{VelocityChange::Kind::Scale, 50}, {64, 64, 127}},
        {{VelocityChange::Kind::Add, -126}, {1, 1, 127}},
    };
    for (const Case& c : cases) {
        score().NoteList()[0]->Selected = true;
        score().NoteList()[1]->Selected = true;
        ui().Edition->popup(QPoint(0, 0)); // its items follow the selection as it opens
        ui().Edition->hide();
        dialogs.VelocityAnswers.push_back(c.change);
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        EXPECT_EQ(Velocities(), c.after);
        EXPECT_EQ(ui().Annuler->text(), "Annuler le changement de vélocité de 2 notes");
        ui().Annuler->trigger();
        EXPECT_EQ(Velocities(), (std::vector<int>{127, 127, 127}));
        EXPECT_FALSE(IsModified());
    }
    EXPECT_EQ(dialogs.VelocityAsked, (std::vector<int>{127, 127, 127}));
}

// An imported song's measures follow its time signatures: 3/4 from the start, 7/8 from its
// second measure.
TEST_F(ScoreInWindow, MeasuresFollowTheFilesTimeSignatures) {
    const Bytes file = Smf(1, 96,
                           {Cat({{0, 0xFF, 0x58, 4, 3, 2,    24, 8,  0x82, 0x20, 0xFF, 0x58, 4,
                                  7, 3,    24,   8, 0, 0x90, 60, 90, 96,   0x80, 60,   0},
                                 EndOfTrack})});
    OpenImported(file);
    EXPECT_EQ(score().MeasureStart(1), 48);
    EXPECT_EQ(score().MeasureStart(2), 48 + 56);
    EXPECT_EQ(score().MeasureStart(3), 48 + 2 * 56);
    // A song made in Kadrel keeps measures of 64 positions.
    window->NouveauClick();
    EXPECT_EQ(score().MeasureStart(1), 64);
}

// The other rows' notes are drawn faint behind the shown row's and are never hit: a press on one
// grabs nothing.
TEST_F(ScoreInWindow, OtherRowsNotesAreDrawnBehindAndNeverHit) {
    Song song;
    song.Tracks = {{"", 0, 0}, {"", 1, 0}};
    song.Notes = {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{67, 32, 16, 1, 1}};
    Document().Replace(std::move(song), true);
    SelectRow(0);
    window->TrackListClick();
    EXPECT_TRUE(score().GhostNotes().empty());
    ui().AutresPistes->trigger();
    ASSERT_EQ(score().GhostNotes().size(), 1u);
    EXPECT_EQ(score().GhostNotes()[0].NoteNum, 67);
    ui().ModeSelect->click();
    Press(XOf(36), YOf(67));
    EXPECT_EQ(DraggedNote(), nullptr);
    Release(XOf(36), YOf(67));
    ui().AutresPistes->trigger();
    EXPECT_TRUE(score().GhostNotes().empty());
}

// Resting the pointer on a note tells its name and number, start, length, velocity and channel.
TEST_F(ScoreInWindow, ANotesHint) {
    Show({TMidiNote{60, 80, 16, 0, 0}, TMidiNote{61, 0, 4, 0, 0}});
    SetTrack(0, {"", 0, 0});
    ASSERT_TRUE(score().OnNoteHint);
    EXPECT_EQ(score().OnNoteHint(&score(), score().NoteList()[0].get()).toStdString(),
              "Do4 (60)\nDébut : mesure 1, temps 2, tick 0\nDurée : 16 ticks\nVélocité : 127\n"
              "Canal : 0");
    EXPECT_TRUE(score()
                    .OnNoteHint(&score(), score().NoteList()[1].get())
                    .startsWith("Do#4 (61)\nDébut : mesure 0, temps 1, tick 0"));
}

} // namespace
} // namespace kadrel::test
