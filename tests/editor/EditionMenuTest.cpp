#include "EditorFixture.h"
#include "core/SmfBytes.h"
#include "core/TempDir.h"
#include "midi/ByteStream.h"
#include "song/NoteClipboard.h"
#include "song/SongConversion.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

// Everything that undo and redo must give back: the song's notes with all their fields in the
// same order, the saved bytes, the rows with the selected one, and the score's notes (each
// paired with its place in the song).
struct View {
    NoteList Notes;
    std::vector<std::uint8_t> Saved;
    std::vector<std::string> Rows;
    int SelectedRow = -1;
    std::vector<std::pair<std::ptrdiff_t, std::string>> Shown;

    bool operator==(const View&) const = default;
};

std::string Text(const TMidiNote& n) {
    return NoteText(n);
}

class Edition : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        QGuiApplication::clipboard()->clear();
        OpenSong();
    }

    // A saved song of two tracks: five notes on track 0 (channel 0), two on track 1 (channel
    // 1), with track 0 shown.
    void OpenSong() {
        Song song;
        song.Tracks = {{"Piano", 0, 0}, {"Basse", 1, 33}};
        for (const TMidiNote& note :
             {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{40, 0, 32, 1, 1}, TMidiNote{62, 16, 16, 0, 0},
              TMidiNote{64, 32, 16, 0, 0}, TMidiNote{43, 32, 32, 1, 1}, TMidiNote{65, 48, 16, 0, 0},
              TMidiNote{67, 64, 16, 0, 0}})
            song.Notes.push_back(note);
        Document().Replace(std::move(song), true);
        ClickRow(0);
        out.Clear();
    }

    void ClickRow(int row) {
        const QRect rect = ui().TrackList->visualItemRect(ui().TrackList->topLevelItem(row));
        QTest::mouseClick(ui().TrackList->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(window.get(), key, modifiers);
    }

    View Look() const {
        View v;
        v.Notes = Notes();
        ByteStream stream;
        ExportSong(SongView()).SaveToStream(stream);
        v.Saved = stream.Bytes();
        v.Rows = RowTexts();
        v.SelectedRow = SelectedRow();
        for (const auto& shown : ui().Partition->NoteList()) {
            const auto* note = static_cast<const TMidiNote*>(shown->Data);
            EXPECT_EQ(shown->NoteNum, note->NoteNum);
            EXPECT_EQ(shown->Pos, note->Pos);
            EXPECT_EQ(shown->Len, note->Len);
            v.Shown.emplace_back(note - Notes().data(), Text(*note));
        }
        return v;
    }

    // The score's notes, selected ones marked with a star.
    std::vector<std::string> ShownNotes() const {
        std::vector<std::string> shown;
        for (const auto& n : ui().Partition->NoteList())
            shown.push_back(Text(*static_cast<const TMidiNote*>(n->Data)) +
                            (n->Selected ? "*" : ""));
        return shown;
    }

    // A rubber band in selection mode from one corner to the other.
    void Band(int x1, int y1, int x2, int y2) {
        QTest::mouseClick(ui().ModeSelect, Qt::LeftButton);
        Press(x1, y1);
        Move(x2, y2);
        Release(x2, y2);
    }

    std::string Enabled() const {
        std::string s;
        for (const QAction* action : {ui().Annuler, ui().Retablir, ui().Couper, ui().Copier,
                                      ui().Coller, ui().Supprimer, ui().ToutSelectionner})
            s += action->isEnabled() ? '1' : '0';
        return s;
    }
};

TEST_F(Edition, MenuItemsAndShortcuts) {
    const auto menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->menu(), ui().Fichier);
    EXPECT_EQ(menus[1]->menu(), ui().Edition);
    EXPECT_EQ(menus[2]->menu(), ui().Affichage);
    EXPECT_EQ(ui().Edition->title(), "É&dition"); // Alt+D on any keyboard
    const auto actions = ui().Edition->actions();
    ASSERT_EQ(actions.size(), 10);
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_TRUE(actions[8]->isSeparator());
    EXPECT_EQ(actions[9], ui().Velocite);
    EXPECT_EQ(ui().Velocite->text(), "&Vélocité...");
    EXPECT_EQ(ui().Velocite->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    const std::pair<QAction*, std::pair<const char*, QList<QKeySequence>>> items[] = {
        {ui().Annuler, {"Annuler", {QKeySequence(Qt::CTRL | Qt::Key_Z)}}},
        {ui().Retablir,
         {"Rétablir",
          {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}}},
        {ui().Couper, {"Couper", {QKeySequence(Qt::CTRL | Qt::Key_X)}}},
        {ui().Copier, {"Copier", {QKeySequence(Qt::CTRL | Qt::Key_C)}}},
        {ui().Coller, {"Coller", {QKeySequence(Qt::CTRL | Qt::Key_V)}}},
        {ui().Supprimer, {"Supprimer", {QKeySequence(Qt::Key_Delete)}}},
        {ui().ToutSelectionner, {"Tout sélectionner", {QKeySequence(Qt::CTRL | Qt::Key_A)}}},
    };
    const int places[] = {0, 1, 3, 4, 5, 6, 7};
    for (int i = 0; i < 7; ++i) {
        const auto& [action, expected] = items[i];
        EXPECT_EQ(actions[places[i]], action);
        EXPECT_EQ(action->text(), QString::fromUtf8(expected.first));
        EXPECT_EQ(action->shortcuts(), expected.second);
    }
    EXPECT_EQ(ui().Supprimer->shortcut().toString(QKeySequence::NativeText), "Suppr");

    // The shortcuts act with the focus in the track list too, which has its own for some keys.
    ui().TrackList->setFocus();
    QTest::keyClick(ui().TrackList, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(ShownNotes().front(), "60@0+16 c0 t0*");
    QTest::keyClick(ui().TrackList, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(NotesMimeType));
}

// One step per user action, named by the Annuler item; undo gives back the song, the rows and
// the score as they were, redo as they were after.
TEST_F(Edition, EachActionIsOneStepThatUndoAndRedoGiveBack) {
    struct Case {
        const char* name;
        std::function<void()> prepare; // not a step
        std::function<void()> action;
        const char* text;
    };
    const std::function<void()> nothing = [] {};
    const Case cases[] = {
        {"a note added and lengthened", nothing,
         [this] {
             Press(XOf(80), YOf(72));
             Move(XOf(90), YOf(72));
             Move(XOf(120), YOf(72));
             Release(XOf(120), YOf(72));
         },
         "l'ajout d'une note"},
        {"a right click", nothing, [this] { Click(XOf(4), YOf(60), Qt::RightButton); },
         "la suppression d'une note"},
        {"a raise", [this] { QTest::mouseClick(ui().ModeDieze, Qt::LeftButton); },
         [this] { Click(XOf(20), YOf(62)); }, "la hausse d'une note"},
        {"a lower", [this] { QTest::mouseClick(ui().ModeDieze, Qt::LeftButton); },
         [this] { Click(XOf(20), YOf(62), Qt::RightButton); }, "la baisse d'une note"},
        {"a drag of a selection", [this] { Band(XOf(1), YOf(69), XOf(90), YOf(59)); },
         [this] {
             Press(XOf(4), YOf(60));
             Move(XOf(20), YOf(62));
             Move(XOf(40), YOf(62));
             Release(XOf(40), YOf(62));
         },
         "le déplacement de 5 notes"},
        {"a rubber band and Delete", [this] { Band(XOf(1), YOf(69), XOf(40), YOf(59)); },
         [this] { QTest::keyClick(ui().TrackList, Qt::Key_Delete); }, "la suppression de 3 notes"},
        {"a track added",
         [this] { dialogs.TrackInfoAnswers.push_back(FillTrack(2, 40, "Cordes")); },
         [this] { QTest::mouseClick(ui().AddTrack, Qt::LeftButton); }, "l'ajout du track 2"},
        {"a track changed",
         [this] { dialogs.TrackInfoAnswers.push_back(FillTrack(5, 8, "Cloches")); },
         [this] { QTest::mouseClick(ui().ModTrack, Qt::LeftButton); },
         "la modification du track 0"},
        {"a track deleted with its notes",
         [this] {
             ClickRow(0);
             dialogs.Answers.push_back(QMessageBox::Yes);
         },
         [this] { QTest::mouseClick(ui().DelTrack, Qt::LeftButton); }, "la suppression du track 0"},
        {"a cut", [this] { Key(Qt::Key_A); }, [this] { Key(Qt::Key_X); }, "la coupe de 5 notes"},
        {"a paste",
         [this] {
             Key(Qt::Key_A);
             Key(Qt::Key_C);
             ClickRow(1);
         },
         [this] { Key(Qt::Key_V); }, "le collage de 5 notes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        OpenSong();
        ui().ModTrack->setEnabled(true);
        ui().DelTrack->setEnabled(true);
        c.prepare();
        ASSERT_FALSE(ui().Annuler->isEnabled()) << "preparing is not a step";
        const View before = Look();
        c.action();
        const View after = Look();
        ASSERT_NE(after, before);
        EXPECT_EQ(Document().History().count(), 1);
        EXPECT_EQ(ui().Annuler->text(), "Annuler " + QString::fromUtf8(c.text));
        EXPECT_TRUE(IsModified());

        Key(Qt::Key_Z);
        EXPECT_EQ(Look(), before);
        EXPECT_FALSE(ui().Annuler->isEnabled());
        EXPECT_EQ(ui().Annuler->text(), "Annuler");
        EXPECT_EQ(ui().Retablir->text(), QString::fromUtf8("Rétablir ") + c.text);
        EXPECT_FALSE(IsModified()) << "back to the song as opened";

        Key(Qt::Key_Y);
        EXPECT_EQ(Look(), after);
        Key(Qt::Key_Z);
        Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(Look(), after);
        EXPECT_FALSE(ui().Retablir->isEnabled());
        EXPECT_TRUE(IsModified());
    }
}

TEST_F(Edition, ItemsAreEnabledWhenThereIsSomethingToDo) {
    // undo, redo, cut, copy, paste, delete, select all
    EXPECT_EQ(Enabled(), "0000001");
    // presses that change nothing are no step
    Band(XOf(1), YOf(69), XOf(2), YOf(68));
    Click(XOf(4), YOf(60));
    EXPECT_EQ(ShownNotes()[0], "60@0+16 c0 t0*");
    EXPECT_EQ(Enabled(), "0011011") << "a selection in selection mode";
    QTest::mouseClick(ui().ModeNote, Qt::LeftButton);
    EXPECT_EQ(Enabled(), "0000001") << "the mode button cleared the selection";
    Key(Qt::Key_A);
    EXPECT_TRUE(ui().ModeSelect->isChecked()) << "Tout sélectionner puts selection mode down";
    EXPECT_THAT(ShownNotes(), ElementsAre("60@0+16 c0 t0*", "62@16+16 c0 t0*", "64@32+16 c0 t0*",
                                          "65@48+16 c0 t0*", "67@64+16 c0 t0*"));
    EXPECT_EQ(Enabled(), "0011011");
    Key(Qt::Key_C);
    EXPECT_EQ(Enabled(), "0011111");
    Key(Qt::Key_X);
    EXPECT_EQ(Enabled(), "1000100") << "nothing left to select on the shown track";
    Key(Qt::Key_Z);
    EXPECT_EQ(Enabled(), "0100101");
    ui().TrackList->clearSelection();
    QCoreApplication::processEvents();
    EXPECT_EQ(Enabled(), "0100000") << "no track to paste into, nothing shown";
}

// Notes that stay on the score keep their selection when a step puts notes back or takes them out.
TEST_F(Edition, UndoAndRedoKeepTheSelectionOfTheNotesThatStay) {
    Band(XOf(66), YOf(69), XOf(70), YOf(59));
    QTest::keyClick(ui().TrackList, Qt::Key_Delete);
    ASSERT_EQ(Notes().size(), 6u);
    Band(XOf(1), YOf(69), XOf(20), YOf(59));
    Key(Qt::Key_Z);
    EXPECT_THAT(ShownNotes(), ElementsAre("60@0+16 c0 t0*", "62@16+16 c0 t0*", "64@32+16 c0 t0",
                                          "65@48+16 c0 t0", "67@64+16 c0 t0"));
    Key(Qt::Key_Y);
    EXPECT_THAT(ShownNotes(), ElementsAre("60@0+16 c0 t0*", "62@16+16 c0 t0*", "64@32+16 c0 t0",
                                          "65@48+16 c0 t0"));
}

TEST_F(Edition, ModifiedFollowsTheSavedStateAndTheCloseQuestion) {
    TempDir dir;
    // A press that changes nothing counts as a change, until undo comes back to the saved song.
    QTest::mouseClick(ui().ModeSelect, Qt::LeftButton);
    Click(XOf(300), YOf(72));
    EXPECT_TRUE(IsModified());
    QTest::mouseClick(ui().ModeNote, Qt::LeftButton);
    Click(XOf(100), YOf(72));
    Key(Qt::Key_Z);
    EXPECT_FALSE(IsModified());

    // Saved in the middle: undoing to that point clears Modified, beyond it sets it again.
    Click(XOf(100), YOf(72));
    Document().SetFileName(dir / "song.mid");
    Key(Qt::Key_F4, Qt::NoModifier);
    EXPECT_FALSE(IsModified());
    Click(XOf(120), YOf(74));
    EXPECT_TRUE(IsModified());
    Key(Qt::Key_Z);
    EXPECT_FALSE(IsModified());
    Key(Qt::Key_Z);
    EXPECT_TRUE(IsModified()) << "before the save";
    dialogs.Answers.push_back(QMessageBox::Cancel);
    window->close();
    EXPECT_THAT(dialogs.Texts(), ElementsAre("Voulez-vous enregistrer les modifications?"));
    EXPECT_TRUE(window->isVisible());

    Key(Qt::Key_Y);
    EXPECT_FALSE(IsModified());
    dialogs.Messages.clear();
    window->close();
    EXPECT_TRUE(dialogs.Messages.empty()) << "nothing to save: no question";
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Edition, CopyAndPasteInsideKadrel) {
    Band(XOf(20), YOf(69), XOf(60), YOf(59)); // 62@16, 64@32, 65@48
    Key(Qt::Key_C);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(QString::fromLatin1(NotesMimeType)).toStdString(),
              "Kadrel notes 1\n62 0 16 0\n64 16 16 0\n65 32 16 0\n");
    const QByteArray file = data->data(QString::fromLatin1(MidiFileMimeType));
    EXPECT_EQ(Hex(Bytes(file.begin(), file.end())),
              "4D 54 68 64 00 00 00 06 00 01 00 01 00 10 4D 54 72 6B 00 00 00 1F "
              "00 C0 00 00 90 3E 7F 10 80 3E 00 00 90 40 7F 10 80 40 00 00 90 41 7F "
              "10 80 41 00 00 FF 2F 00");

    // Into track 1, at the cursor when it is in view, on the track's channel, selected after.
    ClickRow(1);
    score().SetCursorPos(2 * 100);
    Key(Qt::Key_V);
    EXPECT_TRUE(ui().ModeSelect->isChecked());
    EXPECT_THAT(ShownNotes(), ElementsAre("40@0+32 c1 t1", "43@32+32 c1 t1", "62@100+16 c1 t1*",
                                          "64@116+16 c1 t1*", "65@132+16 c1 t1*"));
    // Else at the first position shown.
    score().SetCursorPos(0);
    score().SetFirstMesure(3);
    Key(Qt::Key_V);
    EXPECT_THAT(ShownNotes(), ElementsAre("40@0+32 c1 t1", "43@32+32 c1 t1", "62@100+16 c1 t1",
                                          "64@116+16 c1 t1", "65@132+16 c1 t1", "62@192+16 c1 t1*",
                                          "64@208+16 c1 t1*", "65@224+16 c1 t1*"));
    EXPECT_EQ(Notes().size(), 13u);
}

// Other programs put a Standard MIDI File on the clipboard: Coller reads it as the import does
// and puts all its notes into the selected track.
TEST_F(Edition, PasteAStandardMidiFileFromAnotherProgram) {
    const Bytes file = Smf(
        0, 96,
        {{0x60, 0x92, 70, 100, 0x30, 72, 100, 0x30, 70, 0, 0x30, 72, 0, 0x00, 0xFF, 0x2F, 0x00}});
    auto* data = new QMimeData();
    data->setData(QString::fromLatin1(MidiFileMimeType),
                  QByteArray(reinterpret_cast<const char*>(file.data()),
                             static_cast<qsizetype>(file.size())));
    QGuiApplication::clipboard()->setMimeData(data);
    EXPECT_TRUE(ui().Coller->isEnabled());
    ClickRow(1);
    Key(Qt::Key_V);
    EXPECT_THAT(ShownNotes(),
                ElementsAre("40@0+32 c1 t1", "43@32+32 c1 t1", "70@0+16 c1 t1*", "72@8+16 c1 t1*"));

    // Only the formats are looked at until Coller: what the import cannot read is then refused
    // with the import's reason, and nothing is pasted.
    auto* refused = new QMimeData();
    refused->setData(QString::fromLatin1(MidiFileMimeType), QByteArray("MThd nope"));
    QGuiApplication::clipboard()->setMimeData(refused);
    EXPECT_TRUE(ui().Coller->isEnabled());
    const std::size_t notes = Notes().size();
    dialogs.Messages.clear();
    Key(Qt::Key_V);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Erreur");
    EXPECT_EQ(Notes().size(), notes);
}

// Clipboard data that counts how often its MIDI file is read.
class CountingMimeData final : public QMimeData {
public:
    mutable int Reads = 0;

protected:
    QVariant retrieveData(const QString& format, QMetaType type) const override {
        if (format == QString::fromLatin1(MidiFileMimeType))
            ++Reads;
        return QMimeData::retrieveData(format, type);
    }
};

// The clipboard's content is read when the user pastes, not whenever it changes: a large file
// from another program costs nothing until then.
TEST_F(Edition, TheClipboardIsReadOnlyOnColler) {
    const Bytes file = Smf(0, 16, {{0x00, 0x90, 70, 100, 0x10, 0x80, 70, 0, 0x00, 0xFF, 0x2F, 0}});
    auto* data = new CountingMimeData();
    data->setData(QString::fromLatin1(MidiFileMimeType),
                  QByteArray(reinterpret_cast<const char*>(file.data()),
                             static_cast<qsizetype>(file.size())));
    QGuiApplication::clipboard()->setMimeData(data);
    QCoreApplication::processEvents();
    ui().Edition->popup(QPoint(0, 0)); // its items are updated as it opens
    ui().Edition->hide();
    EXPECT_TRUE(ui().Coller->isEnabled());
    EXPECT_EQ(data->Reads, 0);
    Key(Qt::Key_V);
    EXPECT_GE(data->Reads, 1);
    EXPECT_EQ(Notes().size(), 8u);
}

// A track on a channel that no file can hold (from Ouvrir of a file of many tracks) takes no
// pasted note.
TEST_F(Edition, PasteIntoATrackOnChannel16IsRefused) {
    Key(Qt::Key_A);
    Key(Qt::Key_C);
    SetTrack(1, {"", 16, 0});
    ClickRow(1);
    dialogs.Messages.clear();
    Key(Qt::Key_V);
    EXPECT_THAT(dialogs.Texts(), ElementsAre("Invalid MIDI channel: 16"));
    EXPECT_EQ(Notes().size(), 7u);
}

// Undo and redo during playback act like the edits they reverse: a note that they take out of
// the song or change while it sounds is turned off at once.
TEST_F(Edition, UndoAndRedoDuringPlaybackTurnSoundingNotesOff) {
    struct Case {
        const char* name;
        std::function<void()> before; // the step, made before playing
        std::function<void()> during; // at 100 ms
    };
    const Case cases[] = {
        {"undo of the note's addition",
         [this] {
             Press(XOf(0), YOf(72));
             Release(XOf(0), YOf(72));
             window->TimerNoteOFFTimer();
         },
         [this] { Key(Qt::Key_Z); }},
        {"redo of its removal",
         [this] {
             Click(XOf(0), YOf(72));
             window->TimerNoteOFFTimer();
             Click(XOf(4), YOf(72), Qt::RightButton);
             Key(Qt::Key_Z);
         },
         [this] { Key(Qt::Key_Y); }},
        {"undo of its raise",
         [this] {
             Click(XOf(0), YOf(72));
             window->TimerNoteOFFTimer();
             QTest::mouseClick(ui().ModeDieze, Qt::LeftButton);
             Click(XOf(4), YOf(72));
             window->TimerNoteOFFTimer();
         },
         [this] { Key(Qt::Key_Z); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        Create();
        OpenSong();
        // The note sounds on channel 5, which the final all-notes-off of the rows does not
        // reach: it ends at the first row, on channel 16.
        SetTrack(0, {"", 16, 0});
        SetTrack(1, {"", 5, 33});
        ClickRow(1);
        MarkSaved();
        c.before();
        const std::uint8_t number = static_cast<std::uint8_t>(Notes().back().NoteNum);
        out.Clear();
        const std::uint32_t start = clock.NowMs();
        clock.At(start + 100, c.during);
        clock.At(start + 200, [this] { window->StopPlayClick(); });
        window->PlayClick();
        QCoreApplication::processEvents();
        std::vector<std::uint32_t> offs;
        for (const auto& m : out.Messages())
            if (m.Msg == NoteOffMsg(5, number))
                offs.push_back(m.TimeMs - start);
        EXPECT_THAT(offs, ElementsAre(100u)) << "started at 30 ms, stopped by the step";
    }
}

} // namespace
} // namespace kadrel::test
