#include "EditorFixture.h"
#include "core/Bytes.h"
#include "core/TempDir.h"
#include "util/TextUtils.h"

#include <QPushButton>

#include <gmock/gmock.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

Bytes TrackChunk(const Bytes& events) {
    const Bytes withEnd = Cat({events, {0x00, 0xFF, 0x2F, 0x00}});
    return Cat({Tag("MTrk"), {0, 0, 0, static_cast<std::uint8_t>(withEnd.size())}, withEnd});
}

Bytes MidiFile(std::initializer_list<Bytes> tracks) {
    Bytes file = Cat(
        {Tag("MThd"), {0, 0, 0, 6, 0, 1, 0, static_cast<std::uint8_t>(tracks.size()), 0, 0x10}});
    for (const auto& t : tracks)
        file = Cat({file, TrackChunk(t)});
    return file;
}

class FileCommands : public EditorTest {
protected:
    QString Path(const std::string& name) { return QString::fromStdString(dir / name); }

    QString Write(const std::string& name, const Bytes& bytes) {
        WriteFile(dir / name, bytes);
        return Path(name);
    }

    void Open(const QString& path) {
        dialogs.OpenNames.push_back(path);
        window->OuvrirClick();
    }

    TempDir dir;
};

TEST_F(FileCommands, OpenMakesRowsNotesSelectsTheFirstTrackAndSendsPrograms) {
    const QString path =
        Write("three.mid", MidiFile({
                               {0x00, 0xC0, 0x18, 0x00, 0x90, 60, 100, 0x10, 0x80, 60, 0},
                               {0x00, 0xC1, 0x21, 0x08, 0x91, 43, 100, 0x20, 0x81, 43, 0},
                               {},
                           }));
    Document().Touch();
    dialogs.Answers.push_back(QMessageBox::No);
    Open(path);
    EXPECT_EQ(dialogs.Messages.front().Text, "Voulez-vous enregistrer les modifications?");
    EXPECT_EQ(dialogs.Folders.back().toStdString(), ProgramFolder());
    EXPECT_THAT(RowTexts(), ElementsAre("0||0|024 - Nylon Guitar", "1||1|033 - Fingered Bass",
                                        "2||2|000 - Piano 1"));
    EXPECT_THAT(NoteTexts(), ElementsAre("60@0+16 c0 t0", "43@8+32 c1 t1"));
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(0, 24), PatchMsg(1, 33)));
    EXPECT_EQ(SelectedRow(), 0);
    ASSERT_EQ(score().NoteList().size(), 1u);
    EXPECT_EQ(score().NoteList()[0]->NoteNum, 60);
    EXPECT_FALSE(IsModified());
    EXPECT_EQ(FileName(), path.toStdString());
}

TEST_F(FileCommands, ImportEdgeCases) {
    struct Case {
        const char* what;
        Bytes file;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {"note-ons of velocity 0 are further notes",
         MidiFile(
             {{0x00, 0x90, 60, 100, 0x08, 0x90, 60, 0, 0x08, 0x90, 62, 100, 0x08, 0x90, 62, 0}}),
         {"60@0+16 c0 t0", "60@8+16 c0 t0", "62@16+16 c0 t0", "62@24+16 c0 t0"}},
        {"overlapping notes of one number",
         MidiFile({{0x00, 0x90, 60, 1, 0x08, 0x90, 60, 1, 0x08, 0x80, 60, 0, 0x08, 0x80, 60, 0}}),
         {"60@0+16 c0 t0", "60@8+16 c0 t0"}},
        {"note-off in the same tick",
         MidiFile({{0x04, 0x90, 60, 1, 0x00, 0x80, 60, 0}}),
         {"60@4+1 c0 t0"}},
        {"note-off in another track",
         MidiFile({{0x00, 0x90, 60, 1}, {0x30, 0x80, 60, 0}}),
         {"60@0+48 c0 t0"}},
        {"note-off without a note",
         MidiFile({{0x00, 0x80, 70, 0, 0x00, 0x90, 60, 1}}),
         {"60@0+16 c0 t0"}},
    };
    for (const auto& c : cases) {
        Open(Write("case.mid", c.file));
        EXPECT_EQ(NoteTexts(), c.notes) << c.what;
    }
}

TEST_F(FileCommands, TrackWithoutChannelEventsKeepsItsNumberAsChannel) {
    Open(Write("t.mid", MidiFile({{0x00, 0x95, 60, 1}, {}, {0x00, 0xC7, 200}})));
    EXPECT_THAT(RowTexts(),
                ElementsAre("0||5|000 - Piano 1", "1||1|000 - Piano 1", "2||7|000 - Piano 1"));
    EXPECT_TRUE(Sent().empty()) << "a program of 128 or more has no instrument and is not sent";
}

// The song is not the file that could not be read: it keeps no name, so that saving asks for one.
TEST_F(FileCommands, AnUnreadableFileLeavesAnEmptySongWithoutAName) {
    // a FIFO or a device is refused at once instead of being waited for or read for ever; a
    // file that cannot be read at all is named, with the reason, in a second paragraph
    ASSERT_EQ(::mkfifo((dir / "pipe.mid").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "folder.mid").c_str(), 0700), 0);
    const std::string huge = dir / "huge.mid";
    ASSERT_EQ(::truncate(Write("huge.mid", {}).toStdString().c_str(), (1 << 30) + 1), 0);
    const std::string refused = "Le fichier n'a pas pu être lu. Le format n'est pas reconnu.";
    const auto openError = [&](const std::string& path, const std::string& reason) {
        return refused + "\n\nImpossible d'ouvrir le fichier " + path + " : " + reason + ".";
    };
    const struct {
        QString path;
        std::string text;
    } cases[] = {
        {Write("bad.mid", {'n', 'o', 'p', 'e'}), refused},
        {Path("pipe.mid"), openError(dir / "pipe.mid", "ce n'est pas un fichier ordinaire")},
        {Path("missing.mid"), openError(dir / "missing.mid", "il n'existe pas")},
        {Path("folder.mid"), openError(dir / "folder.mid", "c'est un dossier")},
        {QStringLiteral("/dev/zero"), openError("/dev/zero", "ce n'est pas un fichier ordinaire")},
        {QString::fromStdString(huge),
         refused + "\n\nImpossible de lire le fichier " + huge + " : il dépasse 1 Go."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        AddTrack(0);
        MarkSaved();
        ::alarm(10);
        Open(c.path);
        ::alarm(0);
        EXPECT_EQ(dialogs.Messages.back().Text.toStdString(), c.text);
        EXPECT_EQ(dialogs.Messages.back().Icon, QMessageBox::Critical);
        EXPECT_EQ(dialogs.Messages.back().Buttons, QMessageBox::Ok)
            << "the tolerant reader refuses it too: no import is offered";
        EXPECT_EQ(RowCount(), 0);
        EXPECT_TRUE(Notes().empty());
        EXPECT_EQ(FileName(), "");
        EXPECT_FALSE(IsModified());
    }
}

TEST_F(FileCommands, CancelAtTheSaveQuestionChangesNothing) {
    AddTrack(2);
    Document().SetFileName("/somewhere/song.mid");
    for (auto command : {&TMain::NouveauClick, &TMain::OuvrirClick}) {
        dialogs.Answers.push_back(QMessageBox::Cancel);
        (window.get()->*command)();
        EXPECT_EQ(RowCount(), 1);
        EXPECT_TRUE(IsModified());
        EXPECT_EQ(FileName(), "/somewhere/song.mid");
        EXPECT_TRUE(dialogs.Folders.empty()) << "no file dialog after Cancel";
    }
}

// Oui to the save question, then no file saved: the save dialog cancelled, or the save failing
// (its error shown first). Every command that would drop the song stops there as after Annuler.
TEST_F(FileCommands, YesWithoutASavedFileStopsEveryCommandThatDropsTheSong) {
    const std::string folder = dir / "folder.mid";
    ::mkdir(folder.c_str(), 0755);
    const QString other = Write("other.mid", MidiFile({{0x00, 0x90, 60, 1}}));
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"Nouveau", [this] { window->NouveauClick(); }},
        {"Ouvrir", [this] { window->OuvrirClick(); }},
        {"Importer", [this] { window->ImporterClick(); }},
        {"closing", [this] { window->close(); }},
    };
    const struct {
        const char* name;
        std::string fileName; // "" makes Enregistrer ask for a name, which is refused here
        std::vector<QString> texts;
    } saves[] = {
        {"save dialog cancelled", "", {"Voulez-vous enregistrer les modifications?"}},
        {"save failed",
         folder,
         {"Voulez-vous enregistrer les modifications?",
          QString::fromStdString("Impossible de créer le fichier " + folder)}},
    };
    for (const auto& [command, run] : commands) {
        for (const auto& save : saves) {
            SCOPED_TRACE(std::string(command) + ", " + save.name);
            window.reset();
            Create();
            AddTrack(2);
            Document().SetFileName(save.fileName);
            dialogs = ScriptedDialogs();
            dialogs.Answers.push_back(QMessageBox::Yes);
            dialogs.OpenNames.push_back(other);
            run();
            EXPECT_EQ(dialogs.Texts(), save.texts);
            EXPECT_EQ(dialogs.Folders.size(), save.fileName.empty() ? 1u : 0u)
                << "the save dialog only";
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(RowCount(), 1);
            EXPECT_TRUE(IsModified());
            EXPECT_EQ(FileName(), save.fileName);
        }
    }
}

TEST_F(FileCommands, NewAfterYesSavesThenEmpties) {
    AddTrack(0);
    const QString path = Path("saved.mid");
    Document().SetFileName(path.toStdString());
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->NouveauClick();
    EXPECT_EQ(ReadFile(path.toStdString()).size(), 14u + 8 + 3 + 4);
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(FileName(), "");
    EXPECT_FALSE(IsModified());
    EXPECT_TRUE(ui().ModTrack->isEnabled()) << "New leaves the track buttons as they were";
}

TEST_F(FileCommands, SaveWritesTheSongByteForByte) {
    AddTrack(0);
    AddNotes({{60, 0, 16, 0, 0}});
    const QString path = Path("one.mid");
    dialogs.SaveNames.push_back(path);
    window->EnregistrerClick(); // no name yet: asks for one
    EXPECT_EQ(Hex(ReadFile(path.toStdString())),
              "4D 54 68 64 00 00 00 06 00 01 00 01 00 10 4D 54 72 6B 00 00 00 0F "
              "00 C0 00 00 90 3C 7F 10 80 3C 00 00 FF 2F 00");
    EXPECT_EQ(FileName(), path.toStdString());
    EXPECT_FALSE(IsModified());

    // Saving again under the name writes without a dialog.
    AddNotes({{62, 16, 1, 0, 0}});
    window->EnregistrerClick();
    EXPECT_EQ(dialogs.Folders.size(), 1u);
    EXPECT_EQ(ReadFile(path.toStdString()).size(), 45u);
}

TEST_F(FileCommands, SaveAsUnderAnExistingNameAsksFirst) {
    AddTrack(0);
    const QString path = Write("old.mid", {1, 2, 3});
    dialogs.SaveNames.push_back(path);
    dialogs.Answers.push_back(QMessageBox::No);
    window->SaveAsClick();
    EXPECT_EQ(ReadFile(path.toStdString()), Bytes({1, 2, 3})) << "No writes nothing";
    EXPECT_EQ(dialogs.Messages.back().Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(dialogs.Messages.back().Text.contains(path));
    EXPECT_TRUE(IsModified());

    dialogs.SaveNames.push_back(path);
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->SaveAsClick();
    EXPECT_EQ(ReadFile(path.toStdString()).size(), 14u + 8 + 3 + 4);
    EXPECT_FALSE(IsModified());
}

TEST_F(FileCommands, SaveAsWithoutExtensionUsesTheNameAsTyped) {
    AddTrack(0);
    dialogs.SaveNames.push_back(Path("chanson"));
    window->SaveAsClick();
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"chanson"});
}

TEST_F(FileCommands, AFailedSaveKeepsTheOldFileAndModifiedAndShowsTheError) {
    AddTrack(0);
    const std::string folder = dir / "folder.mid";
    ::mkdir(folder.c_str(), 0755);
    Document().SetFileName(folder);
    QTest::keyClick(window.get(), Qt::Key_F4);
    EXPECT_EQ(dialogs.Messages.back().Caption, "Erreur");
    EXPECT_EQ(dialogs.Messages.back().Text.toStdString(),
              "Impossible de créer le fichier " + folder);
    EXPECT_TRUE(IsModified());
}

TEST_F(FileCommands, ARowOnChannel16IsSavedOnChannel0) {
    // A file of 17 tracks without channel events gives a row whose channel text is "16".
    std::vector<Bytes> tracks(17);
    Bytes file = Cat({Tag("MThd"), {0, 0, 0, 6, 0, 1, 0, 17, 0, 0x10}});
    for (int t = 0; t < 17; ++t)
        file = Cat({file, TrackChunk({})});
    Open(Write("many.mid", file));
    ASSERT_EQ(RowCount(), 17);
    EXPECT_EQ(Row(16).Channel, "16");
    const QString saved = Path("saved.mid");
    Document().SetFileName(saved.toStdString());
    window->EnregistrerClick();
    const Bytes bytes = ReadFile(saved.toStdString());
    ASSERT_GE(bytes.size(), 14u + 17 * 15);
    // The 17th track chunk: "MTrk", length 7, then 00 C0 00.
    EXPECT_EQ(Hex(Bytes(bytes.end() - 7, bytes.end())), "00 C0 00 00 FF 2F 00");
}

TEST_F(FileCommands, ASavedSongOpensAgainWithTheSameNotes) {
    AddTrack(0, 19, "Orgue");
    AddTrack(9, 0);
    const std::vector<TMidiNote> song = {{60, 0, 12, 0, 0},
                                         {64, 4, 30, 0, 0},
                                         {36, 0, 4, 9, 1},
                                         {38, 8, 4, 9, 1},
                                         {67, 100, 1, 0, 0}};
    AddNotes(song);
    const QString path = Path("again.mid");
    Document().SetFileName(path.toStdString());
    window->EnregistrerClick();
    Open(path);
    EXPECT_THAT(NoteTexts(), ElementsAre("60@0+12 c0 t0", "64@4+30 c0 t0", "67@100+1 c0 t0",
                                         "36@0+4 c9 t1", "38@8+4 c9 t1"));
    EXPECT_THAT(RowTexts(), ElementsAre("0||0|019 - Church Organ", "1||9|000 - Piano 1"));
}

TEST_F(FileCommands, DisassembleWritesTheListingBesideTheFileAndHandsItToTheDesktop) {
    AddTrack(0);
    Document().SetFileName("/some/song.mid");
    const QString path = Write("one.mid", MidiFile({{0x00, 0x90, 60, 127}}));
    dialogs.OpenNames.push_back(path);
    window->DeasmClick();
    const std::string listing = path.toStdString() + ".txt";
    const Bytes text = ReadFile(listing);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::string(text.begin(), text.begin() + 17), "Disassembling of ");
    EXPECT_THAT(dialogs.Opened, ElementsAre(QString::fromStdString(listing)));
    EXPECT_EQ(FileName(), "/some/song.mid");
    EXPECT_TRUE(IsModified());
    EXPECT_EQ(RowCount(), 1);
}

TEST_F(FileCommands, DisassembleOfATextFileAndCancel) {
    const QString path = Write("x.txt", {'h', 'e', 'l', 'l', 'o'});
    dialogs.OpenNames.push_back(path);
    window->DeasmClick();
    const Bytes text = ReadFile(path.toStdString() + ".txt");
    const std::string listing(text.begin(), text.end());
    EXPECT_NE(listing.find("Unexpected byte at offset #4\r\n"), std::string::npos) << listing;

    dialogs.Opened.clear();
    window->DeasmClick(); // cancelled: no name scripted
    EXPECT_TRUE(dialogs.Opened.empty());
    EXPECT_EQ(dir.Names().size(), 2u);
}

TEST_F(FileCommands, ADisassemblyThatFailsShowsTheErrorAndOpensNothing) {
    // a listing that cannot be written whole (here: past a file-size limit, as on a full disk)
    // is not handed over as if it were complete, and the old listing stays
    const QString song = Write("one.mid", MidiFile({{0x00, 0x90, 60, 127}}));
    const Bytes oldListing(50, 'o');
    test::WriteFile(dir / "one.mid.txt", oldListing);
    const struct {
        QString chosen;
        std::string text;
        rlim_t fileSizeLimit;
    } cases[] = {
        {Path("gone.mid"), "Impossible d'ouvrir le fichier " + dir / "gone.mid", RLIM_INFINITY},
        {song, "Erreur d'écriture du fichier " + dir / "one.mid.txt", 100},
    };
    for (const auto& c : cases) {
        dialogs.OpenNames.push_back(c.chosen);
        rlimit before{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{std::min(c.fileSizeLimit, before.rlim_max), before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QTest::keyClick(window.get(), Qt::Key_F5);
        ::setrlimit(RLIMIT_FSIZE, &before);
        ::signal(SIGXFSZ, oldSignal);
        EXPECT_EQ(dialogs.Messages.back().Caption, "Erreur");
        EXPECT_EQ(dialogs.Messages.back().Text.toStdString(), c.text);
        EXPECT_TRUE(dialogs.Opened.empty());
        EXPECT_EQ(test::ReadFile(dir / "one.mid.txt"), oldListing);
    }
    EXPECT_EQ(dir.Names().size(), 2u) << "no listing of the missing file";
}

TEST_F(FileCommands, ADisassemblyIntoAFifoIsRefusedAtOnce) {
    // the window would wait for a reader for ever
    const QString song = Write("one.mid", MidiFile({{0x00, 0x90, 60, 127}}));
    ASSERT_EQ(::mkfifo((dir / "one.mid.txt").c_str(), 0600), 0);
    dialogs.OpenNames.push_back(song);
    ::alarm(10);
    QTest::keyClick(window.get(), Qt::Key_F5);
    ::alarm(0);
    EXPECT_EQ(dialogs.Messages.back().Text.toStdString(),
              "Impossible de créer le fichier " + dir / "one.mid.txt");
    EXPECT_TRUE(dialogs.Opened.empty());
}

TEST_F(FileCommands, OuvrirShowsTheSongFromItsBeginningAndNouveauKeepsTheView) {
    const QString song = Write("one.mid", MidiFile({{0x00, 0x90, 60, 100, 0x10, 0x80, 60, 0}}));
    struct Case {
        const char* name;
        std::function<void()> command;
        std::int32_t firstMesure;
        std::int32_t cursor;
    };
    const Case cases[] = {
        {"Ouvrir", [&] { Open(song); }, 0, 0},
        {"Ouvrir of an unreadable file", [&] { Open(Path("missing.mid")); }, 0, 0},
        {"Ouvrir cancelled", [&] { Open(QString()); }, 5, 700},
        {"Nouveau", [&] { window->NouveauClick(); }, 5, 700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        score().SetFirstMesure(5);
        score().SetCursorPos(700);
        MarkSaved();
        c.command();
        EXPECT_EQ(score().FirstMesure(), c.firstMesure);
        EXPECT_EQ(score().CursorPos(), c.cursor);
    }
}

} // namespace
} // namespace kadrel::test
