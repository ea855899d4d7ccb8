#include "partition/Partition.h"

#include "partition/HorizontalScale.h"
#include "partition/RowTable.h"

#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kadrel {

namespace {

// Staff spacings per control height: the rows reach down to note 36, whose row starts 13
// spacings from the top.
constexpr int HeightInSpacings = 14;

// Rows scrolled by one wheel notch with Alt: one staff spacing.
constexpr int RowsPerNotch = 2;

constexpr std::int64_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t Int32Min = std::numeric_limits<std::int32_t>::min();

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp(value, Int32Min, Int32Max));
}

TShiftState ShiftOf(const QMouseEvent* event, bool doubleClick = false) {
    const Qt::KeyboardModifiers keys =
        event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    return TShiftState{keys, event->buttons(), doubleClick};
}

// The pixel under the pointer; positions between pixels belong to the pixel on their left.
QPoint PixelOf(const QPointF& p) {
    return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

// Wheel turns gathered into whole notches (120 each); the rest waits for the next turn.
int TakeNotches(int& remainder, int amount) {
    constexpr int Notch = QWheelEvent::DefaultDeltasPerStep;
    remainder += amount;
    const int notches = remainder / Notch;
    remainder -= notches * Notch;
    return notches;
}

int Log2Floor(int value) {
    int log = 0;
    while ((value >> (log + 1)) != 0)
        ++log;
    return log;
}

} // namespace

TPartition::TPartition(QWidget* parent) : QWidget(parent), topRow_(StaffTopFullRow) {
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Crisp black digits on white, the same on every screen.
    font_.setStyleStrategy(QFont::NoAntialias);
    measures_.Set(mesureLen_, measureChanges_);
    resize(300, HeightInSpacings * interWidth_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // paintEvent covers every pixel it is asked for, so the parent need not be painted beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The owner follows the pointer with no button held too (the row under it, for example).
    setMouseTracking(true);
}

TPartition::~TPartition() = default;

QSize TPartition::sizeHint() const {
    return QSize(300, HeightInSpacings * interWidth_);
}

HorizontalScale TPartition::Scale() const {
    return HorizontalScale(smallestWidth_, zoom_, firstPos_, division_);
}

void TPartition::SetInterWidth(std::uint8_t value) {
    interWidth_ = std::max<std::uint8_t>(value, 1);
    resize(width(), HeightInSpacings * interWidth_);
    updateGeometry();
    topRow_ = std::min(topRow_, MaxTopRow());
    imageStale_ = true;
    update();
}

void TPartition::SetSmallestWidth(std::uint8_t value) {
    smallestWidth_ = std::max<std::uint8_t>(value, 1);
    zoom_ = std::clamp(zoom_, MinZoomLevel(), MaxZoomLevel());
    Paint();
}

void TPartition::SetLargePosLen(std::uint8_t value) {
    largePosLen_ = std::max<std::uint8_t>(value, 1);
}

void TPartition::SetMesureLen(std::int32_t value) {
    mesureLen_ = value;
    measures_.Set(mesureLen_, measureChanges_);
    Paint();
}

void TPartition::SetVertGridLen(std::int32_t value) {
    vertGridLen_ = value;
    Paint();
}

void TPartition::SetMeasureMap(const std::vector<TMeasureChange>& changes) {
    measureChanges_ = changes;
    measures_.Set(mesureLen_, measureChanges_);
    firstMesure_ = ClampToInt32(measures_.At(firstPos_));
    Paint();
}

std::int64_t TPartition::MeasureStart(std::int64_t measure) const {
    return measures_.Start(measure);
}

std::int64_t TPartition::MeasureAt(std::int64_t position) const {
    return measures_.At(position);
}

void TPartition::SetFirstMesure(std::int32_t value) {
    firstMesure_ = std::max(value, 0);
    const std::int64_t first = measures_.HasMeasures() ? measures_.Start(firstMesure_)
                                                       : std::int64_t{firstMesure_} * mesureLen_;
    firstPos_ = ClampToInt32(first);
    firstPixel_ = ClampToInt32(std::int64_t{firstPos_} * smallestWidth_);
    Paint();
    ViewChanged();
}

void TPartition::SetView(std::int64_t firstPos) {
    firstPos_ = ClampToInt32(std::max<std::int64_t>(firstPos, 0));
    firstMesure_ = ClampToInt32(measures_.At(firstPos_));
    firstPixel_ = ClampToInt32(std::int64_t{firstPos_} * smallestWidth_);
    Paint();
    ViewChanged();
}

void TPartition::ViewChanged() {
    if (const auto handler = OnViewChange)
        handler(this);
}

void TPartition::ScrollMeasures(int steps) {
    if (steps == 0)
        return;
    if (!measures_.HasMeasures() || zoom_ <= 0) {
        // Whole measures: as many per step as make up the width of one at the normal zoom.
        const std::int64_t perStep = std::int64_t{1} << std::max(-zoom_, 0);
        std::int64_t current = firstMesure_;
        if (measures_.HasMeasures() && measures_.Start(current) != firstPos_) {
            // A view that starts inside a measure: back goes to that measure's start first.
            current = measures_.At(firstPos_);
            if (steps < 0)
                ++current;
        }
        SetFirstMesure(
            ClampToInt32(std::clamp<std::int64_t>(current + steps * perStep, 0, Int32Max)));
        return;
    }
    // Zoomed in, a step is a part of a measure as wide as a measure is at the normal zoom; the
    // parts of a measure start at its line.
    std::int64_t pos = firstPos_;
    for (int i = 0; i < std::abs(steps); ++i) {
        std::int64_t m = measures_.At(pos);
        std::int64_t start = measures_.Start(m);
        if (steps > 0) {
            const std::int64_t len = measures_.Len(m);
            const std::int64_t part = std::max<std::int64_t>(1, len >> zoom_);
            pos = std::min(start + ((pos - start) / part + 1) * part, start + len);
        } else if (pos > start) {
            const std::int64_t part = std::max<std::int64_t>(1, measures_.Len(m) >> zoom_);
            pos = start + (pos - start - 1) / part * part;
        } else if (m > 0) {
            --m;
            start = measures_.Start(m);
            const std::int64_t len = measures_.Len(m);
            const std::int64_t part = std::max<std::int64_t>(1, len >> zoom_);
            pos = start + (len - 1) / part * part;
        }
    }
    SetView(std::min(pos, Int32Max));
}

void TPartition::SetDivision(int ticksPerQuarter) {
    division_ = std::clamp(ticksPerQuarter, 1, 32767);
    Paint();
}

int TPartition::MinZoomLevel() const {
    // SmallestWidth * 2^level >= 1/16
    return std::min(0, -ZoomSteps - Log2Floor(smallestWidth_));
}

int TPartition::MaxZoomLevel() const {
    // SmallestWidth * 2^level <= 16
    int level = 0;
    while ((smallestWidth_ << (level + 1)) <= (1 << ZoomSteps))
        ++level;
    return level;
}

void TPartition::SetZoomLevel(int level, std::int32_t aboutX) {
    level = std::clamp(level, MinZoomLevel(), MaxZoomLevel());
    if (level == zoom_)
        return;
    // The time under aboutX: FirstPos + aboutX / (SmallestWidth * 2^zoom).
    const auto positionsPerPixel = [this](int z) { return std::ldexp(1.0L / smallestWidth_, -z); };
    const long double under = firstPos_ + aboutX * positionsPerPixel(zoom_);
    zoom_ = level;
    SetView(std::llround(under - aboutX * positionsPerPixel(zoom_)));
}

int TPartition::RowsShown() const {
    const int byHeight = 2 * height() / interWidth_ - 1;
    return std::clamp(byHeight, RowCount, FullRowCount);
}

int TPartition::MaxTopRow() const {
    return std::max(0, FullRowCount - RowsShown());
}

void TPartition::SetTopRow(int fullRow) {
    fullRow = std::clamp(fullRow, 0, MaxTopRow());
    if (fullRow == topRow_)
        return;
    topRow_ = fullRow;
    Paint();
    ViewChanged();
}

std::uint8_t TPartition::TopNote() const {
    return NaturalNoteOfFullRow(topRow_);
}

void TPartition::SetTopNote(std::uint8_t noteNum) {
    SetTopRow(FullRowOfNote(std::min<int>(noteNum, 127)));
}

void TPartition::ScrollRows(int delta) {
    SetTopRow(topRow_ + delta);
}

void TPartition::ShowNoteRange(std::uint8_t lowest, std::uint8_t highest) {
    const int low = std::min<int>(std::min(lowest, highest), 127);
    const int high = std::min<int>(std::max(lowest, highest), 127);
    const int topMost = FullRowOfNote(high);
    const int bottomMost = FullRowOfNote(low);
    const int shown = RowsShown();
    int top = StaffTopFullRow;
    if (topMost >= top && bottomMost < top + shown) {
        // Where the staff belongs.
    } else if (bottomMost - topMost < shown) {
        top = std::clamp(top, bottomMost - shown + 1, topMost);
    } else {
        top = (topMost + bottomMost + 1) / 2 - shown / 2;
    }
    SetTopRow(top);
}

void TPartition::SetEdgeMarks(bool on) {
    edgeMarks_ = on;
    Paint();
}

void TPartition::SetGhostNotes(std::vector<TGhostNote> notes) {
    ghosts_ = std::move(notes);
    Paint();
}

void TPartition::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A taller control shows more rows; once it shows every row down to note 0, more height
    // shows more rows above.
    topRow_ = std::min(topRow_, MaxTopRow());
}

void TPartition::wheelEvent(QWheelEvent* event) {
    // One notch is 120. Turning away from the user (or a horizontal wheel to the left) goes back
    // in the song, up the rows or closer in; a horizontal turn wins over a vertical one. With Alt
    // held the platform reports a vertical turn as a horizontal one.
    const QPoint turn = event->angleDelta();
    const int amount = turn.x() != 0 ? turn.x() : turn.y();
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (keys & Qt::ControlModifier) {
        if (const int notches = TakeNotches(zoomWheelRemainder_, amount); notches != 0)
            SetZoomLevel(zoom_ + notches, PixelOf(event->position()).x());
    } else if (keys & Qt::AltModifier) {
        if (const int notches = TakeNotches(rowWheelRemainder_, amount); notches != 0)
            ScrollRows(-notches * RowsPerNotch);
    } else {
        if (const int notches = TakeNotches(wheelRemainder_, amount); notches != 0)
            ScrollMeasures(-notches);
    }
    event->accept();
}

void TPartition::keyPressEvent(QKeyEvent* event) {
    if ((event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0) {
        switch (event->key()) {
        case Qt::Key_Up:
            ScrollRows(-1);
            return;
        case Qt::Key_Down:
            ScrollRows(1);
            return;
        case Qt::Key_PageUp:
            ScrollRows(-std::max(1, RowsShown() - 2));
            return;
        case Qt::Key_PageDown:
            ScrollRows(std::max(1, RowsShown() - 2));
            return;
        case Qt::Key_Left:
            ScrollMeasures(-1);
            return;
        case Qt::Key_Right:
            ScrollMeasures(1);
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

std::int64_t TPartition::CursorX(std::int64_t cursorPixel) const {
    return Scale().FromNormal(cursorPixel - firstPixel_);
}

std::int64_t TPartition::LastWholeMeasureEnd() const {
    // The last measure line at or before the control's right edge; a partial measure at the
    // right edge does not count. A measure wider than the view fills it.
    const HorizontalScale scale = Scale();
    const std::int64_t w = width();
    const std::int64_t line = measures_.Start(measures_.At(scale.LastPosAtOrBefore(w)));
    return line > firstPos_ ? scale.XOfPos(line) : w - 1;
}

void TPartition::PageTo(std::int64_t cursorPixel) {
    const std::int64_t position = std::max<std::int64_t>(FloorDiv(cursorPixel, smallestWidth_), 0);
    const std::int64_t measure = measures_.At(position);
    const std::int64_t start = measures_.Start(measure);
    const HorizontalScale scale = Scale();
    if (scale.FromNormal(measures_.Len(measure) * smallestWidth_) <= width()) {
        SetFirstMesure(ClampToInt32(measure));
        return;
    }
    const std::int64_t view = scale.PositionsIn(width());
    SetView(start + (position - start) / view * view);
}

void TPartition::SetCursorPos(std::int32_t value) {
    // Page when the cursor leaves the whole measures in view, so that the measure holding it
    // becomes the first one shown.
    if (measures_.HasMeasures()) {
        const std::int64_t inView = CursorX(value);
        if (inView < 0 || inView > LastWholeMeasureEnd())
            PageTo(value);
    }

    // Only the old column's strip and the new line are repainted; the image stays as it is.
    const std::int64_t oldX = CursorX(cursorPos_);
    const std::int64_t newX = CursorX(value);
    cursorPos_ = value;
    QRegion dirty;
    if (oldX >= 0 && oldX <= width())
        dirty += QRect(static_cast<int>(oldX) - 1, 0, 2, height());
    if (newX >= 0 && newX < width())
        dirty += QRect(static_cast<int>(newX), 0, 1, height());
    dirty &= rect();
    if (!dirty.isEmpty())
        repaint(dirty);
}

std::int32_t TPartition::CursorPosition() const {
    return ClampToInt32(FloorDiv(cursorPos_, smallestWidth_));
}

void TPartition::SetCursorPosition(std::int64_t position) {
    SetCursorPos(ClampToInt32(position * smallestWidth_));
}

TPartitionNote* TPartition::AddNote(std::uint8_t NoteNum, std::int32_t Pos, std::int32_t Len,
                                    const void* Data, std::uint8_t Velocity) {
    notes_.push_back(
        std::make_unique<TPartitionNote>(TPartitionNote{NoteNum, Len, Pos, Data, false, Velocity}));
    TPartitionNote* note = notes_.back().get();
    Paint();
    return note;
}

void TPartition::ClearNotes() {
    notes_.clear();
    Paint();
}

void TPartition::ClearSelection() {
    for (const auto& note : notes_)
        note->Selected = false;
    Paint();
}

void TPartition::RemoveNote(TPartitionNote* Note) {
    TakeNote(Note);
    Paint();
}

std::unique_ptr<TPartitionNote> TPartition::TakeNote(TPartitionNote* Note) {
    if (Note == nullptr)
        return nullptr;
    const auto it = std::find_if(notes_.begin(), notes_.end(),
                                 [Note](const auto& candidate) { return candidate.get() == Note; });
    if (it == notes_.end())
        return nullptr;
    std::unique_ptr<TPartitionNote> taken = std::move(*it);
    notes_.erase(it);
    return taken;
}

TPartition::NoteVector TPartition::TakeSelectedNotes() {
    NoteVector taken;
    for (auto it = notes_.rbegin(); it != notes_.rend(); ++it) {
        if ((*it)->Selected)
            taken.push_back(std::move(*it));
    }
    std::erase(notes_, nullptr);
    return taken;
}

std::uint8_t TPartition::NoteNumAtY(std::int32_t Y) const {
    const std::int64_t band = BandAtY(Y, interWidth_);
    if (band < 0 || band >= RowsShown() || topRow_ + band >= FullRowCount)
        return 0;
    return NaturalNoteOfFullRow(topRow_ + static_cast<int>(band));
}

TPartitionNote* TPartition::NoteInCell(std::int64_t lo, std::int64_t hi, std::int64_t unitsPerPos,
                                       int noteNum) const {
    // A tick t lies at t * 16 / Division positions, that is t * 16 * unitsPerPos / Division units.
    const std::int64_t scale = HorizontalScale::GridPerQuarter * unitsPerPos;
    const std::int64_t loTicks = lo * division_;
    const std::int64_t hiTicks = hi * division_;
    for (const auto& note : notes_) {
        if (note->NoteNum == noteNum && note->Pos * scale < hiTicks &&
            (std::int64_t{note->Pos} + note->Len) * scale >= loTicks)
            return note.get();
    }
    return nullptr;
}

TPartitionNote* TPartition::NoteOnRowInCell(std::int64_t lo, std::int64_t hi,
                                            std::int64_t unitsPerPos,
                                            std::uint8_t naturalNote) const {
    if (TPartitionNote* note = NoteInCell(lo, hi, unitsPerPos, naturalNote))
        return note;
    // A press on a row finds the sharp drawn there too; on the rows without a sharp this is the
    // natural note a semitone up, which is what the user sees on the row just above.
    return NoteInCell(lo, hi, unitsPerPos, naturalNote + 1);
}

TPartitionNote* TPartition::NoteAt(std::int32_t Pos, std::uint8_t NoteNum) const {
    return NoteOnRowInCell(Pos, std::int64_t{Pos} + 1, 1, NoteNum);
}

TPartitionNote* TPartition::NoteAtPoint(std::int32_t X, std::int32_t Y) const {
    const std::int64_t band = BandAtY(Y, interWidth_);
    if (band < 0 || band >= RowsShown() || topRow_ + band >= FullRowCount)
        return nullptr;
    const HorizontalScale::Cell cell = Scale().CellAtX(X);
    return NoteOnRowInCell(cell.Lo, cell.Hi, cell.UnitsPerPos, NoteNumAtY(Y));
}

std::int64_t TPartition::XOfPos(std::int64_t pos) const {
    return Scale().XOfPos(pos);
}

std::int64_t TPartition::XOfTick(std::int64_t tick) const {
    return Scale().XOfTick(tick);
}

std::int32_t TPartition::PosAtX(std::int32_t X) const {
    return ClampToInt32(Scale().PosAtX(X));
}

std::int64_t TPartition::TickAtX(std::int32_t X) const {
    // floor((FirstPos + X / (SW * 2^zoom)) * Division / 16)
    const std::int64_t pixelsPerPos = std::int64_t{smallestWidth_} << std::max(zoom_, 0);
    const std::int64_t pixels =
        std::int64_t{firstPos_} * pixelsPerPos + (std::int64_t{X} << std::max(-zoom_, 0));
    return FloorDiv(pixels * division_, pixelsPerPos * HorizontalScale::GridPerQuarter);
}

std::int32_t TPartition::RowTopOfNote(std::uint8_t noteNum) const {
    const int row = FullRowOfNote(std::min<int>(noteNum, 127));
    return RowTop(row - topRow_, interWidth_);
}

TPartition::GridPoint TPartition::GridPointAt(std::int32_t X, std::int32_t Y) const {
    const HorizontalScale scale = Scale();
    const std::int64_t pos = scale.PosAtX(X);
    // LargePos snaps to the grid step counted from the start of the measure under the pointer,
    // or, left of the view, from the first measure line in view. Divisions truncate toward zero,
    // also for a pointer left of the control during a drag.
    const std::int64_t step = largePosLen_;
    std::int64_t anchor = firstPos_;
    if (measures_.HasMeasures()) {
        const std::int64_t viewMeasureStart = measures_.Start(measures_.At(firstPos_));
        anchor = pos >= viewMeasureStart ? measures_.Start(measures_.At(pos)) : viewMeasureStart;
    }
    GridPoint point{};
    point.Pos = ClampToInt32(pos);
    point.LargePos = ClampToInt32(anchor + (pos - anchor) / step * step);
    point.NoteNum = NoteNumAtY(Y);
    const HorizontalScale::Cell cell = scale.CellAtX(X);
    point.Note = NoteOnRowInCell(cell.Lo, cell.Hi, cell.UnitsPerPos, point.NoteNum);
    return point;
}

void TPartition::MouseDown(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                           std::int32_t Y) {
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
    const GridPoint p = GridPointAt(X, Y);
    DoExtMouseDown(Button, Shift, X, Y, p.Pos, p.LargePos, p.NoteNum, p.Note);
}

void TPartition::MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y) {
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
    const GridPoint p = GridPointAt(X, Y);
    DoExtMouseMove(Shift, X, Y, p.Pos, p.LargePos, p.NoteNum, p.Note);
}

void TPartition::MouseUp(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                         std::int32_t Y) {
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
    const GridPoint p = GridPointAt(X, Y);
    DoExtMouseUp(Button, Shift, X, Y, p.Pos, p.LargePos, p.NoteNum, p.Note);
}

// The handlers are copied before the call: a handler may rebind its own event.
void TPartition::DoExtMouseDown(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                                std::int32_t Y, std::int32_t Pos, std::int32_t LargePos,
                                std::uint8_t NoteNum, TPartitionNote* Note) {
    if (const TExtMouseEvent handler = OnExtMouseDown)
        handler(this, Button, Shift, X, Y, Pos, LargePos, NoteNum, Note);
}

void TPartition::DoExtMouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, std::int32_t Pos,
                                std::int32_t LargePos, std::uint8_t NoteNum, TPartitionNote* Note) {
    if (const TExtMouseMoveEvent handler = OnExtMouseMove)
        handler(this, Shift, X, Y, Pos, LargePos, NoteNum, Note);
}

void TPartition::DoExtMouseUp(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                              std::int32_t Y, std::int32_t Pos, std::int32_t LargePos,
                              std::uint8_t NoteNum, TPartitionNote* Note) {
    if (const TExtMouseEvent handler = OnExtMouseUp)
        handler(this, Button, Shift, X, Y, Pos, LargePos, NoteNum, Note);
}

bool TPartition::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    TPartitionNote* note = NoteAtPoint(help->pos().x(), help->pos().y());
    const TNoteHintEvent handler = OnNoteHint;
    const QString text = note != nullptr && handler ? handler(this, note) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        // The text goes when the pointer leaves the note's row and columns.
        const std::int64_t left = std::clamp<std::int64_t>(XOfTick(note->Pos), 0, width());
        const std::int64_t right = std::clamp<std::int64_t>(
            XOfTick(std::int64_t{note->Pos} + note->Len) + 1, left + 1, width() + 1);
        const QRect area(static_cast<int>(left), RowTopOfNote(note->NoteNum),
                         static_cast<int>(right - left), interWidth_);
        QToolTip::showText(help->globalPos(), text, this, area);
    }
    return true;
}

void TPartition::mousePressEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event->position());
    MouseDown(event->button(), ShiftOf(event), p.x(), p.y());
}

void TPartition::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event->position());
    MouseDown(event->button(), ShiftOf(event, true), p.x(), p.y());
}

void TPartition::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event->position());
    MouseMove(ShiftOf(event), p.x(), p.y());
}

void TPartition::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event->position());
    MouseUp(event->button(), ShiftOf(event), p.x(), p.y());
}

} // namespace kadrel
