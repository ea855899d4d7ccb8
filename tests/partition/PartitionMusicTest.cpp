#include "PartitionTestSupport.h"

#include "partition/NoteNames.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

namespace kadrel {
namespace {

using namespace testing;

// How far apart two colours look: their largest difference in one channel.
int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

TEST(PartitionMusic, SofterNotesArePalerInStepsThatTellTenApart) {
    struct Kind {
        const char* Name;
        std::uint8_t NoteNum;
        bool Selected;
        QPoint Probe; // where the velocity shows: the outline, or the fill
        std::string At127;
    };
    const Kind kinds[] = {
        {"natural's outline", 60, false, QPoint(0, 52), Black},
        {"sharp's fill", 61, false, QPoint(10, 52), Yellow},
        {"selected note's fill", 60, true, QPoint(10, 52), Black},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.Name);
        QRgb previous = 0;
        for (int velocity = 127; velocity >= 7; velocity -= 10) {
            TPartition p;
            ApplyMainWindowLayout(p);
            p.AddNote(k.NoteNum, 0, 16, nullptr, static_cast<std::uint8_t>(velocity))->Selected =
                k.Selected;
            p.Paint();
            const QRgb shade = p.Image().pixel(k.Probe);
            if (velocity == 127) {
                EXPECT_EQ(ColorAt(p.Image(), k.Probe.x(), k.Probe.y()), k.At127);
            } else {
                EXPECT_GE(Distance(shade, previous), 12) << velocity;
                EXPECT_GT(QColor(shade).lightness(), QColor(previous).lightness()) << velocity;
            }
            // A natural note stays white inside whatever its velocity.
            if (!k.Selected && k.NoteNum == 60) {
                EXPECT_EQ(ColorAt(p.Image(), 10, 52), White) << velocity;
            }
            previous = shade;
        }
    }
}

TEST(PartitionMusic, MeasuresFollowTheTimeSignatures) {
    // 4/4 from 0, 3/4 from 128, 7/8 from 224: measure lines at positions 0, 64, 128, 176, 224,
    // 280, 336, 392; the grid of 16 positions starts again at each.
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetMeasureMap({{0, 64}, {128, 48}, {224, 56}});
    const std::set<int> measureLines = {0, 64, 128, 176, 224, 280, 336, 392};
    std::set<int> gridLines;
    for (int line : measureLines) {
        for (int g = line; g < line + 56 && g <= 424; g += 16)
            gridLines.insert(g);
    }
    for (int x = 0; x < 849; ++x) {
        const bool measure = x % 2 == 0 && measureLines.count(x / 2) == 1;
        const bool grid = x % 2 == 0 && gridLines.count(x / 2) == 1 &&
                          (x / 2 < 128 || x / 2 >= 176 || x / 2 - 128 < 48);
        EXPECT_EQ(ColorAt(p.Image(), x, 100), measure || grid ? Grey : White) << x;
        EXPECT_EQ(ColorAt(p.Image(), x, 52), measure ? Black : grid ? Grey : White) << x;
    }

    // The wheel, FirstMesure and the cursor's paging count these measures.
    p.SetFirstMesure(3);
    EXPECT_EQ(p.FirstPos(), 176);
    EXPECT_EQ(p.FirstPixel(), 352);
    p.ScrollMeasures(2);
    EXPECT_EQ(p.FirstPos(), 280);
    EXPECT_EQ(p.FirstMesure(), 5);
    p.SetFirstMesure(0);
    p.SetCursorPosition(392); // the line of measure 7 at x = 784, the last whole one's end
    EXPECT_EQ(p.FirstMesure(), 0);
    p.SetCursorPosition(393);
    EXPECT_EQ(p.FirstMesure(), 7);
    EXPECT_EQ(p.FirstPos(), 392);
    // Without a map, measures are MesureLen long again.
    p.SetMeasureMap({});
    p.SetFirstMesure(3);
    EXPECT_EQ(p.FirstPos(), 192);
}

TEST(PartitionMusic, GhostNotesAreDrawnFaintBehindTheNotesAndNeverHit) {
    TPartition p;
    ApplyMainWindowLayout(p);
    const std::string ghostOutline = "#a0b0d0";
    const std::string ghostFill = "#e8ecf8";
    p.SetGhostNotes({{60, 0, 16}, {61, 40, 8}, {90, 0, 16}});
    p.SetEdgeMarks(true);
    p.AddNote(60, 8, 16, nullptr);
    EXPECT_EQ(ColorAt(p.Image(), 0, 52), ghostOutline);
    EXPECT_EQ(ColorAt(p.Image(), 8, 52), ghostFill);
    EXPECT_EQ(ColorAt(p.Image(), 16, 52), Black); // the note's outline over the ghost
    EXPECT_EQ(ColorAt(p.Image(), 20, 52), White);
    EXPECT_EQ(ColorAt(p.Image(), 84, 52), ghostFill); // a ghost sharp is no yellow
    EXPECT_EQ(ColorAt(p.Image(), 8, 0), White);       // and a ghost beyond the rows no mark
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{4, 49}, {84, 49}})
        EXPECT_EQ(p.NoteAtPoint(x, y), nullptr) << x;
    EXPECT_EQ(p.NoteAt(2, 60), nullptr);
    EXPECT_EQ(p.NoteAt(8, 60), p.NoteList().front().get());
}

TEST(PartitionMusic, TicksOfAnyDivisionAreDrawnWhereTheyLie) {
    struct Case {
        int Division;
        int Zoom;
        std::int32_t Pos, Len;
        int Left, Right; // outline columns
    };
    const Case cases[] = {
        {480, 0, 45, 90, 3, 9},   // positions 1.5 to 4.5
        {480, 0, 7, 1, 0, 0},     // a few ticks in the first pixel
        {480, 3, 45, 90, 24, 72}, // at 16 pixels per position
        {480, -1, 45, 90, 1, 4},  // at 1 pixel per position
        {96, 0, 100, 50, 33, 50}, // positions 16.67 to 25
        {16, 0, 10, 4, 20, 28},   // one tick per position, as always
        {16, -3, 16, 16, 4, 8},   // at a quarter of a pixel per position
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Division);
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetDivision(c.Division);
        p.SetZoomLevel(c.Zoom, 0);
        const QImage blank = p.Image();
        p.AddNote(60, c.Pos, c.Len, nullptr);
        for (int x = 0; x < 100; ++x) {
            const bool outline = x == c.Left || x == c.Right;
            const bool inside = x > c.Left && x < c.Right;
            EXPECT_EQ(ColorAt(p.Image(), x, 52), outline  ? Black
                                                 : inside ? White
                                                          : ColorAt(blank, x, 52))
                << x;
        }
        EXPECT_EQ(p.XOfTick(c.Pos), c.Left);
        EXPECT_EQ(p.TickAtX(c.Left) * 16 / c.Division, c.Pos * 16 / c.Division);
    }
}

TEST(PartitionMusic, RestingOnANoteShowsTheOwnersText) {
    ShownPartition shown;
    TPartition& p = *shown.Partition;
    TPartitionNote* note = p.AddNote(60, 16, 16, nullptr, 90);
    std::vector<TPartitionNote*> asked;
    p.OnNoteHint = [&asked](TPartition*, TPartitionNote* n) {
        asked.push_back(n);
        return QString("%1 (%2) v%3")
            .arg(FrenchNoteName(n->NoteNum))
            .arg(n->NoteNum)
            .arg(n->Velocity);
    };
    const auto rest = [&](QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, p.mapToGlobal(at));
        QApplication::sendEvent(&p, &help);
    };
    rest(QPoint(40, 50));
    EXPECT_EQ(asked, std::vector<TPartitionNote*>{note});
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Do4 (60) v90");
    rest(QPoint(40, 20)); // no note there
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
}

} // namespace
} // namespace kadrel
