#include "PartitionTestSupport.h"

#include <QApplication>

namespace kadrel {
namespace {

using namespace testing;

// Run on a screen at 100 % and, by its own CTest entry, at 200 % (QT_SCALE_FACTOR=2): the score
// is rendered in the screen's device pixels and copied to it one for one.
TEST(PartitionScreenResolution, TheScoreIsPaintedInDevicePixels) {
    const int ratio = qRound(qApp->devicePixelRatio());
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") {
        ASSERT_EQ(ratio, 2);
    }
    ShownPartition shown;
    TPartition& p = *shown.Partition;
    p.AddNote(60, 0, 16, nullptr);
    p.SetCursorPos(100);
    const QImage& image = p.Image();
    ASSERT_EQ(image.size(), QSize(849, 112) * ratio);
    ASSERT_EQ(image.devicePixelRatio(), ratio);

    // Every logical pixel of the drawing is a block of device pixels of one colour.
    const auto block = [ratio](const QImage& device, QPoint logical) {
        const QRgb first = device.pixel(logical * ratio);
        for (int dy = 0; dy < ratio; ++dy) {
            for (int dx = 0; dx < ratio; ++dx) {
                if (device.pixel(logical.x() * ratio + dx, logical.y() * ratio + dy) != first)
                    return std::string("mixed");
            }
        }
        return QColor(first).name().toStdString();
    };
    const std::pair<QPoint, std::string> drawn[] = {
        {{32, 100}, Grey},  {{33, 100}, White}, {{0, 50}, Black},
        {{32, 54}, Black},  {{10, 52}, White},  {{10, 40}, Black},
        {{128, 45}, Black}, {{128, 100}, Grey}, {{33, 55}, White},
    };
    for (const auto& [at, colour] : drawn)
        EXPECT_EQ(block(image, at), colour) << at.x() << "," << at.y();

    // What reaches the screen: the image, with the cursor as wide as one logical pixel.
    const QImage screen = p.grab().toImage();
    ASSERT_EQ(screen.size(), image.size());
    EXPECT_EQ(block(screen, QPoint(100, 30)), Red);
    EXPECT_EQ(block(screen, QPoint(99, 30)), White);
    EXPECT_EQ(block(screen, QPoint(101, 30)), White);
    EXPECT_EQ(screen.pixel(64 * ratio + 1, 100 * ratio), image.pixel(64 * ratio + 1, 100 * ratio));

    // The measure numbers are drawn at the screen's resolution: at 200 % some of their logical
    // pixels are part black, part white.
    int mixed = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 2; x < 14; ++x)
            mixed += block(image, QPoint(x, y)) == "mixed";
    }
    EXPECT_EQ(mixed > 0, ratio > 1);
}

} // namespace
} // namespace kadrel
