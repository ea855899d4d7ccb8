#include "PartitionTestSupport.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>

#include <optional>
#include <sstream>

namespace kadrel {
namespace {

using namespace testing;

std::string Name(QRgb rgb) {
    return QColor(rgb).name().toStdString();
}

QRgb Rgb(const std::string& name) {
    return QColor(QString::fromStdString(name)).rgb();
}

// Every pixel of `painted` equals `blank`, except those of `box` (inclusive pixel corners, may
// reach outside the image): a black border and `fill` inside.
::testing::AssertionResult OnlyBoxDiffers(const QImage& painted, const QImage& blank,
                                          const std::optional<QRect>& box,
                                          const std::string& fill) {
    if (painted.size() != blank.size())
        return ::testing::AssertionFailure() << "image sizes differ";
    int wrong = 0;
    std::ostringstream where;
    for (int y = 0; y < painted.height(); ++y) {
        for (int x = 0; x < painted.width(); ++x) {
            QRgb expected = blank.pixel(x, y);
            if (box && box->contains(x, y)) {
                const bool border =
                    x == box->left() || x == box->right() || y == box->top() || y == box->bottom();
                expected = border ? Rgb(Black) : Rgb(fill);
            }
            if (painted.pixel(x, y) != expected && ++wrong <= 5)
                where << " (" << x << "," << y << ") is " << Name(painted.pixel(x, y))
                      << " instead of " << Name(expected) << ";";
        }
    }
    if (wrong == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels wrong:" << where.str();
}

QImage LaidOutImage(std::int32_t firstMesure, const std::function<void(TPartition&)>& add = {}) {
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetFirstMesure(firstMesure);
    if (add)
        add(p);
    return p.Image();
}

TEST(PartitionPaint, GridLinesEvery32PixelsFromTheLeftEdgeWhateverTheScroll) {
    for (std::int32_t firstMesure : {0, 3}) {
        SCOPED_TRACE(firstMesure);
        const QImage image = LaidOutImage(firstMesure);
        ASSERT_EQ(image.size(), QSize(849, 112));
        for (int x = 0; x < image.width(); ++x) {
            // Row 100 lies below the staff; row 52 crosses the measure marks.
            EXPECT_EQ(ColorAt(image, x, 100), x % 32 == 0 ? Grey : White) << x;
            const std::string at52 = x % 128 == 0 ? Black : x % 32 == 0 ? Grey : White;
            EXPECT_EQ(ColorAt(image, x, 52), at52) << x;
        }
    }
}

TEST(PartitionPaint, MeasureLinesAreGreyWithABlackMarkAcrossTheStaff) {
    const QImage image = LaidOutImage(0);
    for (int x = 0; x <= 768; x += 128) {
        for (int y = 0; y < image.height(); ++y) {
            const std::string expected = (y >= 40 && y < 72) ? Black : Grey;
            EXPECT_EQ(ColorAt(image, x, y), expected) << "x " << x << " y " << y;
        }
    }
    // The grid line after the last whole measure carries no mark.
    EXPECT_EQ(ColorAt(image, 832, 52), Grey);
}

TEST(PartitionPaint, StaffLinesAreBlackAndGridLinesCrossThem) {
    const QImage image = LaidOutImage(0);
    for (int y = 16; y < image.height(); ++y) {
        const bool staff = y == 40 || y == 48 || y == 56 || y == 64 || y == 72;
        EXPECT_EQ(ColorAt(image, 20, y), staff ? Black : White) << y;
    }
    for (int x = 0; x < image.width(); ++x) {
        const std::string expected = x % 128 == 0 ? Black : x % 32 == 0 ? Grey : Black;
        EXPECT_EQ(ColorAt(image, x, 40), expected) << x;
        // The bottom line is not under the marks, which stop just above it.
        EXPECT_EQ(ColorAt(image, x, 72), x % 32 == 0 ? Grey : Black) << x;
    }
}

TEST(PartitionPaint, MeasuresAreNumberedFromFirstMesureTwoPixelsRightOfTheirLine) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::NoAntialias);
    for (std::int32_t firstMesure : {0, 3}) {
        const QImage image = LaidOutImage(firstMesure);
        for (int d = 0; d <= 6; ++d) {
            SCOPED_TRACE(firstMesure + d);
            const int x = d * 128;
            QImage expected(image.size(), QImage::Format_RGB32);
            expected.fill(Qt::white);
            QPainter painter(&expected);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(x + 2, painter.fontMetrics().ascent(),
                             QString::number(firstMesure + d));
            painter.end();
            int black = 0;
            for (int y = 0; y < 40; ++y) {
                for (int i = x + 1; i < x + 32; ++i) {
                    ASSERT_EQ(ColorAt(image, i, y), ColorAt(expected, i, y)) << i << "," << y;
                    black += ColorAt(image, i, y) == Black;
                }
            }
            EXPECT_GT(black, 5);
        }
    }
}

TEST(PartitionPaint, MeasureNumbersHideTheGridLinesUnderThem) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::NoAntialias);
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetFirstMesure(120);
    p.SetVertGridLen(1); // a grid line every other column
    QImage probe(p.size(), QImage::Format_RGB32);
    const QFontMetrics metrics(font, &probe);
    const int right = 2 + metrics.horizontalAdvance("120");
    ASSERT_LT(right, 128);
    for (int x = 2; x < right; ++x) {
        for (int y = 0; y < metrics.height(); ++y)
            EXPECT_NE(ColorAt(p.Image(), x, y), Grey) << x << "," << y;
        EXPECT_EQ(ColorAt(p.Image(), x, metrics.height() + 1), x % 2 == 0 ? Grey : White) << x;
    }
}

struct NoteCase {
    const char* Name;
    std::uint8_t NoteNum;
    std::int32_t Pos;
    std::int32_t Len;
    bool Selected;
    std::int32_t FirstMesure;
    std::optional<QRect> Box; // inclusive pixel corners, none when nothing is drawn
    std::string Fill;
};

const NoteCase NoteCases[] = {
    {"natural", 60, 0, 16, false, 0, QRect(QPoint(0, 50), QPoint(32, 54)), White},
    {"sharp", 61, 0, 16, false, 0, QRect(QPoint(0, 50), QPoint(32, 54)), Yellow},
    {"selected", 60, 0, 16, true, 0, QRect(QPoint(0, 50), QPoint(32, 54)), Black},
    {"selected sharp", 61, 0, 16, true, 0, QRect(QPoint(0, 50), QPoint(32, 54)), Black},
    {"top row", 82, 3, 2, false, 0, QRect(QPoint(6, 2), QPoint(10, 6)), Yellow},
    {"odd row", 79, 3, 2, false, 0, QRect(QPoint(6, 6), QPoint(10, 10)), White},
    {"bottom row", 36, 3, 2, false, 0, QRect(QPoint(6, 106), QPoint(10, 110)), White},
    {"no length", 60, 5, 0, false, 0, QRect(QPoint(10, 50), QPoint(10, 54)), White},
    {"scrolled", 60, 130, 2, false, 2, QRect(QPoint(4, 50), QPoint(8, 54)), White},
    {"clipped left", 60, 60, 10, false, 1, QRect(QPoint(-8, 50), QPoint(12, 54)), White},
    {"ends on the first position", 60, 60, 4, false, 1, QRect(QPoint(-8, 50), QPoint(0, 54)),
     White},
    {"ends before the first position", 60, 60, 3, false, 1, std::nullopt, White},
    {"starts on the last position", 60, 424, 4, false, 0, QRect(QPoint(848, 50), QPoint(856, 54)),
     White},
    {"starts after it", 60, 425, 4, false, 0, std::nullopt, White},
    {"very long", 60, 0, 2000000000, false, 0, QRect(QPoint(0, 50), QPoint(900, 54)), White},
    {"below the rows", 35, 0, 16, false, 0, std::nullopt, White},
    {"above the rows", 83, 0, 16, false, 0, std::nullopt, White},
    {"far above", 255, 0, 16, false, 0, std::nullopt, White},
};

TEST(PartitionPaint, NoteBoxes) {
    for (const NoteCase& c : NoteCases) {
        SCOPED_TRACE(c.Name);
        const QImage blank = LaidOutImage(c.FirstMesure);
        const QImage painted = LaidOutImage(c.FirstMesure, [&c](TPartition& p) {
            p.AddNote(c.NoteNum, c.Pos, c.Len, nullptr)->Selected = c.Selected;
            p.Paint();
        });
        EXPECT_TRUE(OnlyBoxDiffers(painted, blank, c.Box, c.Fill));
    }
}

TEST(PartitionPaint, ALaterNoteCoversAnEarlierOne) {
    const QImage sharpLast = LaidOutImage(0, [](TPartition& p) {
        p.AddNote(60, 0, 16, nullptr);
        p.AddNote(61, 0, 16, nullptr);
    });
    const QImage naturalLast = LaidOutImage(0, [](TPartition& p) {
        p.AddNote(61, 0, 16, nullptr);
        p.AddNote(60, 0, 16, nullptr);
    });
    EXPECT_EQ(ColorAt(sharpLast, 10, 52), Yellow);
    EXPECT_EQ(ColorAt(naturalLast, 10, 52), White);

    // Overlapping in time: the later box, outline and all, lies on top.
    const QImage shifted = LaidOutImage(0, [](TPartition& p) {
        p.AddNote(61, 0, 16, nullptr);
        p.AddNote(60, 8, 16, nullptr);
    });
    EXPECT_EQ(ColorAt(shifted, 10, 52), Yellow);
    EXPECT_EQ(ColorAt(shifted, 16, 52), Black);
    EXPECT_EQ(ColorAt(shifted, 32, 52), White);
    EXPECT_EQ(ColorAt(shifted, 48, 52), Black);
}

TEST(PartitionPaint, CursorIsARedLineOnScreenOnly) {
    ShownPartition shown;
    RecordingPartition& p = *shown.Partition;
    QImage screen = shown.OnScreen();
    for (int y = 0; y < 112; ++y)
        ASSERT_EQ(ColorAt(screen, 0, y), Red) << y;
    EXPECT_EQ(ColorAt(p.Image(), 0, 100), Grey);

    const qint64 image = p.Image().cacheKey();
    p.SetCursorPos(100);
    screen = shown.OnScreen();
    EXPECT_EQ(p.Image().cacheKey(), image);
    for (int y = 0; y < 112; ++y) {
        EXPECT_EQ(ColorAt(screen, 100, y), Red) << y;
        EXPECT_EQ(screen.pixel(0, y), p.Image().pixel(0, y)) << y;
    }
    // Only the old strip and the new line were painted again.
    ASSERT_EQ(p.Painted.size(), 1u);
    EXPECT_EQ(p.Painted[0], QRegion(QRect(0, 0, 1, 112)) + QRegion(QRect(100, 0, 1, 112)));

    p.SetCursorPos(101);
    screen = shown.OnScreen();
    EXPECT_EQ(ColorAt(screen, 99, 50), White);
    EXPECT_EQ(ColorAt(screen, 100, 50), White);
    EXPECT_EQ(ColorAt(screen, 101, 50), Red);
    EXPECT_EQ(p.Painted.back(), QRegion(QRect(99, 0, 3, 112)));
}

TEST(PartitionPaint, CursorPagesAndDrawsInTheNewView) {
    ShownPartition shown;
    RecordingPartition& p = *shown.Partition;
    p.SetCursorPos(768);
    EXPECT_EQ(p.FirstMesure(), 0);
    EXPECT_EQ(ColorAt(shown.OnScreen(), 768, 100), Red);

    p.SetCursorPos(770);
    ASSERT_EQ(p.FirstMesure(), 6);
    QImage screen = shown.OnScreen();
    EXPECT_EQ(ColorAt(screen, 2, 100), Red);
    EXPECT_EQ(ColorAt(screen, 768, 100), Grey);
    int red = 0;
    for (int x = 0; x < screen.width(); ++x)
        red += ColorAt(screen, x, 100) == Red;
    EXPECT_EQ(red, 1);

    p.SetCursorPos(100);
    EXPECT_EQ(p.FirstMesure(), 0);
    screen = shown.OnScreen();
    EXPECT_EQ(ColorAt(screen, 100, 100), Red);
    EXPECT_EQ(ColorAt(screen, 2, 100), White);
}

TEST(PartitionPaint, CursorOutsideTheControlIsNotVisible) {
    {
        SCOPED_TRACE("at -1 after construction");
        ShownPartition shown(false);
        EXPECT_EQ(shown.OnScreen(), shown.Partition->Image());
    }
    {
        SCOPED_TRACE("left of a view scrolled past it");
        ShownPartition shown;
        shown.Partition->SetCursorPos(100);
        shown.Partition->SetFirstMesure(1);
        EXPECT_EQ(shown.OnScreen(), shown.Partition->Image());
    }
    {
        SCOPED_TRACE("right of a control made narrower");
        ShownPartition shown;
        shown.Partition->SetCursorPos(700);
        shown.Partition->resize(600, 112);
        QApplication::processEvents();
        ASSERT_EQ(shown.Partition->Image().width(), 600);
        EXPECT_EQ(shown.OnScreen(), shown.Partition->Image());
    }
}

TEST(PartitionPaint, NothingIsDrawnWhilePaintingIsDisabled) {
    ShownPartition shown;
    RecordingPartition& p = *shown.Partition;
    const qint64 image = p.Image().cacheKey();
    p.PaintEnabled = false;
    p.AddNote(61, 0, 16, nullptr);
    p.SetFirstMesure(0);
    EXPECT_EQ(p.NoteList().size(), 1u);
    EXPECT_EQ(p.Image().cacheKey(), image);
    EXPECT_TRUE(p.Painted.empty());
    EXPECT_EQ(ColorAt(shown.OnScreen(), 10, 52), White);

    p.PaintEnabled = true;
    p.Paint();
    EXPECT_EQ(ColorAt(p.Image(), 10, 52), Yellow);
    EXPECT_EQ(ColorAt(shown.OnScreen(), 10, 52), Yellow);
    EXPECT_EQ(ColorAt(shown.OnScreen(), 0, 52), Red);
}

TEST(PartitionPaint, RubberBandIsDrawnOverTheScoreUntilTheNextPaint) {
    ShownPartition shown;
    RecordingPartition& p = *shown.Partition;
    p.SetCursorPos(400);
    p.SetRubberBand(QPoint(50, 90), QPoint(10, 20)); // dragged up and to the left
    EXPECT_EQ(p.RubberBand(), QRect(10, 20, 40, 70));
    QImage screen = shown.OnScreen();
    // Dotted: some of the outline is black, some shows the score through.
    int black = 0;
    for (int x = 11; x < 49; ++x)
        black += (ColorAt(screen, x, 20) == Black) + (ColorAt(screen, x, 89) == Black);
    for (int y = 21; y < 89; ++y)
        black += (ColorAt(screen, 10, y) == Black) + (ColorAt(screen, 49, y) == Black);
    EXPECT_GT(black, 40);
    EXPECT_LT(black, 150);
    // No fill, nothing outside the outline, and nothing in the image.
    for (QPoint at : {QPoint(30, 30), QPoint(30, 88), QPoint(50, 30), QPoint(30, 90), QPoint(9, 30),
                      QPoint(30, 19)})
        EXPECT_EQ(screen.pixel(at), p.Image().pixel(at)) << at.x() << "," << at.y();
    EXPECT_EQ(ColorAt(screen, 400, 50), Red);

    p.Paint();
    EXPECT_TRUE(p.RubberBand().isNull());
    screen = shown.OnScreen();
    for (int y = 20; y < 90; ++y)
        EXPECT_EQ(screen.pixel(10, y), p.Image().pixel(10, y)) << y;
    for (int x = 10; x < 50; ++x)
        EXPECT_EQ(screen.pixel(x, 20), p.Image().pixel(x, 20)) << x;
}

} // namespace
} // namespace kadrel
