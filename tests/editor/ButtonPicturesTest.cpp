#include "editor/ButtonPictures.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace kadrel::test {
namespace {

QImage PictureAt(Picture picture, qreal ratio) {
    const QPixmap pixmap = ButtonPicture(picture).pixmap(QSize(16, 16), ratio);
    EXPECT_EQ(pixmap.devicePixelRatio(), ratio);
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(ButtonPictures, SixteenPixelPicturesAreUnchangedAndTwiceAsFineAt200Percent) {
    struct Case {
        Picture Which;
        std::uint64_t At16; // FNV-1a of the 16 x 16 pixels as they always were
        bool Rectangles;    // drawn of rectangles only: at 2x each pixel becomes a 2 x 2 block
    };
    const Case cases[] = {
        {Picture::BackBegin, 0x23b4dabc5c8ce862ull, true},
        {Picture::Back2, 0x79cef378a1063d91ull, true},
        {Picture::Back1, 0x83383ea9d831c4dbull, true},
        {Picture::Play, 0x0eee5295f7066078ull, false},
        {Picture::StopPlay, 0x426af1a299832f75ull, true},
        {Picture::PausePlay, 0xf1887ad0f8a26cc5ull, true},
        {Picture::Forw1, 0x59d4a312cf646bdbull, true},
        {Picture::Forw2, 0x2301a0bb9b2d7691ull, true},
        {Picture::ForwEnd, 0x49d06801e73c88e2ull, true},
        {Picture::ModeSelect, 0xde26199498d288c5ull, false},
        {Picture::ModeNote, 0xc9b33f640c67f3c5ull, false},
        {Picture::ModeDieze, 0x8fba4ac053b85548ull, false},
        {Picture::GridLess, 0xa5aab98a84db19cdull, true},
        {Picture::GridPlus, 0x8d499a78527a1785ull, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Which));
        const QImage small = PictureAt(c.Which, 1.0);
        ASSERT_EQ(small.size(), QSize(16, 16));
        std::uint64_t hash = 14695981039346656037ull;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                for (int b = 0; b < 4; ++b)
                    hash = (hash ^ ((small.pixel(x, y) >> (8 * b)) & 0xff)) * 1099511628211ull;
            }
        }
        EXPECT_EQ(hash, c.At16);

        const QImage sharp = PictureAt(c.Which, 2.0);
        ASSERT_EQ(sharp.size(), QSize(32, 32));
        // Blocks of four device pixels all showing the small picture's pixel, and blocks whose
        // pixels differ: an edge finer than the small picture could draw.
        int same = 0;
        int finer = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb a = sharp.pixel(2 * x, 2 * y);
                const bool uniform = a == sharp.pixel(2 * x + 1, 2 * y) &&
                                     a == sharp.pixel(2 * x, 2 * y + 1) &&
                                     a == sharp.pixel(2 * x + 1, 2 * y + 1);
                same += uniform && a == small.pixel(x, y);
                finer += !uniform;
            }
        }
        EXPECT_EQ(same == 256, c.Rectangles);
        EXPECT_EQ(finer > 0, !c.Rectangles);
        EXPECT_GT(same, 256 * 9 / 10);
    }
}

} // namespace
} // namespace kadrel::test
