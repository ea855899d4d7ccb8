#include "partition/RowTable.h"

#include <gtest/gtest.h>

#include <set>

namespace kadrel {
namespace {

struct RowCase {
    int Row;
    int Natural;
    int TopAt8; // RowTop when the staff lines are 8 pixels apart
    int Sharp;  // the sharp sharing the row, or 0
};

const RowCase Rows[] = {
    {0, 81, 0, 82},    {1, 79, 4, 80},    {2, 77, 8, 78},   {3, 76, 12, 0},   {4, 74, 16, 75},
    {5, 72, 20, 73},   {6, 71, 24, 0},    {7, 69, 28, 70},  {8, 67, 32, 68},  {9, 65, 36, 66},
    {10, 64, 40, 0},   {11, 62, 44, 63},  {12, 60, 48, 61}, {13, 59, 52, 0},  {14, 57, 56, 58},
    {15, 55, 60, 56},  {16, 53, 64, 54},  {17, 52, 68, 0},  {18, 50, 72, 51}, {19, 48, 76, 49},
    {20, 47, 80, 0},   {21, 45, 84, 46},  {22, 43, 88, 44}, {23, 41, 92, 42}, {24, 40, 96, 0},
    {25, 38, 100, 39}, {26, 36, 104, 37},
};

TEST(RowTable, EveryNaturalAndItsSharpShareOneRow) {
    for (const RowCase& c : Rows) {
        SCOPED_TRACE(c.Natural);
        EXPECT_EQ(RowOfNote(c.Natural), c.Row);
        EXPECT_EQ(NaturalNoteOfRow(c.Row), c.Natural);
        EXPECT_EQ(RowTop(c.Row, 8), c.TopAt8);
        if (c.Sharp != 0) {
            EXPECT_EQ(RowOfNote(c.Sharp), c.Row);
        }
    }
}

TEST(RowTable, NotesOutside36To82HaveNoRow) {
    for (int n : {0, 35, 83, 127, 255})
        EXPECT_EQ(RowOfNote(n), -1) << n;
}

TEST(RowTable, OddRowsDropTheHalfPixel) {
    EXPECT_EQ(RowTop(1, 7), 3);
    EXPECT_EQ(RowTop(2, 7), 7);
    EXPECT_EQ(RowTop(3, 7), 10);
    EXPECT_EQ(RowTop(26, 7), 91);
}

TEST(RowTable, SharpsAreTheBlackKeys) {
    const std::set<int> sharps = {37, 39, 42, 44, 46, 49, 51, 54, 56, 58,
                                  61, 63, 66, 68, 70, 73, 75, 78, 80, 82};
    for (int n = 36; n <= 82; ++n)
        EXPECT_EQ(IsSharp(n), sharps.count(n) == 1) << n;
}

TEST(RowTable, BandsSplitHalfPixelsExactly) {
    struct Case {
        int InterWidth;
        int Y;
        int Expected;
    };
    const Case cases[] = {
        {8, -5, 0},  {8, 0, 0},    {8, 1, 81},  {8, 4, 81},  {8, 5, 79}, {8, 48, 62},
        {8, 49, 60}, {8, 108, 36}, {8, 109, 0}, {8, 112, 0}, {7, 1, 81}, {7, 3, 81},
        {7, 4, 79},  {7, 7, 79},   {7, 8, 77},  {7, 94, 36}, {7, 95, 0}, {1, 1, 79},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NaturalNoteAtY(c.Y, c.InterWidth), c.Expected)
            << "IW " << c.InterWidth << " y " << c.Y;
}

TEST(RowTable, FullRowsContinueTheStaffToEveryNote) {
    struct Case {
        int Note;
        int FullRow; // -1: no row
        int Natural; // the natural note of that row
    };
    const Case cases[] = {
        {127, 0, 127}, {126, 1, 125}, {108, 11, 108}, {84, 25, 84}, {83, 26, 83},
        {82, 27, 81},  {81, 27, 81},  {36, 53, 36},   {35, 54, 35}, {21, 62, 21},
        {1, 74, 0},    {0, 74, 0},    {128, -1, 0},   {255, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Note);
        EXPECT_EQ(FullRowOfNote(c.Note), c.FullRow);
        if (c.FullRow >= 0) {
            EXPECT_EQ(NaturalNoteOfFullRow(c.FullRow), c.Natural);
        }
    }
    // The staff's rows are the same rows, 27 further down the full table.
    for (const RowCase& c : Rows)
        EXPECT_EQ(FullRowOfNote(c.Natural), c.Row + StaffTopFullRow) << c.Natural;
}

} // namespace
} // namespace kadrel
