#include "editor/ButtonPictures.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace kadrel {

namespace {

// The standard colours the pictures are drawn in.
const QColor Black(0, 0, 0);
const QColor Navy(0, 0, 128);
const QColor Blue(0, 0, 255);
const QColor Green(0, 128, 0);
const QColor Lime(0, 255, 0);
const QColor Gray(128, 128, 128);
const QColor Red(255, 0, 0);

// A chevron pointing right whose tip is at (x + 4, 8), with a navy shade along its lower edge.
void ChevronRight(QPainter& p, int x) {
    for (int i = 0; i < 5; ++i) {
        p.fillRect(x + i, 3 + i, 3, 1, Blue);
        p.fillRect(x + i, 13 - i, 3, 1, Blue);
    }
    p.fillRect(x + 4, 8, 3, 1, Blue);
    for (int i = 0; i < 5; ++i)
        p.fillRect(x + i + 1, 14 - i, 2, 1, Navy);
}

void ChevronLeft(QPainter& p, int x) {
    for (int i = 0; i < 5; ++i) {
        p.fillRect(x + 4 - i, 3 + i, 3, 1, Blue);
        p.fillRect(x + 4 - i, 13 - i, 3, 1, Blue);
    }
    p.fillRect(x, 8, 3, 1, Blue);
    for (int i = 0; i < 5; ++i)
        p.fillRect(x + 4 - i, 14 - i, 2, 1, Navy);
}

void Bar(QPainter& p, int x) {
    p.fillRect(x, 3, 2, 11, Blue);
    p.fillRect(x + 2, 4, 1, 11, Navy);
}

void QuarterNote(QPainter& p, int x, int y) {
    p.setPen(Qt::NoPen);
    p.setBrush(Black);
    p.drawEllipse(QRect(x, y + 8, 5, 4));
    p.fillRect(x + 4, y, 1, 10, Black);
}

void Sharp(QPainter& p, int x, int y) {
    p.fillRect(x + 1, y, 1, 6, Black);
    p.fillRect(x + 3, y, 1, 6, Black);
    p.fillRect(x, y + 1, 5, 1, Black);
    p.fillRect(x, y + 4, 5, 1, Black);
}

void Flat(QPainter& p, int x, int y) {
    p.fillRect(x, y, 1, 6, Black);
    p.fillRect(x + 1, y + 3, 2, 1, Black);
    p.fillRect(x + 3, y + 4, 1, 1, Black);
    p.fillRect(x + 1, y + 5, 2, 1, Black);
}

// The picture on a grid of 16 x 16 cells of `scale` device pixels each: the shapes are drawn
// at the device's resolution, so that a screen scaled to 200 % shows them sharp.
QImage Draw(Picture picture, int scale) {
    QImage image(16 * scale, 16 * scale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(scale, scale);
    switch (picture) {
    case Picture::BackBegin:
        Bar(p, 3);
        ChevronLeft(p, 7);
        break;
    case Picture::Back2:
        ChevronLeft(p, 2);
        ChevronLeft(p, 8);
        break;
    case Picture::Back1:
        ChevronLeft(p, 5);
        break;
    case Picture::Forw1:
        ChevronRight(p, 5);
        break;
    case Picture::Forw2:
        ChevronRight(p, 2);
        ChevronRight(p, 8);
        break;
    case Picture::ForwEnd:
        ChevronRight(p, 2);
        Bar(p, 11);
        break;
    case Picture::Play: {
        p.setPen(Qt::NoPen);
        p.setBrush(Green);
        p.drawPolygon(QPolygon({QPoint(5, 3), QPoint(13, 9), QPoint(5, 15)}));
        p.setBrush(Lime);
        p.drawPolygon(QPolygon({QPoint(4, 2), QPoint(12, 8), QPoint(4, 14)}));
        break;
    }
    case Picture::StopPlay:
        p.fillRect(5, 5, 9, 9, Navy);
        p.fillRect(4, 4, 8, 8, Blue);
        break;
    case Picture::PausePlay:
        p.fillRect(5, 4, 3, 10, Gray);
        p.fillRect(10, 4, 3, 10, Gray);
        p.fillRect(4, 3, 3, 10, Black);
        p.fillRect(9, 3, 3, 10, Black);
        break;
    case Picture::ModeSelect: {
        p.setPen(Qt::NoPen);
        p.setBrush(Black);
        p.drawPolygon(QPolygon({QPoint(4, 1), QPoint(4, 13), QPoint(7, 10), QPoint(9, 15),
                                QPoint(11, 14), QPoint(9, 9), QPoint(13, 9)}));
        break;
    }
    case Picture::ModeNote:
        QuarterNote(p, 5, 2);
        break;
    case Picture::ModeDieze:
        Sharp(p, 1, 1);
        Flat(p, 2, 9);
        QuarterNote(p, 8, 2);
        break;
    case Picture::GridLess:
        for (int x = 2; x < 16; x += 4)
            p.fillRect(x, 2, 1, 12, Black);
        p.fillRect(1, 7, 14, 2, Red);
        break;
    case Picture::GridPlus:
        p.fillRect(2, 2, 1, 12, Black);
        p.fillRect(13, 2, 1, 12, Black);
        p.fillRect(5, 7, 6, 2, Lime);
        p.fillRect(7, 5, 2, 6, Lime);
        break;
    }
    return image;
}

} // namespace

QIcon ButtonPicture(Picture picture) {
    QIcon icon(QPixmap::fromImage(Draw(picture, 1)));
    QImage sharp = Draw(picture, 2);
    sharp.setDevicePixelRatio(2);
    icon.addPixmap(QPixmap::fromImage(sharp));
    return icon;
}

} // namespace kadrel
