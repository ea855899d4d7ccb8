#include "PartitionTestSupport.h"

#include <QFontDatabase>
#include <QPainter>

namespace kadrel {
namespace {

using namespace testing;

TEST(PartitionZoom, FromASixteenthToSixteenPixelsPerPosition) {
    struct Case {
        std::uint8_t SmallestWidth;
        int Min, Max;
        std::int64_t Narrowest, Widest; // pixels of 1024 positions at either end
    };
    const Case cases[] = {{2, -5, 3, 64, 16384},
                          {1, -4, 4, 64, 16384},
                          {3, -5, 2, 96, 12288},
                          {16, -8, 0, 64, 16384}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.SmallestWidth));
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetSmallestWidth(c.SmallestWidth);
        EXPECT_EQ(p.MinZoomLevel(), c.Min);
        p.SetZoomLevel(100, 0);
        EXPECT_EQ(p.ZoomLevel(), c.Max);
        EXPECT_FALSE(p.CanZoomIn());
        EXPECT_EQ(p.XOfPos(1024), c.Widest);
        p.SetZoomLevel(-100, 0);
        EXPECT_FALSE(p.CanZoomOut());
        EXPECT_EQ(p.XOfPos(1024), c.Narrowest);
    }
}

TEST(PartitionZoom, StepsKeepTheTimeUnderThePointAndTheCursor) {
    struct Step {
        int Level;
        std::int32_t About;
        std::int32_t FirstPos;
    };
    // From measure 2 (position 128); position 328 lies under x = 400 at the normal scale.
    const Step steps[] = {
        {1, 400, 228}, {3, 400, 303}, {0, 400, 128}, {-2, 400, 0}, // the song's start stops it
        {-2, 0, 0},    {0, 0, 0},     {2, 848, 318}, {-5, 848, 0},
    };
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetFirstMesure(2);
    p.SetCursorPos(500);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Level);
        const std::int32_t under = p.PosAtX(s.About);
        p.SetZoomLevel(s.Level, s.About);
        EXPECT_EQ(p.ZoomLevel(), s.Level);
        EXPECT_EQ(p.FirstPos(), s.FirstPos);
        EXPECT_EQ(p.FirstPixel(), s.FirstPos * 2);
        if (s.FirstPos != 0) {
            EXPECT_EQ(p.PosAtX(s.About), under);
        }
        EXPECT_EQ(p.CursorPos(), 500);
        EXPECT_EQ(p.CursorPosition(), 250);
    }
    p.ZoomIn(0);
    p.ZoomIn(0);
    EXPECT_EQ(p.ZoomLevel(), -3);
    p.ZoomNormal(0);
    EXPECT_EQ(p.ZoomLevel(), 0);
}

TEST(PartitionZoom, TheCursorPagesAtEveryScale) {
    struct Step {
        std::int64_t Position;
        std::int32_t FirstPos;
        std::int64_t CursorX;
    };
    struct Case {
        const char* Name;
        int Level;
        std::vector<Step> Steps;
    };
    const Case cases[] = {
        // 256 pixels per measure: 3 whole measures in view.
        {"closer", 1, {{192, 0, 768}, {193, 192, 4}, {10, 0, 40}}},
        // A measure is 1024 pixels: the view pages by its width (53 positions) within a measure,
        // and to each measure's line.
        {"a measure wider than the view",
         3,
         {{10, 0, 160}, {60, 53, 112}, {70, 64, 96}, {200, 192, 128}, {0, 0, 0}}},
        // 4 pixels per measure: 212 whole measures in view, the last ending at x = 848.
        {"further", -5, {{13568, 0, 848}, {13584, 13568, 1}, {-7, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetZoomLevel(c.Level, 0);
        for (const Step& s : c.Steps) {
            p.SetCursorPosition(s.Position);
            EXPECT_EQ(p.FirstPos(), s.FirstPos) << s.Position;
            EXPECT_EQ(p.XOfPos(std::max<std::int64_t>(s.Position, 0)), s.CursorX) << s.Position;
            EXPECT_EQ(p.CursorPos(), std::max<std::int64_t>(s.Position, -7) * 2);
        }
    }
}

TEST(PartitionZoom, TheWheelScrollsTheSameWidthAtEveryScale) {
    struct Case {
        const char* Name;
        int Level;
        std::vector<TMeasureChange> Map;
        std::vector<std::pair<int, std::int32_t>> Steps; // wheel steps, then FirstPos
    };
    const Case cases[] = {
        {"normal", 0, {}, {{1, 64}, {2, 192}, {-5, 0}}},
        {"four measures a step", -2, {}, {{1, 256}, {-1, 0}}},
        {"a quarter of a measure a step", 2, {}, {{1, 16}, {3, 64}, {-1, 48}, {-4, 0}}},
        {"halves of 3/4 measures", 1, {{0, 48}}, {{1, 24}, {2, 72}, {-1, 48}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetMeasureMap(c.Map);
        p.SetZoomLevel(c.Level, 0);
        for (auto [steps, firstPos] : c.Steps) {
            p.ScrollMeasures(steps);
            EXPECT_EQ(p.FirstPos(), firstPos) << steps;
        }
    }
    // A view left inside a measure by zooming goes back to that measure's line first.
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetZoomLevel(3, 0);
    p.SetCursorPosition(60);
    p.SetZoomLevel(0, 0);
    ASSERT_EQ(p.FirstPos(), 53);
    EXPECT_EQ(p.FirstMesure(), 0);
    p.ScrollMeasures(1);
    EXPECT_EQ(p.FirstPos(), 64);
    p.SetZoomLevel(3, 0);
    p.SetCursorPosition(120);
    p.SetZoomLevel(0, 0);
    ASSERT_EQ(p.FirstPos(), 64 + 53);
    p.ScrollMeasures(-1);
    EXPECT_EQ(p.FirstPos(), 64);
}

TEST(PartitionZoom, LinesCloserThanFourPixelsAreLeftOut) {
    struct Case {
        int Level;
        std::vector<TMeasureChange> Map;
        int Every; // pixels between the grey lines of row 100
    };
    const Case cases[] = {
        {-2, {}, 8},        // grid lines of 16 positions, 8 pixels apart
        {-3, {}, 4},        // 4 pixels apart
        {-4, {}, 8},        // grid lines 2 pixels apart are gone; measures are 8 apart
        {-5, {}, 4},        // measures 4 pixels apart
        {-5, {{0, 48}}, 6}, // 3/4 measures 3 pixels apart: every second one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Level);
        TPartition p;
        ApplyMainWindowLayout(p);
        p.SetMeasureMap(c.Map);
        p.SetZoomLevel(c.Level, 0);
        for (int x = 0; x < 849; ++x)
            EXPECT_EQ(ColorAt(p.Image(), x, 100), x % c.Every == 0 ? Grey : White) << x;
    }
}

TEST(PartitionZoom, MeasureNumbersNeverOverlap) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::NoAntialias);
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetZoomLevel(-5, 0);
    const QImage& image = p.Image();
    QImage probe(1, 1, QImage::Format_RGB32);
    const QFontMetrics metrics(font, &probe);
    const int band = metrics.height();
    // Whether the number of the measure whose line is at x is written there, pixel for pixel.
    const auto numberedAt = [&](int x, int measure) {
        const QString text = QString::number(measure);
        const int advance = metrics.horizontalAdvance(text);
        QImage expected(advance, band, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter painter(&expected);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(0, metrics.ascent(), text);
        painter.end();
        return x + 2 + advance <= image.width() && image.copy(x + 2, 0, advance, band) == expected;
    };
    std::vector<std::pair<int, int>> numbered; // left and right of each number
    for (int m = 0; m * 4 < image.width(); ++m) {
        if (numberedAt(m * 4, m))
            numbered.push_back(
                {m * 4 + 2, m * 4 + 2 + metrics.horizontalAdvance(QString::number(m))});
    }
    ASSERT_GE(numbered.size(), 5u);
    EXPECT_EQ(numbered.front().first, 2);
    for (std::size_t i = 1; i < numbered.size(); ++i) {
        EXPECT_GT(numbered[i].first, numbered[i - 1].second) << i;
        // Nothing else is written between two numbers.
        for (int x = numbered[i - 1].second; x < numbered[i].first; ++x) {
            for (int y = 0; y < band; ++y)
                ASSERT_NE(ColorAt(image, x, y), Black) << x << "," << y;
        }
    }
}

} // namespace
} // namespace kadrel
