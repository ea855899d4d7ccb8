#include "render/RenderCommand.h"
#include "core/TempDir.h"
#include "render/SongForRender.h"
#include "render/WavRender.h"
#include "song/ImportTexts.h"
#include "song/SongConversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace kadrel {
namespace {

using test::TempDir;

constexpr const char* Usage = "Utilisation : kadrel-render MORCEAU.mid SORTIE.wav\n";

// What a wrong command line prints: the problem, then the usage line.
std::string Wrong(const std::string& problem) {
    return "kadrel-render : " + problem + "\n" + Usage;
}

// Two rows, a piano on channel 0 and a flute on channel 3, with their notes in the order the
// import makes them: track by track, by time.
Song MakeSong() {
    Song song;
    song.Tracks = {{"", 0, 0}, {"", 3, 73}};
    song.Notes = {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{64, 20, 16, 0, 0},
                  TMidiNote{67, 8, 30, 3, 1}};
    return song;
}

int RunCommand(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o;
    std::ostringstream e;
    const int status = RunRenderCommand(args, o, e);
    out = o.str();
    err = e.str();
    return status;
}

TEST(RenderCommand, ExitStatusesAndMessages) {
    TempDir dir;
    const std::string song = dir / "song.mid";
    ExportSong(MakeSong()).SaveToFile(song);
    const std::string text = dir / "text.mid";
    test::WriteFile(text, {'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    const std::string wav = dir / "out.wav";
    const std::string nowhere = dir / "no/such/folder/out.wav";

    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string err; // exactly
        bool written;    // out.wav exists afterwards
    } cases[] = {
        {"no arguments", {}, RenderWrongUsage, Wrong("il manque MORCEAU.mid"), false},
        {"one argument", {song}, RenderWrongUsage, Wrong("il manque SORTIE.wav"), false},
        {"three arguments",
         {song, wav, wav},
         RenderWrongUsage,
         Wrong("fichier en trop : " + wav),
         false},
        {"an unknown option",
         {"--vite", song, wav},
         RenderWrongUsage,
         Wrong("option inconnue : --vite"),
         false},
        {"an option in place of a file",
         {song, "-o"},
         RenderWrongUsage,
         Wrong("option inconnue : -o"),
         false},
        {"an empty argument", {song, ""}, RenderWrongUsage, Wrong("nom de fichier vide"), false},
        {"a song that does not exist",
         {dir / "none.mid", wav},
         RenderFailed,
         "Impossible d'ouvrir le fichier " + (dir / "none.mid") + "\n",
         false},
        {"a file that is no MIDI file",
         {text, wav},
         RenderFailed,
         ImportRefusalText(SmfRefusal::NoHeader, 0) + "\n",
         false},
        {"an output that cannot be created",
         {song, nowhere},
         RenderFailed,
         "Impossible de créer le fichier " + nowhere + "\n",
         false},
        {"rendered", {song, wav}, RenderOk, "", true},
    };
    for (const auto& c : cases) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunCommand(c.args, out, err), c.status) << c.name;
        EXPECT_EQ(out, "") << c.name;
        EXPECT_EQ(err, c.err) << c.name;
        EXPECT_EQ(std::filesystem::exists(wav), c.written) << c.name;
    }
}

// The output is the song itself under any name: refused before anything is read or written.
TEST(RenderCommand, AnOutputThatIsTheSongIsRefused) {
    TempDir dir;
    const std::string song = dir / "song.mid";
    ExportSong(MakeSong()).SaveToFile(song);
    const std::vector<std::uint8_t> bytes = test::ReadFile(song);
    ASSERT_EQ(::symlink("song.mid", (dir / "link.wav").c_str()), 0);
    ASSERT_EQ(::link(song.c_str(), (dir / "hard.wav").c_str()), 0);
    for (const std::string& output :
         {song, dir / "./song.mid", dir / "link.wav", dir / "hard.wav"}) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunCommand({song, output}, out, err), RenderFailed) << output;
        EXPECT_EQ(err, "Le fichier " + output +
                           " est le fichier du morceau : il ne peut pas recevoir son export en "
                           "WAV\n");
        EXPECT_EQ(test::ReadFile(song), bytes) << output;
    }
    EXPECT_EQ(dir.Names().size(), 3u);
}

// After "--" a name starting with "-" is a file, not an option.
TEST(RenderCommand, FileNamesAfterTheEndOfOptions) {
    TempDir dir;
    ExportSong(MakeSong()).SaveToFile(dir / "-song.mid");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    std::string out;
    std::string err;
    EXPECT_EQ(RunCommand({"--", "-song.mid", "-out.wav"}, out, err), RenderOk);
    std::filesystem::current_path(before);
    EXPECT_EQ(err, "");
    EXPECT_GT(test::ReadFile(dir / "-out.wav").size(), 44u);
}

TEST(RenderCommand, HelpGoesToStandardOutput) {
    std::string out;
    std::string err;
    EXPECT_EQ(RunCommand({"--help"}, out, err), RenderOk);
    EXPECT_EQ(out.substr(0, std::string(Usage).size()), Usage);
    EXPECT_GT(out.size(), std::string(Usage).size());
    EXPECT_EQ(err, "");
}

TEST(RenderCommand, WritesWhatTheExportRendersFromTheSongInMemory) {
    // Read back from the file with the import's rules, the rows' channels and instruments and
    // the notes render exactly as the song they were saved from.
    TempDir dir;
    const Song song = MakeSong();
    ExportSong(song).SaveToFile(dir / "song.mid");
    std::string out;
    std::string err;
    ASSERT_EQ(RunCommand({dir / "song.mid", dir / "out.wav"}, out, err), RenderOk) << err;

    const std::optional<ByteStream> expected = RenderWavBytes(song);
    ASSERT_TRUE(expected);
    EXPECT_TRUE(test::ReadFile(dir / "out.wav") == expected->Bytes());
    const Song loaded = LoadSongForRender(dir / "song.mid");
    EXPECT_EQ(loaded.Tracks.size(), 2u);
    EXPECT_EQ(loaded.Notes.size(), 3u);
}

} // namespace
} // namespace kadrel
