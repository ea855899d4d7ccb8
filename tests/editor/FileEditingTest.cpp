#include "EditorFixture.h"
#include "core/SmfBytes.h"
#include "song/SongSave.h"

#include <QAction>
#include <QToolButton>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

// Songs imported as their files are, edited through the window.
class FileEditing : public EditorTest {
protected:
    // The song's notes with their velocities: "60@520+240 v90".
    std::vector<std::string> Notes() const {
        std::vector<std::string> texts;
        for (const TMidiNote& n : SongView().Notes)
            texts.push_back(std::to_string(n.NoteNum) + "@" + std::to_string(n.Pos) + "+" +
                            std::to_string(n.Len) + " v" + std::to_string(n.Velocity));
        return texts;
    }
};

// At D ticks per quarter note the score counts 16 grid positions to the quarter: a new note
// starts at the grid position clicked ((p * D + 8) div 16) with the velocity of the row's last
// note before it, a drag moves by whole grid steps keeping a swung note off the grid, a raise
// keeps the times.
TEST_F(FileEditing, EditsAtTheFilesResolution) {
    struct Case {
        int division;
        std::vector<std::string> added, dragged, raised;
    };
    // The click at grid position 45 snaps to the grid cell of 16, 32: tick 2 * D, length 12
    // positions. The swung note lies at grid position 17 plus a few ticks; grabbed there and let
    // go in the cell of 32, it moves 15 grid steps and keeps its ticks beyond the grid.
    const Case cases[] = {
        {480,
         {"60@520+240 v90", "64@960+360 v90"},
         {"60@970+240 v90", "64@960+360 v90"},
         {"61@970+240 v90", "64@960+360 v90"}},
        {120,
         {"60@130+60 v90", "64@240+90 v90"},
         {"60@242+60 v90", "64@240+90 v90"},
         {"61@242+60 v90", "64@240+90 v90"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.division);
        window.reset();
        Create();
        // One note a little after the second beat (a swung eighth at 480: tick 520).
        const auto tick = static_cast<std::uint32_t>(c.division * 13 / 12);
        const auto len = static_cast<std::uint32_t>(c.division / 2);
        OpenImported(Smf(1, static_cast<std::uint16_t>(c.division),
                         {Cat({Vlq(tick), {0x90, 60, 90}, Vlq(len), {0x80, 60, 0}, EndOfTrack})}));
        Click(XOf(45), YOf(64));
        EXPECT_EQ(Notes(), c.added);
        ui().ModeSelect->click();
        const int grid = static_cast<int>(tick * 16 / static_cast<std::uint32_t>(c.division));
        Press(XOf(grid) + 1, YOf(60));
        Move(XOf(grid + 16) + 1, YOf(60));
        Release(XOf(grid + 16) + 1, YOf(60));
        EXPECT_EQ(Notes(), c.dragged);
        ui().ModeDieze->click();
        Click(XOf(grid + 16) + 1, YOf(60));
        EXPECT_EQ(Notes(), c.raised);
        // The edited notes are written as edits, the song still as its file otherwise.
        EXPECT_FALSE(SongView().Notes[0].FromFile());
    }
}

// The track commands on an imported song change the file: the name is its track's name, a
// channel moves the row's notes and that channel's events, the instrument is the program change
// that gave it; each is one step, and undo gives the file back byte for byte.
TEST_F(FileEditing, TrackCommandsChangeTheFile) {
    OpenImported(Smf(1, 96,
                     {Cat({{0,    0xFF, 0x03, 4, 'B',  'a', 's', 's', 0,    0xC1, 33, 0,
                            0xB1, 7,    100,  0, 0x91, 40,  80,  96,  0x81, 40,   0},
                           EndOfTrack})}));
    const std::vector<std::uint8_t> original = SongFileBytes(SongView());
    dialogs.TrackInfoAnswers.push_back(FillTrack(3, 35, QStringLiteral("Contrebasse")));
    window->ModTrackClick();
    EXPECT_THAT(RowTexts(), ElementsAre("0|Contrebasse|3|035 - Fretless Bass"));
    // The file's own events, read back from what Enregistrer would write.
    const std::vector<std::uint8_t> saved = SongFileBytes(SongView());
    const SmfFile file = ReadSmf(saved);
    ASSERT_EQ(file.Tracks.size(), 1u);
    std::vector<std::string> events;
    for (const SmfEvent& e : file.Tracks[0].Events)
        events.push_back(std::to_string(e.Status) + ":" + std::to_string(e.Data1) + ":" +
                         std::to_string(e.Data2));
    EXPECT_THAT(events, ElementsAre("255:3:0", "195:35:0", "179:7:100", "147:40:80", "131:40:0",
                                    "255:47:0"));
    const auto name = file.Payload(file.Tracks[0], file.Tracks[0].Events[0]);
    EXPECT_EQ(std::string(name.begin(), name.end()), "Contrebasse");
    EXPECT_EQ(SongView().Notes[0].Channel, 3);
    EXPECT_EQ(ui().Annuler->text(), "Annuler la modification du track 0");
    ui().Annuler->trigger();
    EXPECT_EQ(SongFileBytes(SongView()), original);

    // Ajouter gives the song a track of its own; Supprimer takes the row's notes and its
    // channel's events out of its track, which stays.
    AddTrack(5, 73, QStringLiteral("Flûte"));
    EXPECT_EQ(SongView().FileTracks.size(), 2u);
    SelectRow(0);
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->DelTrackClick();
    EXPECT_EQ(SongView().FileTracks.size(), 2u);
    EXPECT_TRUE(SongView().Notes.empty());
    EXPECT_EQ(ReadSmf(SongFileBytes(SongView())).Tracks[0].Events.size(), 2u)
        << "the name and the end of track stay";
    ui().Annuler->trigger();
    ui().Annuler->trigger();
    EXPECT_EQ(SongFileBytes(SongView()), original);
}

} // namespace
} // namespace kadrel::test
