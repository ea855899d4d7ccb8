#include "song/PlaybackSchedule.h"
#include "core/SmfBytes.h"
#include "song/TolerantImport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace kadrel {
namespace {

NoteList MakeNotes(std::initializer_list<std::array<int, 3>> specs) {
    NoteList notes;
    for (const auto& [num, pos, len] : specs) {
        TMidiNote note;
        note.NoteNum = static_cast<std::uint8_t>(num);
        note.Pos = pos;
        note.Len = len;
        notes.push_back(note);
    }
    return notes;
}

// "on 60" / "off 60", as the steps from `from` - 1 to `last` would send them.
std::vector<std::string> Stepped(const NoteList& notes, std::int64_t from, std::int64_t last) {
    std::vector<std::string> sent;
    PlaybackStep step;
    for (std::int64_t q = from - 1; q <= last; ++q) {
        CollectPlaybackStep(notes, q, step);
        for (const TMidiNote* n : step.Offs)
            sent.push_back(std::to_string(q) + " off " + std::to_string(n->NoteNum));
        for (const TMidiNote* n : step.Ons)
            sent.push_back(std::to_string(q) + " on " + std::to_string(n->NoteNum));
    }
    return sent;
}

std::vector<std::string> Scheduled(const NoteList& notes, std::int64_t from) {
    std::vector<std::string> sent;
    const PlaybackSchedule schedule(notes, from);
    for (const auto& e : schedule.Events())
        sent.push_back(std::to_string(e.Position) + (e.On ? " on " : " off ") +
                       std::to_string(e.Note->NoteNum));
    return sent;
}

TEST(PlaybackSchedule, StepsSendOffsBeforeOnsInListOrder) {
    const struct {
        const char* name;
        NoteList notes;
        std::int64_t from;
        std::vector<std::string> sent;
    } cases[] = {
        {"a note ending where the same number starts is ended first",
         MakeNotes({{61, 20, 4}, {60, 10, 10}, {60, 20, 5}}),
         0,
         {"10 on 60", "20 off 60", "20 on 61", "20 on 60", "24 off 61", "25 off 60"}},
        {"a note of length 0 sends its off before its on",
         MakeNotes({{62, 3, 0}}),
         0,
         {"3 off 62", "3 on 62"}},
        {"from 10: what starts before 9 is not started, what ends from 9 on is ended",
         MakeNotes({{60, 0, 12}, {61, 9, 1}, {62, 8, 1}}),
         10,
         {"9 off 62", "9 on 61", "10 off 61", "12 off 60"}},
        {"position -1 is the first step from 0",
         MakeNotes({{63, -1, 2}, {64, -2, 1}}),
         0,
         {"-1 off 64", "-1 on 63", "1 off 63"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stepped(c.notes, c.from, 40), c.sent) << c.name;
        EXPECT_EQ(Scheduled(c.notes, c.from), c.sent) << c.name;
    }
}

TEST(PlaybackSchedule, TheScheduleSendsWhatTheStepsSend) {
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        NoteList notes;
        const int count = std::uniform_int_distribution<>(0, 40)(random);
        for (int i = 0; i < count; ++i) {
            TMidiNote note;
            note.NoteNum =
                static_cast<std::uint8_t>(std::uniform_int_distribution<>(58, 62)(random));
            note.Pos = std::uniform_int_distribution<>(-3, 30)(random);
            note.Len = std::uniform_int_distribution<>(0, 6)(random);
            notes.push_back(note);
        }
        const std::int64_t from = std::uniform_int_distribution<>(0, 12)(random);
        EXPECT_EQ(Scheduled(notes, from), Stepped(notes, from, 40)) << "round " << round;
    }
}

TEST(PlaybackSchedule, StepTimes) {
    EXPECT_EQ(PlaybackStepTimeMs(-1, 0), 0);
    EXPECT_EQ(PlaybackStepTimeMs(10, 0), 330);
    EXPECT_EQ(PlaybackStepTimeMs(15, 0), 480);
    EXPECT_EQ(PlaybackStepTimeMs(15, 10), 180);
}

} // namespace
} // namespace kadrel

namespace kadrel::test {
namespace {

Song SongOf(const Bytes& file) {
    return ImportSmf(ReadSmf(file)).Content;
}

// "time in us: message" for every event, a sysex as F0 and its length.
std::vector<std::string> Sent(const PlaybackSchedule& schedule) {
    std::vector<std::string> sent;
    for (const auto& e : schedule.Events()) {
        std::string message = Hex({e.Status});
        if (e.IsSysEx())
            message += "+" + std::to_string(e.SysExLength);
        else if ((e.Status & 0xF0) == 0xC0 || (e.Status & 0xF0) == 0xD0)
            message += " " + Hex({e.Data1});
        else
            message += " " + Hex({e.Data1, e.Data2});
        sent.push_back(std::to_string(e.TimeUs) + ": " + message);
    }
    return sent;
}

TEST(TempoMap, TimesOfTicksAndGridPositions) {
    const Bytes tempo = {0, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40}; // 1,000,000 us a quarter
    const struct {
        const char* what;
        Bytes file;
        bool stepped;
        std::int64_t tick, us, position, positionUs;
    } cases[] = {
        {"division 16 without tempo: 30 ms a tick", Smf(1, 16, {EndOfTrack}), true, 10, 300000, 10,
         300000},
        {"division 16 with a tempo follows it", Smf(1, 16, {tempo}), false, 16, 1000000, 16,
         1000000},
        {"division 96, 500,000 us a quarter before any tempo", Smf(1, 96, {EndOfTrack}), false, 96,
         500000, 1, 31250},
        {"division 120: grid position 1 is between ticks 7 and 8", Smf(1, 120, {EndOfTrack}), false,
         7, 29166, 1, 31250},
        {"a tempo change at tick 96 of a second track",
         Smf(1, 96, {EndOfTrack, Cat({{0x60}, Bytes(tempo.begin() + 1, tempo.end())})}), false, 144,
         1000000, 32, 1500000},
        {"25 frames of 40 ticks: a thousand ticks a second", Smf(0, 0xE728, {tempo}), false, 1000,
         1000000, 32, 1000000},
        {"29.97 frames of 40 ticks", Smf(0, 0xE328, {EndOfTrack}), false, 1200, 1001000, 32,
         1001000},
    };
    for (const auto& c : cases) {
        const TempoMap map(SongOf(c.file));
        EXPECT_EQ(map.Stepped(), c.stepped) << c.what;
        EXPECT_EQ(map.Microseconds(c.tick), c.us) << c.what;
        EXPECT_EQ(map.GridMicroseconds(c.position), c.positionUs) << c.what;
        EXPECT_EQ(map.GridPositionAt(c.positionUs), c.position) << c.what;
        EXPECT_EQ(map.GridPositionAt(c.positionUs - 1), c.position - 1) << c.what;
    }
}

TEST(TempoMap, TimeSignaturesInGridPositions) {
    const auto signature = [](const Bytes& delta, std::uint8_t n, std::uint8_t d) {
        return Cat({delta, {0xFF, 0x58, 4, n, d, 24, 8}});
    };
    EXPECT_EQ(MeterChanges(Song{}), (std::vector<MeterChange>{{0, 64}}));
    // 3/4; again 3/4 and 6/8, which change nothing; 7/8 at tick 384; 2/2 at 480 in another track.
    const Song song = SongOf(Smf(1, 96,
                                 {Cat({signature({0}, 3, 2), signature({0x60}, 3, 2),
                                       signature({0x60}, 6, 3), signature({0x81, 0x40}, 7, 3)}),
                                  {0x83, 0x60, 0xFF, 0x58, 2, 2, 1}}));
    EXPECT_EQ(MeterChanges(song), (std::vector<MeterChange>{{0, 48}, {64, 56}, {80, 64}}));
}

TEST(PlaybackSchedule, AnImportedSongFollowsItsTempoAndKeepsItsEvents) {
    // Division 96; the tempo doubles the quarter note's length at tick 96. Velocities, an end by
    // a note-on of velocity 0, controllers, a sysex, a text that is not sent, a note never ended.
    const Song song =
        SongOf(Smf(1, 96,
                   {{0, 0xFF, 0x51, 3, 7, 0xA1, 0x20, 0x60, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40},
                    {0,    0xC0, 5,    0,  0xB0, 7,    100,  0,  0xF0, 2,    0x7E, 0xF7, 0,
                     0x90, 60,   80,   0,  62,   90,   0x30, 60, 0,    0,    0xFF, 1,    1,
                     'a',  0x30, 0x80, 62, 7,    0x30, 0xE0, 0,  0x50, 0x30, 0x90, 64,   100}}));
    EXPECT_EQ(Sent(PlaybackSchedule(song, 0)),
              (std::vector<std::string>{"0: C0 05", "0: B0 07 64", "0: F0+2", "0: 90 3C 50",
                                        "0: 90 3E 5A", "250000: 90 3C 00", "500000: 80 3E 07",
                                        "1000000: E0 00 50", "1500000: 90 40 64"}));
    // From grid position 8 (tick 48): what lay before is chased at once, in its order.
    EXPECT_EQ(
        Sent(PlaybackSchedule(song, 8)),
        (std::vector<std::string>{"0: C0 05", "0: B0 07 64", "0: 90 3C 00", "250000: 80 3E 07",
                                  "750000: E0 00 50", "1250000: 90 40 64"}));
}

TEST(PlaybackSchedule, StartingMidSongGivesEachChannelItsState) {
    const Song song = SongOf(Smf(
        1, 96,
        {{0, 0xC0, 5,    0, 0xB0, 7, 100,  0, 0xB1, 10,   20, 0,    0xE0, 0,    0x50, 0x10, 0xC0,
          7, 0,    0xB0, 7, 90,   0, 0xC1, 3, 0x10, 0xE0, 0,  0x40, 0x10, 0xB0, 7,    80},
         {0x18, 0xB1, 7, 64}}));
    // Position 5 is tick 30: the states of the ticks before, by where they last stood.
    EXPECT_EQ(Sent(PlaybackSchedule(song, 5)),
              (std::vector<std::string>{"0: B1 0A 14", "0: E0 00 50", "0: C0 07", "0: B0 07 5A",
                                        "0: C1 03", "0: B1 07 40", "10416: E0 00 40",
                                        "93750: B0 07 50"}));
    EXPECT_EQ(PlaybackSchedule(song, 0).Events().size(), 10u) << "nothing to chase from 0";
    EXPECT_EQ(Sent(PlaybackSchedule(song, 5, false)),
              (std::vector<std::string>{"10416: E0 00 40", "93750: B0 07 50"}));
}

TEST(PlaybackSchedule, ASongAtSixteenWithoutTempoKeepsItsSteps) {
    // Imported at division 16 without tempo: 30 ms a tick, the first step at once handling the
    // tick before; within a step the ends, the kept events, then the starts.
    const Song song = SongOf(Smf(
        1, 16, {{0, 0xC0, 5, 0, 0x90, 60, 80, 2, 0xB0, 7, 100, 0, 0x90, 62, 90, 0, 0x80, 60, 0}}));
    EXPECT_EQ(Sent(PlaybackSchedule(song, 0)),
              (std::vector<std::string>{"30000: C0 05", "30000: 90 3C 50", "90000: 80 3C 00",
                                        "90000: B0 07 64", "90000: 90 3E 5A"}));
    const PlaybackSchedule from = PlaybackSchedule(song, 2);
    EXPECT_EQ(Sent(from), (std::vector<std::string>{"0: C0 05", "30000: 80 3C 00",
                                                    "30000: B0 07 64", "30000: 90 3E 5A"}));
    EXPECT_EQ(from.CursorTimeUs(5), 60000);
    EXPECT_EQ(from.PositionAt(60000), 3);
}

} // namespace
} // namespace kadrel::test
