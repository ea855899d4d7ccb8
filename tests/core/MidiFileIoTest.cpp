#include "Bytes.h"
#include "ErrorOf.h"
#include "TempDir.h"
#include "midi/Midi.h"
#include "util/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace kadrel {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TMidi SmallSong() {
    TMidi midi;
    midi.Format = 1;
    midi.Division = 16;
    auto track = std::make_unique<TMidiTrack>();
    auto on = std::make_unique<TMidiNoteONEvent>();
    on->Note = 60;
    on->Velocity = 127;
    track->Events.push_back(std::move(on));
    midi.Tracks.push_back(std::move(track));
    return midi;
}

using test::ErrorOf;

TEST(MidiFileIo, SaveThenLoadGivesTheSameBytes) {
    TempDir dir;
    const std::string path = dir / "song.mid";
    SmallSong().SaveToFile(path);
    const Bytes written = ReadFile(path);
    EXPECT_EQ(test::Hex(written), "4D 54 68 64 00 00 00 06 00 01 00 01 00 10 4D 54 72 6B 00 00 00 "
                                  "08 00 90 3C 7F 00 FF 2F 00");

    TMidi loaded;
    loaded.LoadFromFile(path);
    ASSERT_EQ(loaded.Tracks.size(), 1u);
    ASSERT_EQ(loaded.Tracks[0]->Events.size(), 1u);
    EXPECT_THAT(dir.Names(), ::testing::ElementsAre("song.mid"))
        << "no temporary file is left behind";
}

TEST(MidiFileIo, LoadFromFileAppendsToTracks) {
    TempDir dir;
    const std::string path = dir / "song.mid";
    SmallSong().SaveToFile(path);
    TMidi midi;
    midi.LoadFromFile(path);
    midi.LoadFromFile(path);
    EXPECT_EQ(midi.Tracks.size(), 2u);
}

TEST(MidiFileIo, MissingOrUnreadableFiles) {
    TempDir dir;
    const std::string missing = dir / "absent.mid";
    EXPECT_EQ(ErrorOf([&] { TMidi().LoadFromFile(missing); }),
              "Impossible d'ouvrir le fichier " + missing);
    EXPECT_EQ(ErrorOf([&] { TMidi().LoadFromFile(dir.Path().string()); }),
              "Impossible d'ouvrir le fichier " + dir.Path().string());
    const std::string junk = dir / "junk.mid";
    WriteFile(junk, {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(ErrorOf([&] { TMidi().LoadFromFile(junk); }), "Invalid MIDI file format.");
}

TEST(MidiFileIo, SaveReplacesAnExistingFileAndKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir / "song.mid";
    WriteFile(path, Bytes(1000, 0xAB));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    SmallSong().SaveToFile(path);
    EXPECT_EQ(ReadFile(path).size(), 30u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(MidiFileIo, SaveThroughASymbolicLinkUpdatesTheFileItPointsTo) {
    TempDir dir;
    const std::string real = dir / "real.mid";
    const std::string link = dir / "link.mid";
    WriteFile(real, Bytes(5, 1));
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    SmallSong().SaveToFile(link);
    EXPECT_EQ(ReadFile(real).size(), 30u);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(MidiFileIo, FilesThatCannotBeCreated) {
    TempDir dir;
    const std::string folderTarget = dir.Path().string();
    const std::string noFolder = dir / "no/such/folder/song.mid";
    // Writing into /proc fails even for the superuser, which ignores folder permissions.
    const std::string readOnlyFolder = "/proc/kadrel-song.mid";
    for (const auto& target : {folderTarget, noFolder, readOnlyFolder})
        EXPECT_EQ(ErrorOf([&] { SmallSong().SaveToFile(target); }),
                  "Impossible de créer le fichier " + target);
    EXPECT_TRUE(std::filesystem::is_directory(folderTarget));
}

TEST(MidiFileIo, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir / "song.mid";
    const Bytes old(4000, 0x5A);
    WriteFile(path, old);

    TMidi big = SmallSong();
    for (int i = 0; i < 2000; ++i) {
        auto on = std::make_unique<TMidiNoteONEvent>();
        on->Note = 61;
        big.Tracks[0]->Events.push_back(std::move(on));
    }

    // A file-size limit makes the write fail part-way, as a full disk would.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previousAction), 0);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string text = ErrorOf([&] { big.SaveToFile(path); });
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_EQ(text, "Erreur d'écriture du fichier " + path);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_THAT(dir.Names(), ::testing::ElementsAre("song.mid"));
}

} // namespace
} // namespace kadrel
