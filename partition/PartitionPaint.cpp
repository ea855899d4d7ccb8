#include "partition/Partition.h"

#include "partition/RowTable.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace kadrel {

namespace {

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Grey(176, 176, 176);
const QColor Yellow(255, 255, 0);
const QColor Red(255, 0, 0);

// The staff's five lines lie on these multiples of the spacing, counted from the top.
constexpr int TopStaffLine = 5;
constexpr int BottomStaffLine = 9;

// A box from (left, top) to (right, bottom), right column and bottom row excluded, with a black
// one-pixel outline. Corners given in either order describe the same box.
void DrawBox(QPainter& painter, std::int64_t x1, int y1, std::int64_t x2, int y2,
             const QColor& fill, int imageWidth) {
    const std::int64_t left = std::min(x1, x2);
    const std::int64_t right = std::max(x1, x2);
    const int top = std::min(y1, y2);
    const int bottom = std::max(y1, y2);
    if (left == right || top == bottom)
        return;
    // Long notes reach far beyond the image; one pixel past each edge keeps an outline that lies
    // outside it outside, without overflowing QRect.
    const int l = static_cast<int>(std::max<std::int64_t>(left, -1));
    const int r = static_cast<int>(std::min<std::int64_t>(right, imageWidth + 1));
    const int w = r - l;
    const int h = bottom - top;
    painter.fillRect(l, top, w, h, Black);
    if (w > 2 && h > 2 && fill != Black)
        painter.fillRect(l + 1, top + 1, w - 2, h - 2, fill);
}

} // namespace

void TPartition::Paint() {
    if (!PaintEnabled)
        return;
    RenderImage();
    rubberBand_ = QRect();
    repaint();
}

void TPartition::RenderImage() {
    imageStale_ = false;
    if (image_.size() != size())
        image_ = QImage(size(), QImage::Format_RGB32);
    if (image_.isNull())
        return;
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    RenderGrid(painter);
    RenderNotes(painter);
}

// Lines are filled one-pixel rectangles: a line from a start point to an end point covers the
// start and stops just before the end.
void TPartition::RenderGrid(QPainter& painter) {
    const int w = image_.width();
    const int h = image_.height();
    const int iw = interWidth_;
    const int sw = smallestWidth_;

    painter.fillRect(0, 0, w, h, White);
    for (int line = TopStaffLine; line <= BottomStaffLine; ++line)
        painter.fillRect(0, line * iw, w, 1, Black);

    // The lines start at x = 0 whatever the scroll: the view always starts on a measure line.
    // A zero step would be a caller's error; it draws no lines rather than dividing by zero.
    if (vertGridLen_ != 0) {
        const int step = sw * vertGridLen_;
        const int last = w / step;
        for (int i = 0; i <= last; ++i)
            painter.fillRect(i * step, 0, 1, h, Grey);
    }

    if (mesureLen_ != 0) {
        painter.setFont(font_);
        painter.setPen(Black);
        // Measure numbers sit on white so that grid lines do not run through them.
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(White);
        const int baseline = painter.fontMetrics().ascent();
        const int step = sw * mesureLen_;
        const int last = w / step;
        for (int d = 0; d <= last; ++d) {
            const int x = d * step;
            painter.fillRect(x, 0, 1, h, Grey);
            painter.fillRect(x, TopStaffLine * iw, 1, (BottomStaffLine - TopStaffLine) * iw, Black);
            painter.drawText(x + 2, baseline, QString::number(std::int64_t{firstMesure_} + d));
        }
    }
}

void TPartition::RenderNotes(QPainter& painter) {
    const int w = image_.width();
    const int iw = interWidth_;
    const std::int64_t sw = smallestWidth_;
    const std::int64_t lastVisiblePos = w / sw;
    // In list order, so that a note added later covers the ones under it.
    for (const auto& note : notes_) {
        const std::int64_t start = std::int64_t{note->Pos} - firstPos_;
        const std::int64_t end = start + note->Len;
        if (start > lastVisiblePos || end < 0)
            continue;
        const int row = RowOfNote(note->NoteNum);
        if (row < 0)
            continue;
        const int y = RowTop(row, iw);
        const QColor& fill = note->Selected ? Black : IsSharp(note->NoteNum) ? Yellow : White;
        // The right outline falls on the column of the note's end position.
        DrawBox(painter, start * sw, y + 2, end * sw + 1, y + iw - 1, fill, w);
    }
}

void TPartition::paintEvent(QPaintEvent* event) {
    // A new size or spacing reaches the image here, the first time the platform repaints.
    if (PaintEnabled && (imageStale_ || image_.size() != size())) {
        RenderImage();
        rubberBand_ = QRect();
    }

    QPainter painter(this);
    const QRect imageRect = image_.rect();
    // One rectangle at a time: under a clip of several rectangles (the old cursor strip and the
    // new line) Qt blends images through its worker threads, which costs a hundred times the
    // copy of a few columns.
    for (const QRect& r : event->region()) {
        const QRect fromImage = r & imageRect;
        if (!fromImage.isEmpty()) {
            painter.setClipRect(fromImage);
            painter.drawImage(fromImage.topLeft(), image_, fromImage);
        }
    }
    painter.setClipping(false);
    // Only while painting is held back can the image be smaller than the control.
    for (const QRect& r : event->region() - imageRect)
        painter.fillRect(r, White);

    const std::int64_t cursorX = std::int64_t{cursorPos_} - firstPixel_;
    if (cursorX >= 0 && cursorX < width())
        painter.fillRect(static_cast<int>(cursorX), 0, 1, height(), Red);

    if (!rubberBand_.isNull()) {
        QPen pen(Black, 1, Qt::DotLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // A stroked QRect covers one column and one row more than its size.
        painter.drawRect(rubberBand_.adjusted(0, 0, -1, -1));
    }
}

void TPartition::SetRubberBand(const QPoint& From, const QPoint& To) {
    const QRect old = rubberBand_;
    const int left = std::min(From.x(), To.x());
    const int right = std::max(From.x(), To.x());
    const int top = std::min(From.y(), To.y());
    const int bottom = std::max(From.y(), To.y());
    // The far corner's column and row are excluded, like a note box; a band without width or
    // height shows nothing.
    rubberBand_ =
        (left == right || top == bottom) ? QRect() : QRect(left, top, right - left, bottom - top);
    const QRect dirty = (old | rubberBand_) & rect();
    if (!dirty.isEmpty())
        repaint(dirty);
}

void TPartition::ClearRubberBand() {
    const QRect old = rubberBand_ & rect();
    rubberBand_ = QRect();
    if (!old.isEmpty())
        repaint(old);
}

} // namespace kadrel
