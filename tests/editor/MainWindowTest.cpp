#include "EditorFixture.h"
#include "core/Bytes.h"
#include "core/TempDir.h"
#include "editor/WeirdThingBox.h"
#include "midi/Vlv.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

class MainWindow : public EditorTest {};

TEST_F(MainWindow, LayoutCaptionsAndStartState) {
    EXPECT_EQ(window->windowTitle(), "Kadrel");
    EXPECT_EQ(score().pos(), QPoint(8, 8));
    EXPECT_EQ(score().height(), 112);
    EXPECT_EQ(score().InterWidth(), 8);
    EXPECT_EQ(score().SmallestWidth(), 2);
    EXPECT_EQ(score().LargePosLen(), 16);
    EXPECT_EQ(score().CursorPos(), 0);
    EXPECT_EQ(score().MesureLen(), 64);
    EXPECT_EQ(score().VertGridLen(), 16);
    EXPECT_EQ(score().FirstMesure(), 0);
    EXPECT_EQ(ui().TrackList->pos(), QPoint(8, 160));
    EXPECT_EQ(ui().AddTrack->geometry(), QRect(8, 128, 75, 25));
    EXPECT_EQ(ui().ModTrack->geometry(), QRect(88, 128, 75, 25));
    EXPECT_EQ(ui().DelTrack->geometry(), QRect(168, 128, 75, 25));
    EXPECT_EQ(ui().PanelPlay->geometry(), QRect(256, 128, 234, 25));
    EXPECT_EQ(ui().PanelEditMode->geometry(), QRect(504, 128, 153, 25));
    EXPECT_EQ(ui().AddTrack->text(), "Ajouter");
    EXPECT_EQ(ui().ModTrack->text(), "Modifier");
    EXPECT_EQ(ui().DelTrack->text(), "Supprimer");
    EXPECT_TRUE(ui().AddTrack->isEnabled());
    EXPECT_FALSE(ui().ModTrack->isEnabled());
    EXPECT_FALSE(ui().DelTrack->isEnabled());
    const QStringList headers = {"#", "Nom du track", "Canal", "Instrument"};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(ui().TrackList->headerItem()->text(c), headers[c]);
    EXPECT_EQ(ui().TrackList->columnWidth(0), 25);
    EXPECT_EQ(ui().TrackList->columnWidth(1), 200);
    EXPECT_EQ(ui().TrackList->columnWidth(3), 200);
    EXPECT_FALSE(IsModified());
    EXPECT_EQ(FileName(), "");
    EXPECT_TRUE(SeekReleased());
    EXPECT_EQ(ui().GridSize->text(), "16");
    EXPECT_EQ(ui().GridSize->toolTip(), "Taille actuelle de la grille");
    EXPECT_EQ(ui().TimerNoteOFF->interval(), 250);
    EXPECT_FALSE(ui().TimerNoteOFF->isActive());
}

TEST_F(MainWindow, FlatButtonsHintsPlacesAndStates) {
    struct Button {
        QToolButton* button;
        int left;
        const char* hint;
        bool enabled;
    };
    const Button buttons[] = {
        {ui().BackBegin, 2, "Début", true},
        {ui().Back2, 26, "Arrière rapide", true},
        {ui().Back1, 50, "Arrière", true},
        {ui().Play, 82, "Jouer", true},
        {ui().StopPlay, 106, "Arrêt", true},
        {ui().PausePlay, 130, "Pause", false},
        {ui().Forw1, 162, "Avancer", true},
        {ui().Forw2, 186, "Avance rapide", true},
        {ui().ForwEnd, 210, "Aller à la fin", true},
        {ui().ModeSelect, 2, "Mode sélection", true},
        {ui().ModeNote, 26, "Mode ajout / suppression de notes", true},
        {ui().ModeDieze, 50, "Mode dièzes / bémols", true},
        {ui().GridLess, 80, "Grille plus petite (raccourci clavier: - )", true},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.hint);
        EXPECT_EQ(b.button->geometry(), QRect(b.left, 2, 23, 22));
        EXPECT_EQ(b.button->toolTip(), QString::fromUtf8(b.hint));
        EXPECT_EQ(b.button->isEnabled(), b.enabled);
        EXPECT_TRUE(b.button->autoRaise());
        EXPECT_FALSE(b.button->icon().isNull());
        EXPECT_EQ(b.button->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_TRUE(ui().ModeNote->isChecked());
    EXPECT_FALSE(ui().ModeSelect->isChecked());
    ui().ModeSelect->click();
    EXPECT_TRUE(ui().ModeSelect->isChecked());
    EXPECT_FALSE(ui().ModeNote->isChecked()) << "one mode button is down at a time";
}

TEST_F(MainWindow, MenuCaptionsAndShortcuts) {
    EXPECT_EQ(ui().Fichier->title(), "&Fichier");
    const std::pair<QAction*, std::pair<const char*, QKeySequence>> items[] = {
        {ui().Nouveau, {"&Nouveau", QKeySequence(Qt::Key_F2)}},
        {ui().Ouvrir, {"&Ouvrir...", QKeySequence(Qt::Key_F3)}},
        {ui().Importer, {"&Importer un fichier MIDI...", QKeySequence(Qt::CTRL | Qt::Key_I)}},
        {ui().Enregistrer, {"&Enregistrer", QKeySequence(Qt::Key_F4)}},
        {ui().SaveAs, {"Enregistrer &sous...", QKeySequence(Qt::SHIFT | Qt::Key_F4)}},
        {ui().ExportWav, {"E&xporter en WAV...", QKeySequence()}},
        {ui().Deasm, {"&Désassembler MIDI...", QKeySequence(Qt::Key_F5)}},
        {ui().Quitter, {"&Quitter", QKeySequence(Qt::ALT | Qt::Key_F4)}},
    };
    for (const auto& [action, expected] : items) {
        EXPECT_EQ(action->text(), QString::fromUtf8(expected.first));
        EXPECT_EQ(action->shortcut(), expected.second);
    }
    const auto actions = ui().Fichier->actions();
    ASSERT_EQ(actions.size(), 10);
    EXPECT_EQ(actions[2], ui().Importer) << "right after Ouvrir";
    EXPECT_EQ(actions[5], ui().ExportWav) << "right after Enregistrer sous";
    EXPECT_TRUE(actions[6]->isSeparator());
    EXPECT_TRUE(actions[8]->isSeparator());
}

TEST_F(MainWindow, KeptEdgesFollowTheWindowSize) {
    const QSize before = window->centralWidget()->size();
    window->resize(window->width() + 100, window->height() + 50);
    QCoreApplication::processEvents();
    const QSize client = window->centralWidget()->size();
    ASSERT_NE(client, before);
    // The score takes the height beyond the design size and shows more rows; the buttons and the
    // track list move down with it, and the track list keeps the kept edges.
    const int grow = client.height() - 398;
    ASSERT_GT(grow, 0);
    EXPECT_EQ(ui().TrackList->geometry(),
              QRect(8, 160 + grow, client.width() - 16, client.height() - 168 - grow));
    EXPECT_EQ(score().geometry(), QRect(8, 8, client.width() - 16, 112 + grow));
    EXPECT_EQ(ui().AddTrack->pos(), QPoint(8, 128 + grow));
    EXPECT_EQ(ui().PanelEditMode->pos(), QPoint(504, 128 + grow));
    EXPECT_GT(score().RowsShown(), 27);
    // Beyond the height of every row, the track list takes the rest.
    window->resize(window->width(), window->height() + 400);
    QCoreApplication::processEvents();
    const int rows = score().RowsShown();
    EXPECT_EQ(score().height(), 304);
    EXPECT_EQ(rows, 75) << "every natural note 0..127 has its row";
    EXPECT_EQ(ui().TrackList->geometry().bottom(), window->centralWidget()->height() - 9);
}

// Every control of the layout at the design size: the client area below the menu bar is
// 865 x 398, so the track list keeps its 849 x 230.
TEST_F(MainWindow, EveryControlHasItsDesignGeometryAtTheDesignSize) {
    window->ResizeToDesignSize();
    QCoreApplication::processEvents();
    ASSERT_EQ(window->centralWidget()->size(), QSize(865, 398));
    EXPECT_EQ(window->centralWidget()->y(), window->menuBar()->height());
    const std::pair<QWidget*, QRect> controls[] = {
        {ui().Partition, QRect(8, 8, 849, 112)},        {ui().TrackList, QRect(8, 160, 849, 230)},
        {ui().AddTrack, QRect(8, 128, 75, 25)},         {ui().ModTrack, QRect(88, 128, 75, 25)},
        {ui().DelTrack, QRect(168, 128, 75, 25)},       {ui().PanelPlay, QRect(256, 128, 234, 25)},
        {ui().PanelEditMode, QRect(504, 128, 153, 25)},
    };
    for (const auto& [control, geometry] : controls) {
        SCOPED_TRACE(control->metaObject()->className());
        EXPECT_EQ(control->parentWidget(), window->centralWidget());
        EXPECT_EQ(control->geometry(), geometry);
    }
}

TEST_F(MainWindow, TheMinimumSizeKeepsTheTransportAndTheEditModesWhole) {
    window->resize(560, 260);
    QCoreApplication::processEvents();
    const QRect client = window->centralWidget()->rect();
    EXPECT_GE(client.width(), 665);
    for (QWidget* panel :
         {static_cast<QWidget*>(ui().PanelPlay), static_cast<QWidget*>(ui().PanelEditMode)})
        EXPECT_TRUE(client.contains(panel->geometry())) << panel->geometry().right();
    EXPECT_GT(ui().TrackList->height(), 40) << "a row of the track list shows";
}

TEST_F(MainWindow, GridSizeSequences) {
    struct Step {
        void (TMain::*click)();
        int size;
        int grid;
    };
    const Step less[] = {{&TMain::GridLessClick, 8, 8},   {&TMain::GridLessClick, 4, 4},
                         {&TMain::GridLessClick, 2, 4},   {&TMain::GridLessClick, 1, 4},
                         {&TMain::GridLessClick, 1, 4},   {&TMain::GridPlusClick, 2, 4},
                         {&TMain::GridPlusClick, 4, 4},   {&TMain::GridPlusClick, 8, 8},
                         {&TMain::GridPlusClick, 16, 16}, {&TMain::GridPlusClick, 32, 32},
                         {&TMain::GridPlusClick, 64, 64}, {&TMain::GridPlusClick, 64, 64}};
    for (const auto& step : less) {
        (window.get()->*step.click)();
        EXPECT_EQ(score().LargePosLen(), step.size);
        EXPECT_EQ(score().VertGridLen(), step.grid);
        EXPECT_EQ(ui().GridSize->text(), QString::number(step.size));
    }
}

TEST_F(MainWindow, GridLinesFollowTheGridSize) {
    window->GridLessClick(); // 8: a grey line every 16 pixels
    const QImage image = score().Image();
    const QColor grey(176, 176, 176);
    EXPECT_EQ(image.pixelColor(16, 20), grey);
    EXPECT_EQ(image.pixelColor(48, 20), grey);
    window->GridPlusClick();
    window->GridPlusClick(); // 32: every 64 pixels
    EXPECT_NE(score().Image().pixelColor(32, 20), grey);
    EXPECT_EQ(score().Image().pixelColor(64, 20), grey);
}

TEST_F(MainWindow, KeypadPlusAndMinusWorkFromTheTrackListButNotTheMainKeyboard) {
    ui().TrackList->setFocus();
    QTest::keyClick(ui().TrackList, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(score().LargePosLen(), 32);
    QTest::keyClick(ui().TrackList, Qt::Key_Plus);
    EXPECT_EQ(score().LargePosLen(), 32);
    QTest::keyClick(ui().AddTrack, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(score().LargePosLen(), 16);
    // with the focus on no control, the window gets the keys
    ui().AddTrack->clearFocus();
    ui().TrackList->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    QTest::keyClick(window.get(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(score().LargePosLen(), 8);
    QTest::keyClick(window.get(), Qt::Key_Minus);
    EXPECT_EQ(score().LargePosLen(), 8);
}

// Delete removes the selected notes of the shown track, in selection mode only.
TEST_F(MainWindow, DeleteKeyByMode) {
    struct Case {
        const char* name;
        QToolButton* TMainComponents::*mode;
        std::vector<int> selected;       // shown notes, by place in the score
        std::vector<std::int32_t> left;  // positions of the song's notes afterwards
        std::vector<std::int32_t> shown; // and of the score's
        bool modified;
    };
    const Case cases[] = {
        // the other track's note (at 16) stays
        {"selection mode", &TMainComponents::ModeSelect, {0, 2}, {16, 32}, {32}, true},
        {"selection mode, nothing selected: removes nothing but sets Modified",
         &TMainComponents::ModeSelect,
         {},
         {0, 16, 32, 48},
         {0, 32, 48},
         true},
        {"note mode", &TMainComponents::ModeNote, {0}, {0, 16, 32, 48}, {0, 32, 48}, false},
        {"sharp mode", &TMainComponents::ModeDieze, {0}, {0, 16, 32, 48}, {0, 32, 48}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        AddTrack(0);
        AddTrack(1);
        std::int32_t pos = 0;
        for (std::uint16_t t : {0, 1, 0, 0}) {
            AddNotes({{60, pos, 8, 0, t}});
            pos += 16;
        }
        SelectRow(0);
        MarkSaved();
        ASSERT_EQ(score().NoteList().size(), 3u);
        (ui().*c.mode)->setChecked(true);
        for (int k : c.selected)
            score().NoteList()[k]->Selected = true;
        QTest::keyClick(ui().TrackList, Qt::Key_Delete);
        std::vector<std::int32_t> left;
        for (const TMidiNote& note : Notes())
            left.push_back(note.Pos);
        EXPECT_EQ(left, c.left);
        std::vector<std::int32_t> shown;
        for (const auto& note : score().NoteList()) {
            shown.push_back(note->Pos);
            EXPECT_NE(std::find_if(Notes().begin(), Notes().end(),
                                   [&](const TMidiNote& n) { return &n == note->Data; }),
                      Notes().end());
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(IsModified(), c.modified);
    }
}

// Nothing reaches the terminal in normal use: a song without a file name changed again and
// again leaves Qt nothing to complain about.
TEST_F(MainWindow, ChangesOfASongWithoutAFileNamePrintNothing) {
    static std::vector<std::string> printed;
    printed.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            printed.push_back(text.toStdString());
        });
    AddTrack(0);
    Click(XOf(8), YOf(60));
    Click(XOf(40), YOf(64));
    window->AnnulerClick();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(printed.empty()) << printed.front();
    EXPECT_EQ(window->windowTitle(), "Kadrel");
    EXPECT_TRUE(IsModified());
}

TEST_F(MainWindow, ClosingWithoutChangesAsksNothing) {
    window->close();
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, ClosingWithChangesOffersToSave) {
    TempDir dir;
    AddTrack(0);
    dialogs.Messages.clear();

    dialogs.Answers.push_back(QMessageBox::Cancel);
    window->QuitterClick();
    EXPECT_TRUE(window->isVisible()) << "Annuler keeps the window";
    EXPECT_EQ(dialogs.Messages.back().Text, "Voulez-vous enregistrer les modifications?");
    EXPECT_EQ(dialogs.Messages.back().Buttons,
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

    // Oui with a save dialog that is cancelled: nothing was saved, so the window stays.
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->close();
    EXPECT_TRUE(window->isVisible());

    dialogs.Answers.push_back(QMessageBox::Yes);
    dialogs.SaveNames.push_back(QString::fromStdString(dir / "kept.mid"));
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ReadFile(dir / "kept.mid").size(), 29u);
}

TEST_F(MainWindow, ClosingWithChangesAndNoClosesWithoutSaving) {
    AddTrack(0);
    dialogs.Answers.push_back(QMessageBox::No);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(MidiOut(), nullptr) << "the port is released";
    EXPECT_TRUE(Notes().empty());
}

TEST_F(MainWindow, TheModelsInconsistencyReportIsAPlainBox) {
    const WeirdThingBox box(dialogs, window.get()); // as the program installs it
    vlv weird;
    weird.Bytes.clear();
    weird.Bytes.push_back(0x05);
    weird.Bytes.push_back(0x05);
    (void)weird.GetValue();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Weird thing hapenned: 0 / 1");
    EXPECT_EQ(dialogs.Messages[0].Icon, QMessageBox::NoIcon);
    EXPECT_EQ(dialogs.Messages[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

// --- without a port ---

class WithoutPort : public EditorTest {
protected:
    void SetUp() override {
        out.RefuseOpen(6);
        EditorTest::SetUp();
    }
};

TEST_F(WithoutPort, TheWindowComesUpAndTellsTheUserOnce) {
    EXPECT_EQ(MidiOut(), nullptr);
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Erreur");
    EXPECT_EQ(dialogs.Messages[0].Text,
              "Couldn't open MIDI output: error 6 (No device driver present)");
}

TEST_F(WithoutPort, CommandsDoTheirWorkAndSendNothing) {
    TempDir dir;
    dialogs.Messages.clear();
    AddTrack(0, 12);
    EXPECT_EQ(RowCount(), 1);
    SelectRow(0);
    dialogs.TrackInfoAnswers.push_back(FillTrack(2, 13));
    window->ModTrackClick();
    EXPECT_EQ(Row(0).Channel, "2");

    // A file with program changes opens whole.
    WriteFile(dir / "p.mid", Cat({Tag("MThd"),
                                  {0, 0, 0, 6, 0, 1, 0, 1, 0, 0x10},
                                  Tag("MTrk"),
                                  {0, 0, 0, 15, 0x00, 0xC0, 0x05, 0x00, 0x90, 60, 1, 0x00, 0xC0,
                                   0x06, 0x00, 0xFF, 0x2F, 0x00}}));
    dialogs.Answers.push_back(QMessageBox::No);
    dialogs.OpenNames.push_back(QString::fromStdString(dir / "p.mid"));
    window->OuvrirClick();
    EXPECT_EQ(Row(0).Instrument, "006 - Harpsichord");
    EXPECT_EQ(Notes().size(), 1u);

    // The file's velocity would be lost: the import that keeps it is offered (Non here).
    ASSERT_EQ(dialogs.Texts().size(), 2u);
    EXPECT_EQ(dialogs.Texts()[0], "Voulez-vous enregistrer les modifications?");
    EXPECT_TRUE(dialogs.Texts()[1].startsWith("Ouvrir ce fichier en perdrait une partie : "));
    EXPECT_TRUE(out.Messages().empty());
}

} // namespace
} // namespace kadrel::test
