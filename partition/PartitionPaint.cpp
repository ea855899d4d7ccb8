#include "partition/Partition.h"

#include "partition/HorizontalScale.h"
#include "partition/NoteShades.h"
#include "partition/RowTable.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>

namespace kadrel {

namespace {

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);
constexpr QRgb WhiteRgb = 0xffffffff;
constexpr QRgb BlackRgb = 0xff000000;
constexpr QRgb GreyRgb = 0xffb0b0b0;

// The staff's five lines lie on the tops of these full rows: 64, 60, 57, 53 and 50.
constexpr int TopStaffLineRow = StaffTopFullRow + 10;
constexpr int BottomStaffLineRow = StaffTopFullRow + 18;

// Zoomed out, lines closer than this are left out.
constexpr std::int64_t MinLineGap = 4;
// Space kept between two measure numbers.
constexpr int NumberGap = 4;
// Pixel rows of the marks of the notes beyond the rows shown.
constexpr int EdgeMarkHeight = 2;

// Writes straight into the image's device pixels: a rectangle of logical pixels, clipped.
class Canvas {
public:
    Canvas(QImage& image, int ratio)
        : image_(image), ratio_(ratio), width_(image.width() / ratio),
          height_(image.height() / ratio) {}

    int Width() const { return width_; }
    int Height() const { return height_; }

    void Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, QRgb colour) {
        const std::int64_t left = std::max<std::int64_t>(x, 0);
        const std::int64_t top = std::max<std::int64_t>(y, 0);
        const std::int64_t right = std::min<std::int64_t>(x + w, width_);
        const std::int64_t bottom = std::min<std::int64_t>(y + h, height_);
        if (left >= right || top >= bottom)
            return;
        for (std::int64_t row = top * ratio_; row < bottom * ratio_; ++row) {
            auto* line = reinterpret_cast<QRgb*>(image_.scanLine(static_cast<int>(row)));
            std::fill(line + left * ratio_, line + right * ratio_, colour);
        }
    }

private:
    QImage& image_;
    int ratio_;
    int width_;
    int height_;
};

// Lines at `start` and every `every` positions up to `end` (excluded), drawn where they lie
// between pixel columns 0 and `last`; `firstShown` is the position at x = 0.
template <typename Draw>
void ForEachLine(const HorizontalScale& scale, std::int64_t firstShown, std::int64_t start,
                 std::int64_t end, std::int64_t every, std::int64_t last, Draw draw) {
    // Skip the lines left of the view without visiting them one by one.
    std::int64_t g = start;
    if (g < firstShown)
        g += (firstShown - g) / every * every;
    for (; g < end; g += every) {
        const std::int64_t x = scale.XOfPos(g);
        if (x > last)
            break;
        if (x >= 0)
            draw(x);
    }
}

// The smallest power of two n for which n lengths of `len` positions span at least `pixels`.
std::int64_t StepForGap(const HorizontalScale& scale, std::int64_t len, std::int64_t pixels) {
    std::int64_t n = 1;
    while (scale.Width(n * len) < pixels && n < (std::int64_t{1} << 40))
        n *= 2;
    return n;
}

// Calls line(measure, x) for the measure lines in view from firstMeasure on, every `every`
// measure (numbered from 0) and no other.
template <typename Line>
void ForEachMeasureLine(const MeasureMap& measures, const HorizontalScale& scale,
                        std::int64_t firstMeasure, std::int64_t every, int width, Line line) {
    for (std::int64_t m = firstMeasure;; ++m) {
        const std::int64_t x = scale.XOfPos(measures.Start(m));
        if (x > width)
            break;
        if (x >= 0 && m % every == 0)
            line(m, x);
    }
}

} // namespace

void TPartition::Paint() {
    if (!PaintEnabled)
        return;
    RenderImage();
    rubberBand_ = QRect();
    repaint();
}

int TPartition::RenderRatio() const {
    return std::clamp(qRound(devicePixelRatioF()), 1, NoteRaster::MaxRatio);
}

void TPartition::RenderImage() {
    imageStale_ = false;
    const int ratio = RenderRatio();
    if (image_.size() != size() * ratio || image_.devicePixelRatio() != ratio) {
        image_ = QImage(size() * ratio, QImage::Format_RGB32);
        image_.setDevicePixelRatio(ratio);
    }
    if (image_.isNull())
        return;
    RenderGrid();
    RenderMeasureNumbers();
    RenderNotes();
}

// Lines are filled one-pixel rectangles. The staff comes first, then the vertical grid, then the
// measure lines with their marks across the staff.
void TPartition::RenderGrid() {
    Canvas canvas(image_, static_cast<int>(image_.devicePixelRatio()));
    const int w = canvas.Width();
    const int h = canvas.Height();
    const int iw = interWidth_;

    canvas.Fill(0, 0, w, h, WhiteRgb);
    for (int row = TopStaffLineRow; row <= BottomStaffLineRow; row += 2)
        canvas.Fill(0, RowTop(row - topRow_, iw), w, 1, BlackRgb);
    const int staffTop = RowTop(TopStaffLineRow - topRow_, iw);
    const int staffBottom = RowTop(BottomStaffLineRow - topRow_, iw);

    const HorizontalScale scale = Scale();
    const bool zoomedOut = zoom_ < 0;
    const auto gridLine = [&](std::int64_t x) { canvas.Fill(x, 0, 1, h, GreyRgb); };
    const bool gridShown =
        vertGridLen_ > 0 && (!zoomedOut || scale.Width(vertGridLen_) >= MinLineGap);
    if (!measures_.HasMeasures()) {
        // A zero step would be a caller's error; it draws no lines rather than dividing by zero.
        if (gridShown)
            ForEachLine(scale, firstPos_, firstPos_, LLONG_MAX, vertGridLen_, w, gridLine);
        return;
    }

    const std::int64_t firstMeasure = measures_.At(firstPos_);
    if (gridShown && measureChanges_.empty()) {
        // Uniform measures: one grid from the first measure line in view on.
        ForEachLine(scale, firstPos_, measures_.Start(firstMeasure), LLONG_MAX, vertGridLen_, w,
                    gridLine);
    } else if (gridShown) {
        // Measures of changing lengths: the grid starts again at every measure line.
        for (std::int64_t m = firstMeasure;; ++m) {
            const std::int64_t start = measures_.Start(m);
            if (scale.XOfPos(start) > w)
                break;
            ForEachLine(scale, firstPos_, start, measures_.Start(m + 1), vertGridLen_, w, gridLine);
        }
    }
    const std::int64_t every = zoomedOut ? StepForGap(scale, measures_.Shortest(), MinLineGap) : 1;
    ForEachMeasureLine(measures_, scale, firstMeasure, every, w, [&](std::int64_t, std::int64_t x) {
        canvas.Fill(x, 0, 1, h, GreyRgb);
        canvas.Fill(x, staffTop, 1, staffBottom - staffTop, BlackRgb);
    });
}

// Each measure line shown bears its measure's number two pixels to its right, on white so that
// grid lines do not run through it. Numbers never overlap: zoomed out, only every second,
// fourth... measure bears one; a view that starts inside a measure names it at its left edge when
// there is room.
void TPartition::RenderMeasureNumbers() {
    if (!measures_.HasMeasures())
        return;
    const int w = width();
    const HorizontalScale scale = Scale();
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font_);
    painter.setPen(Black);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(White);
    const QFontMetrics metrics = painter.fontMetrics();
    const int baseline = metrics.ascent();

    const std::int64_t firstMeasure = measures_.At(firstPos_);
    std::int64_t every = 1;
    if (zoom_ < 0) {
        const std::int64_t lastMeasure = measures_.At(scale.LastPosAtOrBefore(w));
        const int widest = metrics.horizontalAdvance(QString::number(lastMeasure));
        every = std::max(StepForGap(scale, measures_.Shortest(), MinLineGap),
                         StepForGap(scale, measures_.Shortest(), widest + 2 + NumberGap));
    }
    struct Label {
        int Left;
        QString Text;
    };
    std::vector<Label> labels;
    int lastRight = INT_MIN / 2;
    ForEachMeasureLine(measures_, scale, firstMeasure, every, w,
                       [&](std::int64_t m, std::int64_t x) {
                           const int left = static_cast<int>(x) + 2;
                           if (left < lastRight + NumberGap)
                               return;
                           QString text = QString::number(m);
                           lastRight = left + metrics.horizontalAdvance(text);
                           labels.push_back({left, std::move(text)});
                       });
    if (measures_.Start(firstMeasure) < firstPos_) {
        QString text = QString::number(firstMeasure);
        const int right = 2 + metrics.horizontalAdvance(text);
        if (labels.empty() || right + NumberGap <= labels.front().Left)
            labels.insert(labels.begin(), {2, std::move(text)});
    }
    for (const Label& label : labels)
        painter.drawText(label.Left, baseline, label.Text);
}

// Notes in NoteList order, a later one over an earlier one, over the faint ghost notes; a note
// above or below the rows shown leaves its mark at the edge, under the notes of the edge rows.
void TPartition::RenderNotes() {
    const int ratio = static_cast<int>(image_.devicePixelRatio());
    const int w = image_.width() / ratio;
    const int h = image_.height() / ratio;
    const int iw = interWidth_;

    raster_.Reset(w);
    // The lane of every note number (a full byte: values above 127 have none), looked up for
    // every note.
    std::array<int, 256> laneOfNote;
    laneOfNote.fill(-1);
    const int shown = std::min(RowsShown(), FullRowCount - topRow_);
    std::array<int, FullRowCount> laneOfRow;
    laneOfRow.fill(-1);
    for (int k = 0; k < shown; ++k) {
        // A box runs from its row's top + 2 down to top + IW - 1; corners in either order.
        const int y = RowTop(k, iw);
        const int top = std::min(y + 2, y + iw - 1);
        const int bottom = std::max(y + 2, y + iw - 1);
        if (top < bottom && top < h)
            laneOfRow[topRow_ + k] = raster_.AddLane(top, bottom);
    }
    int firstMarkLane = INT_MAX;
    if (edgeMarks_) {
        const int topMark = raster_.AddLane(0, std::min(EdgeMarkHeight, h));
        const int bottomMark = raster_.AddLane(std::max(h - EdgeMarkHeight, 0), h);
        firstMarkLane = topMark;
        for (int row = 0; row < topRow_; ++row)
            laneOfRow[row] = topMark;
        for (int row = topRow_ + shown; row < FullRowCount; ++row)
            laneOfRow[row] = bottomMark;
    }
    std::array<bool, 256> sharp{};
    for (int n = 0; n < 128; ++n) {
        laneOfNote[n] = laneOfRow[FullRowOfNote(n)];
        sharp[n] = IsSharp(n);
    }

    const HorizontalScale scale = Scale();
    const NoteShades& shades = NoteShades::Get();
    const auto ghostCount = static_cast<std::int64_t>(ghosts_.size());
    const auto noteCount = static_cast<std::int64_t>(notes_.size());
    // A note is drawn when it starts at or left of the right edge and ends at or right of the
    // left edge: ticks are compared first, the pixels of the notes kept worked out after.
    const std::int64_t lastStart = scale.LastTickAtOrBefore(w);
    const std::int64_t firstEnd = scale.FirstTickAtOrAfter(0);
    // Claims come from the front: notes from the last one, then the ghosts behind them. Marks
    // rank under every note and over every ghost. The right outline falls on the column of the
    // note's end.
    const std::unique_ptr<TPartitionNote>* notes = notes_.data();
    for (std::int64_t i = noteCount - 1; i >= 0; --i) {
        const TPartitionNote& note = *notes[i];
        const std::int64_t start = note.Pos;
        const std::int64_t end = start + note.Len;
        if (start > lastStart || end < firstEnd)
            continue;
        const int lane = laneOfNote[note.NoteNum];
        if (lane < 0 || raster_.Full(lane))
            continue;
        const std::int64_t x1 = scale.XOfTick(start);
        const std::int64_t x2 = scale.XOfTick(end) + 1;
        QRgb fill;
        QRgb outline;
        std::int64_t priority;
        if (lane >= firstMarkLane) {
            fill = outline = note.Selected ? BlackRgb : shades.Mark;
            priority = ghostCount + i;
        } else {
            const NoteShades::Shade& shade = shades.Of(note.Velocity);
            outline = shade.Outline;
            fill = note.Selected ? shade.Outline : sharp[note.NoteNum] ? shade.SharpFill : WhiteRgb;
            priority = ghostCount + noteCount + i;
        }
        raster_.Claim(lane, std::min(x1, x2), std::max(x1, x2), fill, outline, priority);
    }
    for (std::int64_t j = ghostCount - 1; j >= 0; --j) {
        const TGhostNote& ghost = ghosts_[j];
        const std::int64_t start = ghost.Pos;
        const std::int64_t end = start + ghost.Len;
        const int lane = laneOfNote[ghost.NoteNum];
        if (start > lastStart || end < firstEnd || lane < 0 || lane >= firstMarkLane ||
            raster_.Full(lane))
            continue;
        const std::int64_t x1 = scale.XOfTick(start);
        const std::int64_t x2 = scale.XOfTick(end) + 1;
        raster_.Claim(lane, std::min(x1, x2), std::max(x1, x2), shades.GhostFill,
                      shades.GhostOutline, j);
    }
    raster_.Compose(image_, ratio);
}

void TPartition::paintEvent(QPaintEvent* event) {
    // A new size or spacing reaches the image here, the first time the platform repaints.
    if (PaintEnabled && (imageStale_ || image_.size() != size() * RenderRatio())) {
        RenderImage();
        rubberBand_ = QRect();
    }

    QPainter painter(this);
    const auto ratio = static_cast<int>(image_.devicePixelRatio());
    const QRect imageRect(QPoint(0, 0), image_.size() / ratio);
    // One rectangle at a time: under a clip of several rectangles (the old cursor strip and the
    // new line) Qt blends images through its worker threads, which costs a hundred times the
    // copy of a few columns.
    for (const QRect& r : event->region()) {
        const QRect fromImage = r & imageRect;
        if (!fromImage.isEmpty()) {
            painter.setClipRect(fromImage);
            painter.drawImage(fromImage.topLeft(), image_,
                              QRect(fromImage.topLeft() * ratio, fromImage.size() * ratio));
        }
    }
    painter.setClipping(false);
    // Only while painting is held back can the image be smaller than the control.
    for (const QRect& r : event->region() - imageRect)
        painter.fillRect(r, White);

    const std::int64_t cursorX = CursorX(cursorPos_);
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
