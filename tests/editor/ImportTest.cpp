#include "EditorFixture.h"
#include "core/SmfBytes.h"
#include "core/TempDir.h"
#include "song/ImportTexts.h"
#include "util/TextUtils.h"

#include <QAbstractButton>
#include <QPushButton>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

// A format 0 song as real collections hold it: running status, a drum channel, a controller, a
// pitch bend, a tempo and a track name. Ouvrir refuses it.
const Bytes RealSong =
    Smf(0, 16, {{0,    0xFF, 0x03, 4,    'S', 'o',  'n',  'g',  0,    0xFF, 0x51, 3,    7,    0xA1,
                 0x20, 0,    0xC0, 24,   0,   0xC9, 0,    0,    0x90, 60,   100,  0,    64,   100,
                 0,    0x99, 36,   100,  0,   0xB0, 7,    100,  0,    0xE0, 0,    0x48, 0x10, 0x90,
                 60,   0,    0,    64,   0,   0x08, 0x99, 36,   0,    0,    0xC1, 33,   0,    0x91,
                 40,   100,  0x10, 0x81, 40,  0,    0,    0xFF, 0x2F, 0}});

const char* const OfferText = "Le fichier n'a pas pu être lu. Le format n'est pas reconnu.\n\n"
                              "Il peut toutefois être importé tel qu'il est : ses notes, ses "
                              "tracks, leurs instruments et tout le reste (tempo, contrôleurs, "
                              "vélocités...) sont conservés. Voulez-vous l'importer?";

class Import : public EditorTest {
protected:
    QString Write(const std::string& name, const Bytes& bytes) {
        WriteFile(dir / name, bytes);
        return QString::fromStdString(dir / name);
    }

    // The song that RealSong gives.
    void ExpectRealSong() {
        EXPECT_THAT(RowTexts(),
                    ElementsAre("0|Song|0|024 - Nylon Guitar", "1|Song|1|033 - Fingered Bass",
                                "2|Song|9|000 - Piano 1"));
        EXPECT_THAT(NoteTexts(), ElementsAre("60@0+16 c0 t0", "64@0+16 c0 t0", "36@0+24 c9 t2",
                                             "40@24+16 c1 t1"));
        EXPECT_EQ(SelectedRow(), 0);
        ASSERT_EQ(score().NoteList().size(), 2u) << "the first row's notes are shown";
        EXPECT_EQ(score().NoteList()[1]->NoteNum, 64);
        // The song holds the whole file: it is that file, saved where it was.
        EXPECT_EQ(FileName(), dir / "real.mid");
        EXPECT_FALSE(IsModified());
        EXPECT_TRUE(SongView().KeepsFile);
    }

    TempDir dir;
};

TEST_F(Import, CtrlIImportsTheWholeFileAndShowsTheFirstRow) {
    const QString path = Write("real.mid", RealSong);
    AddTrack(5);
    Document().SetFileName("/some/song.mid");
    MarkSaved();
    score().SetFirstMesure(3);
    score().SetCursorPos(200);
    out.Clear();
    dialogs.OpenNames.push_back(path);
    QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier);

    ExpectRealSong();
    EXPECT_EQ(dialogs.Folders.back().toStdString(), ProgramFolder());
    EXPECT_EQ(score().FirstMesure(), 0);
    EXPECT_EQ(score().CursorPos(), 0);
    EXPECT_TRUE(ui().ModTrack->isEnabled());
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(0, 24), PatchMsg(1, 33), PatchMsg(9, 0)));
    EXPECT_TRUE(dialogs.Messages.empty()) << "nothing was left out: no box";
    // Enregistrer writes it back in place with every event it had.
    window->EnregistrerClick();
    EXPECT_EQ(ReadFile(path.toStdString()), RealSong);
}

// What the reader could not read is told, with where it was; the song is then not the file: it
// has no name, so that the original cannot be replaced by mistake.
TEST_F(Import, WhatCouldNotBeReadIsToldAndTheSongHasNoName) {
    dialogs.OpenNames.push_back(Write("cut.mid", Smf(0, 16, {{0, 0x90, 60, 100, 0x10, 0x80, 60}})));
    window->ImporterClick();
    EXPECT_THAT(NoteTexts(), ElementsAre("60@0+0 c0 t0"));
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Icon, QMessageBox::Information);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Information");
    EXPECT_EQ(dialogs.Messages[0].Text,
              "Importé : 1 track, 1 note.\n"
              "Non lu :\n"
              "un événement coupé par la fin de son bloc (track 0, position 26 dans le fichier)");
    EXPECT_EQ(FileName(), "");
    EXPECT_TRUE(IsModified());
}

TEST_F(Import, NothingLeftOutShowsNoBox) {
    dialogs.OpenNames.push_back(
        Write("plain.mid", Smf(1, 16, {{0, 0x90, 60, 100, 16, 0x80, 60, 0}})));
    window->ImporterClick();
    EXPECT_THAT(RowTexts(), ElementsAre("0||0|000 - Piano 1"));
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(Import, AsksAboutUnsavedChangesAsOuvrirDoes) {
    AddTrack(2);
    dialogs.Answers.push_back(QMessageBox::Cancel);
    window->ImporterClick();
    EXPECT_EQ(dialogs.Messages.back().Text, "Voulez-vous enregistrer les modifications?");
    EXPECT_TRUE(dialogs.Folders.empty()) << "no file dialog after Cancel";
    EXPECT_EQ(RowCount(), 1);

    dialogs.Answers.push_back(QMessageBox::No);
    window->ImporterClick(); // the open dialog is cancelled
    EXPECT_EQ(dialogs.Folders.size(), 1u);
    EXPECT_EQ(RowCount(), 1);
    EXPECT_TRUE(IsModified());
}

TEST_F(Import, ARefusedFileLeavesTheSongAsItWas) {
    AddTrack(3);
    Document().SetFileName("/some/song.mid");
    MarkSaved();
    dialogs.OpenNames.push_back(Write("bad.mid", Smf(0, 96, {{0, 0x3C, 0x40}})));
    window->ImporterClick();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(dialogs.Messages[0].Text.toStdString(),
              ImportRefusalText(SmfRefusal::DataByteWithoutStatus, 23));
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(FileName(), "/some/song.mid");
    EXPECT_FALSE(IsModified());

    dialogs.OpenNames.push_back(QString::fromStdString(dir / "gone.mid"));
    window->RunHandler([this] { window->ImporterClick(); });
    EXPECT_EQ(dialogs.Messages.back().Text.toStdString(),
              "Impossible d'ouvrir le fichier " + dir / "gone.mid");
    EXPECT_EQ(RowCount(), 1);
}

// Ouvrir refuses the file; the tolerant reader takes it: the box offers the import.
TEST_F(Import, RefusedOuvrirOffersTheImport) {
    const QString path = Write("real.mid", RealSong);
    dialogs.OpenNames.push_back(path);
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->OuvrirClick();
    ASSERT_GE(dialogs.Messages.size(), 1u);
    const auto& offer = dialogs.Messages[0];
    EXPECT_EQ(offer.Text, QString::fromUtf8(OfferText));
    EXPECT_EQ(offer.Icon, QMessageBox::Critical);
    EXPECT_EQ(offer.Caption, "Erreur");
    EXPECT_EQ(offer.Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(offer.Default, QMessageBox::Yes);
    EXPECT_EQ(offer.Escape, QMessageBox::No);
    ExpectRealSong();
}

TEST_F(Import, NonLeavesTheEmptySongAndEnregistrerAsksForAName) {
    const QString path = Write("real.mid", RealSong);
    AddTrack(0);
    MarkSaved();
    dialogs.OpenNames.push_back(path);
    dialogs.Answers.push_back(QMessageBox::No);
    window->OuvrirClick();
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(FileName(), "");
    EXPECT_FALSE(IsModified());

    // F4 no longer replaces the file with the empty song: it asks for a name (cancelled here).
    QTest::keyClick(window.get(), Qt::Key_F4);
    EXPECT_EQ(dialogs.Folders.size(), 2u) << "the open dialog, then the save dialog";
    EXPECT_EQ(ReadFile(path.toStdString()), RealSong);
}

// The real box: Oui is the default button, Enter answers it and Escape answers Non.
TEST(QtUserDialogsBox, OfferAnswersOuiToEnterAndNonToEscape) {
    QtUserDialogs dialogs;
    const std::pair<Qt::Key, QMessageBox::StandardButton> cases[] = {
        {Qt::Key_Escape, QMessageBox::No}, {Qt::Key_Return, QMessageBox::Yes}};
    for (const auto& [key, expected] : cases) {
        QString defaultText;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&, key = key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            poll.stop();
            defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, key);
        });
        poll.start(10);
        const auto answer = dialogs.MessageWithDefault(
            nullptr, QMessageBox::Critical, QStringLiteral("Erreur"), QString::fromUtf8(OfferText),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No);
        EXPECT_EQ(answer, expected) << key;
        EXPECT_EQ(defaultText, "&Oui");
    }
}

} // namespace
} // namespace kadrel::test
