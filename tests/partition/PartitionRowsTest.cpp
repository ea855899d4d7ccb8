#include "PartitionTestSupport.h"

#include "partition/RowTable.h"

#include <QKeyEvent>

namespace kadrel {
namespace {

using namespace testing;

TEST(PartitionRows, BandsOfTheRowsShownWhereverTheViewIs) {
    struct Case {
        const char* Name;
        int Height;
        std::uint8_t TopNote; // asked for
        std::uint8_t ShownTop;
        std::vector<std::pair<int, int>> YToNote;
    };
    const Case cases[] = {
        {"the design place", 112, 81, 81, {{0, 0}, {1, 81}, {108, 36}, {109, 0}}},
        {"scrolled up", 112, 108, 108, {{0, 0}, {1, 108}, {4, 108}, {5, 107}, {108, 64}, {109, 0}}},
        {"a sharp's row", 112, 106, 105, {{1, 105}}},
        // The rows end at note 0: asking for more keeps the last 27 rows.
        {"scrolled to the bottom", 112, 0, 45, {{1, 45}, {101, 2}, {105, 0}, {108, 0}, {109, 0}}},
        {"a taller control shows more rows",
         160,
         81,
         81,
         {{108, 36}, {109, 35}, {112, 35}, {156, 16}, {157, 0}}},
        {"the top", 112, 127, 127, {{1, 127}, {5, 125}, {108, 83}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        ApplyMainWindowLayout(p);
        p.resize(849, c.Height);
        p.SetTopNote(c.TopNote);
        EXPECT_EQ(p.TopNote(), c.ShownTop);
        for (auto [y, note] : c.YToNote)
            EXPECT_EQ(p.NoteNumAtY(y), note) << "y " << y;
    }
}

TEST(PartitionRows, NotesBeyondTheStaffAreDrawnOnTheirRows) {
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetTopNote(108);
    p.AddNote(108, 0, 16, nullptr);
    p.AddNote(106, 20, 4, nullptr);
    p.AddNote(60, 40, 4, nullptr); // below the rows shown
    EXPECT_EQ(ColorAt(p.Image(), 0, 2), Black);
    EXPECT_EQ(ColorAt(p.Image(), 10, 4), White);
    EXPECT_EQ(ColorAt(p.Image(), 42, 12), Yellow); // 106 is a sharp on the row of 105
    EXPECT_EQ(p.RowTopOfNote(106), 8);
    // 60 lies below the rows shown; of the staff lines only 64's, on the last row, is in view.
    for (int y = 0; y < 112; ++y)
        EXPECT_EQ(ColorAt(p.Image(), 82, y), y == 104 ? Black : White) << y;
}

TEST(PartitionRows, ShowingARangeKeepsTheStaffWhereItBelongsWhenItCan) {
    struct Case {
        std::uint8_t Lowest, Highest;
        std::uint8_t Top;
    };
    const Case cases[] = {
        {40, 80, 81},  {36, 82, 81},    {80, 40, 81}, // within the staff's rows
        {30, 70, 74},  {60, 100, 100},                // the nearest place that shows them all
        {21, 108, 86},                                // too many rows: centred
        {0, 5, 45},    {127, 127, 127},               // as far as the rows go
    };
    for (const Case& c : cases) {
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetTopNote(120); // from elsewhere
        p.ShowNoteRange(c.Lowest, c.Highest);
        EXPECT_EQ(p.TopNote(), c.Top) << int(c.Lowest) << ".." << int(c.Highest);
        if (c.Highest - c.Lowest < 40) {
            EXPECT_GE(p.RowTopOfNote(c.Highest), 0) << int(c.Highest);
            EXPECT_LE(p.RowTopOfNote(c.Lowest), 104) << int(c.Lowest);
        }
    }
}

TEST(PartitionRows, NotesBeyondTheRowsShownLeaveAMarkAtTheEdge) {
    struct Case {
        const char* Name;
        std::uint8_t NoteNum;
        std::int32_t Pos, Len;
        bool Selected;
        std::optional<QRect> Mark;
        std::string Colour;
    };
    const std::string Blue = "#0000ff";
    const Case cases[] = {
        {"above", 90, 10, 8, false, QRect(20, 0, 17, 2), Blue},
        {"far above, selected", 127, 0, 4, true, QRect(0, 0, 9, 2), Black},
        {"below", 30, 40, 4, false, QRect(80, 110, 9, 2), Blue},
        {"partly in view", 20, 420, 100, false, QRect(840, 110, 9, 2), Blue},
        {"outside the view", 90, 500, 4, false, std::nullopt, Blue},
        {"no MIDI note", 200, 0, 16, false, std::nullopt, Blue},
    };
    const QImage blank = [] {
        TPartition p;
        ApplyMainWindowLayout(p);
        return p.Image();
    }();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetEdgeMarks(true);
        p.AddNote(c.NoteNum, c.Pos, c.Len, nullptr)->Selected = c.Selected;
        p.Paint();
        int wrong = 0;
        for (int y = 0; y < 112; ++y) {
            for (int x = 0; x < 849; ++x) {
                const std::string expected = c.Mark && c.Mark->contains(x, y)
                                                 ? c.Colour
                                                 : QColor(blank.pixel(x, y)).name().toStdString();
                wrong += ColorAt(p.Image(), x, y) != expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    // Off, the notes beyond are not drawn at all; on, the notes of the edge rows cover the marks.
    TPartition p;
    ApplyMainWindowLayout(p);
    p.AddNote(20, 0, 8, nullptr);
    EXPECT_EQ(p.Image(), blank);
    p.SetEdgeMarks(true);
    p.AddNote(36, 0, 8, nullptr);
    EXPECT_EQ(ColorAt(p.Image(), 5, 110), Black);
    EXPECT_EQ(ColorAt(p.Image(), 5, 111), Blue);
}

TEST(PartitionRows, KeysScrollWhenTheScoreHasTheFocus) {
    struct Case {
        Qt::Key Key;
        std::uint8_t Top;
        std::int32_t FirstMesure;
        bool Taken;
    };
    const Case cases[] = {
        {Qt::Key_Up, 83, 2, true},      {Qt::Key_Down, 79, 2, true},
        {Qt::Key_PageUp, 124, 2, true}, {Qt::Key_PageDown, 45, 2, true},
        {Qt::Key_Left, 81, 1, true},    {Qt::Key_Right, 81, 3, true},
        {Qt::Key_Delete, 81, 2, false},
    };
    for (const Case& c : cases) {
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetFirstMesure(2);
        QKeyEvent key(QEvent::KeyPress, c.Key, Qt::NoModifier);
        QApplication::sendEvent(&p, &key);
        EXPECT_EQ(p.TopNote(), c.Top) << c.Key;
        EXPECT_EQ(p.FirstMesure(), c.FirstMesure) << c.Key;
        EXPECT_EQ(key.isAccepted(), c.Taken) << c.Key;
    }
}

} // namespace
} // namespace kadrel
