#include "partition/MeasureMap.h"
#include "partition/NoteNames.h"

#include <gtest/gtest.h>

#include <utility>

namespace kadrel {
namespace {

TEST(MeasureMap, MeasuresFollowTheChangesFromTheirPositions) {
    struct Case {
        const char* Name;
        std::int32_t Uniform;
        std::vector<TMeasureChange> Changes;
        std::vector<std::int64_t> Starts; // of measures 0, 1, 2, ...
        std::int64_t Shortest;
    };
    const Case cases[] = {
        {"uniform", 64, {}, {0, 64, 128, 192}, 64},
        {"4/4, 3/4, 7/8",
         64,
         {{0, 64}, {128, 48}, {224, 56}},
         {0, 64, 128, 176, 224, 280, 336},
         48},
        {"given in any order",
         64,
         {{224, 56}, {0, 64}, {128, 48}},
         {0, 64, 128, 176, 224, 280},
         48},
        {"a change inside a measure ends it", 64, {{100, 48}}, {0, 64, 100, 148, 196}, 36},
        {"of two at one position the later counts",
         64,
         {{64, 48}, {64, 56}},
         {0, 64, 120, 176},
         56},
        {"lengths below 1 and negative positions are left out",
         64,
         {{0, 0}, {-10, 48}, {32, -1}},
         {0, 64, 128},
         64},
        {"no uniform length: one measure up to the first change",
         0,
         {{100, 48}},
         {0, 100, 148},
         48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        MeasureMap map;
        map.Set(c.Uniform, c.Changes);
        ASSERT_TRUE(map.HasMeasures());
        EXPECT_EQ(map.Shortest(), c.Shortest);
        for (std::size_t m = 0; m < c.Starts.size(); ++m) {
            const auto measure = static_cast<std::int64_t>(m);
            EXPECT_EQ(map.Start(measure), c.Starts[m]) << "measure " << m;
            EXPECT_EQ(map.At(c.Starts[m]), measure) << "measure " << m;
            if (m > 0) {
                EXPECT_EQ(map.At(c.Starts[m] - 1), measure - 1) << "measure " << m;
                EXPECT_EQ(map.Len(measure - 1), c.Starts[m] - c.Starts[m - 1]) << "measure " << m;
            }
        }
        EXPECT_EQ(map.At(-5), 0);
    }
}

TEST(MeasureMap, NoMeasuresWithoutALength) {
    MeasureMap map;
    map.Set(0, {{-1, 48}});
    EXPECT_FALSE(map.HasMeasures());
    EXPECT_EQ(map.Start(3), 0);
    EXPECT_EQ(map.At(100), 0);
}

TEST(NoteNames, FrenchNamesWithMiddleCInOctave4) {
    const std::pair<int, const char*> cases[] = {
        {60, "Do4"},  {61, "Do#4"}, {62, "Ré4"},   {63, "Ré#4"}, {64, "Mi4"},   {65, "Fa4"},
        {66, "Fa#4"}, {67, "Sol4"}, {68, "Sol#4"}, {69, "La4"},  {70, "La#4"},  {71, "Si4"},
        {59, "Si3"},  {72, "Do5"},  {0, "Do-1"},   {11, "Si-1"}, {127, "Sol9"},
    };
    for (const auto& [note, name] : cases)
        EXPECT_EQ(FrenchNoteName(note), QString::fromUtf8(name)) << note;
}

} // namespace
} // namespace kadrel
