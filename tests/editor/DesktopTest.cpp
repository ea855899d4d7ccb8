#include "EditorFixture.h"
#include "core/Bytes.h"
#include "core/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QWindow>

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Desktop : public EditorTest {
protected:
    // The title as the window system shows it (Qt puts the "*" where "[*]" stands).
    std::string ShownTitle() const { return window->windowHandle()->title().toStdString(); }

    QString Path(const std::string& name) const { return QString::fromStdString(dir / name); }

    TempDir dir;
};

TEST_F(Desktop, TheTitleNamesTheFileAndMarksUnsavedChanges) {
    const QString song = Path("chanson.mid");
    const struct {
        const char* action;
        std::function<void()> act;
        std::string title;
    } steps[] = {
        {"at start", [] {}, "Kadrel"},
        {"a song without a file, changed", [&] { AddTrack(0); }, "Kadrel"},
        {"saved under a name",
         [&] {
             dialogs.SaveNames.push_back(song);
             window->SaveAsClick();
         },
         "chanson.mid – Kadrel"},
        {"changed", [&] { AddTrack(1); }, "chanson.mid* – Kadrel"},
        {"undone back to the saved song",
         [&] { QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier); },
         "chanson.mid – Kadrel"},
        {"Nouveau", [&] { window->NouveauClick(); }, "Kadrel"},
        {"Ouvrir",
         [&] {
             dialogs.OpenNames.push_back(song);
             window->OuvrirClick();
         },
         "chanson.mid – Kadrel"},
        {"imported whole: the song is the file",
         [&] {
             dialogs.OpenNames.push_back(song);
             window->ImporterClick();
         },
         "chanson.mid – Kadrel"},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(ShownTitle(), step.title) << step.action;
    }
}

TEST_F(Desktop, TheDialogsStartInTheMusicFolderOnceInstalledThenWhereTheLastFileWas) {
    std::filesystem::create_directories(dir.Path() / "home/Musique");
    for (const char* folder : {"a", "b", "c"})
        std::filesystem::create_directory(dir.Path() / folder);
    const Bytes song = Cat({Tag("MThd"),
                            {0, 0, 0, 6, 0, 1, 0, 1, 0, 0x10},
                            Tag("MTrk"),
                            {0, 0, 0, 7, 0x00, 0xC0, 0x00, 0x00, 0xFF, 0x2F, 0x00}});
    WriteFile(dir / "a/opened.mid", song);
    WriteFile(dir / "b/imported.mid", song);
    // Installed where the user cannot write.
    WindowAccess::Files(*window).SetDialogFolderSource([&](const QString& last) {
        return DialogFolderFacts{"/usr/bin/", false, last, Path("home/Musique"), Path("home")};
    });
    const struct {
        const char* action;
        std::function<void()> act;
        QString next; // where the next dialog starts
    } steps[] = {
        {"installed, nothing opened yet", [] {}, Path("home/Musique")},
        {"opened from a",
         [&] {
             dialogs.OpenNames.push_back(Path("a/opened.mid"));
             window->OuvrirClick();
         },
         Path("a")},
        {"imported from b",
         [&] {
             dialogs.OpenNames.push_back(Path("b/imported.mid"));
             window->ImporterClick();
         },
         Path("b")},
        {"saved into c",
         [&] {
             dialogs.SaveNames.push_back(Path("c/again.mid"));
             window->SaveAsClick();
         },
         Path("c")},
    };
    for (const auto& step : steps) {
        step.act();
        dialogs.Folders.clear();
        window->DeasmClick(); // cancelled: it only shows where its dialog starts
        ASSERT_EQ(dialogs.Folders.size(), 1u) << step.action;
        EXPECT_EQ(dialogs.Folders.back(), step.next) << step.action;
    }
}

TEST_F(Desktop, ExportToWavThroughTheMenu) {
    AddTrack(0, 73);
    Document().AppendNotes({TMidiNote{72, 0, 16, 0, 0}}, NoteEdit::Add);
    const QString wav = Path("song.wav");
    dialogs.WavNames.push_back(wav);
    ui().ExportWav->trigger();
    const std::string written = Contents(wav.toStdString());
    ASSERT_GT(written.size(), 44u);
    EXPECT_EQ(written.substr(0, 4), "RIFF");
    EXPECT_EQ(written.substr(8, 4), "WAVE");

    // An existing file: Non keeps it; a cancelled export keeps it too.
    std::ofstream(wav.toStdString(), std::ios::trunc) << "old";
    dialogs.WavNames.push_back(wav);
    dialogs.Answers.push_back(QMessageBox::No);
    ui().ExportWav->trigger();
    EXPECT_EQ(dialogs.Messages.back().Text,
              "Le fichier " + wav + " existe déjà. Voulez-vous le remplacer?");
    EXPECT_EQ(Contents(wav.toStdString()), "old");

    dialogs.WavNames.push_back(wav);
    dialogs.Answers.push_back(QMessageBox::Yes);
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w);
                progress && progress->isVisible())
                progress->cancel();
    });
    ui().ExportWav->trigger();
    EXPECT_EQ(Contents(wav.toStdString()), "old");
    EXPECT_THAT(dir.Names(), ElementsAre("song.wav"));
}

// The export never takes the place of the song's own file, whatever name leads to it.
TEST_F(Desktop, ExportToWavRefusesTheSongsOwnFile) {
    AddTrack(0);
    dialogs.SaveNames.push_back(Path("song.mid"));
    window->SaveAsClick();
    const std::string saved = Contents(dir / "song.mid");
    ASSERT_EQ(::symlink("song.mid", (dir / "song.wav").c_str()), 0);
    for (const QString& wav : {Path("song.mid"), Path("song.wav")}) {
        dialogs.WavNames.push_back(wav);
        ui().ExportWav->trigger();
        EXPECT_EQ(dialogs.Messages.back().Text,
                  "Le fichier " + wav +
                      " est le fichier du morceau : il ne peut pas recevoir son export en WAV");
        EXPECT_EQ(Contents(dir / "song.mid"), saved);
    }
    EXPECT_EQ(dialogs.Messages.size(), 2u) << "no question about replacing the file";
}

TEST_F(Desktop, AFileGivenAtStartOpensAsOuvrirOpensIt) {
    // A file Ouvrir reads: the song and its name; one only the import reads: Ouvrir's box with
    // the offer.
    AddTrack(0);
    dialogs.SaveNames.push_back(Path("good.mid"));
    window->SaveAsClick();
    window->NouveauClick();
    OpenFile(Path("good.mid"));
    EXPECT_EQ(FileName(), dir / "good.mid");
    EXPECT_EQ(RowCount(), 1);
    EXPECT_FALSE(IsModified());

    // Running status: Ouvrir refuses it, the import reads it.
    WriteFile(dir / "running.mid",
              Cat({Tag("MThd"),
                   {0, 0, 0, 6, 0, 0, 0, 1, 0, 0x10},
                   Tag("MTrk"),
                   {0, 0, 0, 12, 0x00, 0x90, 60, 100, 0x10, 60, 0, 0x00, 0xFF, 0x2F, 0x00}}));
    dialogs.Answers.push_back(QMessageBox::No);
    OpenFile(Path("running.mid"));
    EXPECT_EQ(dialogs.Messages.back().Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(dialogs.Messages.back().Text.startsWith(
        "Le fichier n'a pas pu être lu. Le format n'est pas reconnu.\n\n"));
    EXPECT_EQ(FileName(), "");
}

// Without a port, the window first says so, then opens the file given at start.
TEST(DesktopStart, TheStartUpErrorComesBeforeTheFileGiven) {
    TempDir dir;
    WriteFile(dir / "running.mid",
              Cat({Tag("MThd"),
                   {0, 0, 0, 6, 0, 0, 0, 1, 0, 0x10},
                   Tag("MTrk"),
                   {0, 0, 0, 12, 0x00, 0x90, 60, 100, 0x10, 60, 0, 0x00, 0xFF, 0x2F, 0x00}}));
    VirtualClock clock;
    RecordingMidiOut out;
    out.RefuseOpen(6);
    ScriptedDialogs dialogs;
    dialogs.Answers = {QMessageBox::Ok, QMessageBox::No};
    TMain window(dialogs, out, clock);
    window.OpenFileAtStart(QString::fromStdString(dir / "running.mid"));
    window.show();
    EXPECT_TRUE(dialogs.Messages.empty()) << "nothing before the event loop runs";
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text,
              "Couldn't open MIDI output: error 6 (No device driver present)");
    // Ouvrir cannot read running status: the file given is imported as it is, without a box.
    EXPECT_EQ(WindowAccess::Document(window).Content().Notes.size(), 1u);
    EXPECT_EQ(WindowAccess::Document(window).FileName(), dir / "running.mid");
    EXPECT_FALSE(WindowAccess::Document(window).IsModified());
}

// The real save dialog of the export offers WAV files and adds the extension.
TEST(DesktopDialogs, TheWavSaveDialogOffersWavFiles) {
    QStringList filters;
    QString suffix;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        dialog->reject();
    });
    QtUserDialogs dialogs;
    EXPECT_EQ(dialogs.SaveWavFileName(nullptr, QDir::tempPath()), "");
    EXPECT_EQ(filters, QStringList({"Fichiers WAV (*.wav)"}));
    EXPECT_EQ(suffix, "wav");
}

} // namespace
} // namespace kadrel::test
