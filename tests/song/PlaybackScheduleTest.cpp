#include "song/PlaybackSchedule.h"

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
