#include "EditorFixture.h"
#include "core/SmfBytes.h"

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAreArray;

// Short messages as a test writes them: status, data bytes.
std::uint32_t Msg(std::uint32_t status, std::uint32_t d1, std::uint32_t d2 = 0) {
    return status | d1 << 8 | d2 << 16;
}

// Songs imported as their files are, played through the window.
class FilePlayback : public EditorTest {
protected:
    // Plays from grid position `from` until Stop at `stopAt` ms, and gives what went out before
    // the loop's final messages (the pedal and notes let go on the rows' channels), with times
    // counted from the start.
    std::vector<RecordedMessage> Play(std::int32_t from, std::uint32_t stopAt) {
        score().SetCursorPos(from * score().SmallestWidth());
        out.Clear();
        const std::uint32_t start = clock.NowMs();
        clock.At(start + stopAt, [this] { window->StopPlayClick(); });
        window->PlayClick();
        QCoreApplication::processEvents();
        std::vector<RecordedMessage> sent;
        for (const RecordedMessage& m : out.Messages()) {
            if ((m.Msg & 0xF0) == 0xB0 && ((m.Msg >> 8) & 0xFF) == 64 && m.TimeMs - start >= stopAt)
                break;
            sent.push_back({m.TimeMs - start, m.Msg});
        }
        return sent;
    }
};

// 96 ticks to the quarter note at 500,000 us (500 ms a quarter), then from tick 96 at 250,000:
// each event goes at its own time, with its own bytes (velocities, a note-off's velocity, a
// note-on of velocity 0), the controller between them; the meta events are not sent.
TEST_F(FilePlayback, EventsGoAtTheirTimesUnderATempoChange) {
    OpenImported(
        Smf(1, 96,
            {Cat({{0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 96, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90},
                  EndOfTrack}),
             Cat({{0,  0x90, 60, 80,  48, 0x80, 60, 64, 0,    0xB0, 7, 90,
                   48, 0x90, 62, 100, 48, 62,   0,  48, 0x90, 64,   30},
                  EndOfTrack})}));
    const std::vector<RecordedMessage> expected = {
        {0, Msg(0x90, 60, 80)},    {250, Msg(0x80, 60, 64)}, {250, Msg(0xB0, 7, 90)},
        {500, Msg(0x90, 62, 100)}, {625, Msg(0x90, 62, 0)},  {750, Msg(0x90, 64, 30)},
    };
    EXPECT_THAT(Play(0, 800), ElementsAreArray(expected));
}

// Started mid-song, each channel first gets its state there, at once: its last program, the
// last value of each controller, its pitch bend; then the music goes on from that point.
TEST_F(FilePlayback, StartingMidSongSetsEachChannelFirst) {
    OpenImported(Smf(1, 16,
                     {Cat({{0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20}, EndOfTrack}),
                      Cat({{0,  0xC1, 5,  0,    0xB1, 7,    100, 0,    0x91, 60,   90, 4,    0xB1,
                            7,  70,   0,  0xB1, 10,   20,   0,   0xE1, 0,    0x50, 0,  0xC1, 6,
                            28, 0x81, 60, 0,    4,    0x91, 62,  90,   16,   0x81, 62, 0},
                           EndOfTrack})}));
    // From grid position 16 (tick 16, a tick being 31.25 ms): the state in the song's order;
    // the note that started at 0 is not played again, its note-off goes at its time.
    const std::vector<RecordedMessage> expected = {
        {0, Msg(0xB1, 7, 70)}, {0, Msg(0xB1, 10, 20)},  {0, Msg(0xE1, 0, 0x50)},
        {0, Msg(0xC1, 6)},     {500, Msg(0x81, 60, 0)}, {625, Msg(0x91, 62, 90)},
    };
    EXPECT_THAT(Play(16, 1100), ElementsAreArray(expected));
}

// A song of division 16 without a tempo keeps Kadrel's steps of 30 ms, with its kept events in
// their step; a sysex goes to the port whole.
TEST_F(FilePlayback, ASongWithoutTempoPlaysInStepsAndSendsItsSysEx) {
    OpenImported(
        Smf(1, 16,
            {Cat({{0, 0xF0, 3, 0x7E, 0x7F, 0xF7, 0, 0x90, 60, 100, 2, 0xB0, 1, 5, 1, 0x80, 60, 0},
                  EndOfTrack})}));
    const std::vector<RecordedMessage> expected = {
        {30, Msg(0x90, 60, 100)}, {90, Msg(0xB0, 1, 5)}, {120, Msg(0x80, 60, 0)}};
    EXPECT_THAT(Play(0, 200), ElementsAreArray(expected));
    ASSERT_EQ(out.SysExMessages().size(), 1u);
    EXPECT_EQ(out.SysExMessages()[0].Bytes, (std::vector<std::uint8_t>{0xF0, 0x7E, 0x7F, 0xF7}));
}

// A note moved while the song plays is heard where it now is.
TEST_F(FilePlayback, AnEditDuringPlaybackIsHeardFromThen) {
    OpenImported(Smf(1, 16,
                     {Cat({{0, 0x90, 60, 100, 8, 0x80, 60, 0, 32, 0x90, 62, 100, 8, 0x80, 62, 0},
                           EndOfTrack})}));
    const std::uint32_t start = clock.NowMs();
    clock.At(start + 100, [this] {
        TMidiNote later = Notes()[1];
        later.Pos = 20;
        later.MarkEdited();
        Document().ChangeNotes({1}, {later}, NoteEdit::Move);
    });
    // Steps of 30 ms: the note now at 20 starts at the step of 20.
    const std::vector<RecordedMessage> played = Play(0, 1000);
    ASSERT_GE(played.size(), 3u);
    EXPECT_EQ(played[2], (RecordedMessage{(20 + 1) * 30, Msg(0x90, 62, 100)}));
}

} // namespace
} // namespace kadrel::test
