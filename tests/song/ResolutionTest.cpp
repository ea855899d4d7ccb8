#include "song/Resolution.h"

#include <gtest/gtest.h>

namespace kadrel {
namespace {

TEST(Resolution, GridPositionsAndTicks) {
    const struct {
        std::uint16_t division;
        std::int64_t tick, position;
    } grid[] = {
        {480, 0, 0},   {480, 29, 0},    {480, 30, 1},    {480, 479, 15}, {480, 480, 16},
        {480, -1, -1}, {120, 7, 0},     {120, 8, 1},     {120, 15, 2},   {120, 119, 15},
        {16, 5, 5},    {0xE728, 31, 0}, {0xE728, 32, 1}, // 1000 ticks a second, half of it a
                                                         // quarter
    };
    for (const auto& c : grid)
        EXPECT_EQ(GridPosition(c.tick, c.division), c.position) << c.division << " " << c.tick;

    const struct {
        std::uint16_t division;
        std::int64_t position, tick;
    } ticks[] = {
        {480, 1, 30}, {480, 3, 90},   {480, 16, 480}, {120, 1, 8}, {120, 2, 15},
        {120, 3, 23}, {120, 16, 120}, {16, 7, 7},     {96, 1, 6},  {96, -1, -6},
    };
    for (const auto& c : ticks)
        EXPECT_EQ(GridTick(c.position, c.division), c.tick) << c.division << " " << c.position;
}

TEST(Resolution, DragsKeepOffsetsFromTheGrid) {
    const struct {
        std::uint16_t division;
        std::int64_t anchor, steps, ticks;
    } cases[] = {
        {480, 40, 1, 30}, // a swung note 10 ticks after its grid line stays 10 after the next
        {480, 40, -2, -60}, {120, 10, 1, 7},   // from grid line 8 to grid line 15
        {120, 10, 2, 15},   {120, 0, 16, 120}, // a quarter note is a quarter note
        {16, 3, 5, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DragTicks(c.anchor, c.steps, c.division), c.ticks)
            << c.division << " " << c.anchor << " " << c.steps;
}

TEST(Resolution, PixelsAndConversions) {
    EXPECT_EQ(ScorePixel(45, 480, 2), 3);
    EXPECT_EQ(ScorePixel(44, 480, 2), 2);
    EXPECT_EQ(ScorePixel(-1, 480, 2), -1);
    EXPECT_EQ(ConvertTicks(45, 480, 16), 2); // 1.5 rounds up
    EXPECT_EQ(ConvertTicks(44, 480, 16), 1);
    EXPECT_EQ(ConvertTicks(7, 120, 480), 28);
    EXPECT_EQ(ConvertTicks(1000, 0xE728, 16), 33); // a second at 30 ms a position
}

TEST(Resolution, VelocityOfANewNote) {
    Song song;
    song.Notes = {TMidiNote{60, 0, 10, 0, 0}, TMidiNote{62, 96, 10, 0, 0},
                  TMidiNote{64, 48, 10, 0, 1}, TMidiNote{65, 96, 10, 0, 0}};
    song.Notes[0].Velocity = 90;
    song.Notes[1].Velocity = 70;
    song.Notes[2].Velocity = 50;
    song.Notes[3].Velocity = 75;
    EXPECT_EQ(NewNoteVelocity(song, 0, 200), 127) << "a song of Kadrel's own";
    song.KeepsFile = true;
    const struct {
        std::uint32_t row;
        std::int64_t tick;
        int velocity;
    } cases[] = {{0, 95, 90}, {0, 96, 90}, {0, 97, 75}, {1, 48, 100}, {1, 49, 50}, {2, 0, 100}};
    for (const auto& c : cases)
        EXPECT_EQ(NewNoteVelocity(song, c.row, c.tick), c.velocity) << c.row << " " << c.tick;
}

} // namespace
} // namespace kadrel
