#include "partition/Partition.h"

#include "partition/RowTable.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kadrel {

namespace {

// Staff spacings per control height: the rows reach down to note 36, whose row starts 13
// spacings from the top.
constexpr int HeightInSpacings = 14;

TShiftState ShiftOf(const QMouseEvent* event, bool doubleClick = false) {
    const Qt::KeyboardModifiers keys =
        event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    return TShiftState{keys, event->buttons(), doubleClick};
}

// The pixel under the pointer; positions between pixels belong to the pixel on their left.
QPoint PixelOf(const QMouseEvent* event) {
    const QPointF p = event->position();
    return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

} // namespace

TPartition::TPartition(QWidget* parent) : QWidget(parent) {
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Crisp black digits on white, the same on every screen.
    font_.setStyleStrategy(QFont::NoAntialias);
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

void TPartition::SetInterWidth(std::uint8_t value) {
    interWidth_ = std::max<std::uint8_t>(value, 1);
    resize(width(), HeightInSpacings * interWidth_);
    updateGeometry();
    imageStale_ = true;
    update();
}

void TPartition::SetSmallestWidth(std::uint8_t value) {
    smallestWidth_ = std::max<std::uint8_t>(value, 1);
    Paint();
}

void TPartition::SetLargePosLen(std::uint8_t value) {
    largePosLen_ = std::max<std::uint8_t>(value, 1);
}

void TPartition::SetMesureLen(std::int32_t value) {
    mesureLen_ = value;
    Paint();
}

void TPartition::SetVertGridLen(std::int32_t value) {
    vertGridLen_ = value;
    Paint();
}

void TPartition::SetFirstMesure(std::int32_t value) {
    firstMesure_ = std::max(value, 0);
    firstPos_ = firstMesure_ * mesureLen_;
    firstPixel_ = firstPos_ * smallestWidth_;
    Paint();
}

void TPartition::wheelEvent(QWheelEvent* event) {
    // One notch is 120. Turning away from the user (or a horizontal wheel to the left) goes back
    // in the song; a horizontal turn wins over a vertical one.
    constexpr int Notch = QWheelEvent::DefaultDeltasPerStep;
    const QPoint turn = event->angleDelta();
    wheelRemainder_ += turn.x() != 0 ? turn.x() : turn.y();
    const int notches = wheelRemainder_ / Notch;
    wheelRemainder_ -= notches * Notch;
    if (notches != 0) {
        const std::int64_t first = std::int64_t{firstMesure_} - notches;
        SetFirstMesure(static_cast<std::int32_t>(
            std::clamp<std::int64_t>(first, 0, std::numeric_limits<std::int32_t>::max())));
    }
    event->accept();
}

void TPartition::SetCursorPos(std::int32_t value) {
    // Page when the cursor leaves the whole measures in view, so that the measure holding it
    // becomes the first one shown. A partial measure at the right edge does not count.
    const std::int64_t measurePixels = std::int64_t{smallestWidth_} * mesureLen_;
    if (measurePixels != 0) {
        const std::int64_t inView = std::int64_t{value} - firstPixel_;
        const std::int64_t lastWholeMeasureEnd = width() - width() % measurePixels;
        if (inView < 0 || inView > lastWholeMeasureEnd)
            SetFirstMesure(static_cast<std::int32_t>(value / measurePixels));
    }

    // Only the old column's strip and the new line are repainted; the image stays as it is.
    const std::int64_t oldX = std::int64_t{cursorPos_} - firstPixel_;
    const std::int64_t newX = std::int64_t{value} - firstPixel_;
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

TPartitionNote* TPartition::AddNote(std::uint8_t NoteNum, std::int32_t Pos, std::int32_t Len,
                                    const void* Data) {
    notes_.push_back(
        std::make_unique<TPartitionNote>(TPartitionNote{NoteNum, Len, Pos, Data, false}));
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
    return NaturalNoteAtY(Y, interWidth_);
}

TPartitionNote* TPartition::NoteAt(std::int32_t Pos, std::uint8_t NoteNum) const {
    const auto find = [this, Pos](int noteNum) -> TPartitionNote* {
        for (const auto& note : notes_) {
            if (note->NoteNum == noteNum && note->Pos <= Pos &&
                Pos <= std::int64_t{note->Pos} + note->Len)
                return note.get();
        }
        return nullptr;
    };
    if (TPartitionNote* note = find(NoteNum))
        return note;
    // A press on a row finds the sharp drawn there too; on the rows without a sharp this is the
    // natural note a semitone up, which is what the user sees on the row just above.
    return find(NoteNum + 1);
}

TPartition::GridPoint TPartition::GridPointAt(std::int32_t X, std::int32_t Y) const {
    // Divisions truncate toward zero, also for a pointer left of the control during a drag.
    const std::int32_t sw = smallestWidth_;
    const std::int32_t step = largePosLen_;
    GridPoint point{};
    point.Pos = X / sw + firstPos_;
    point.LargePos = X / (step * sw) * step + firstPos_;
    point.NoteNum = NoteNumAtY(Y);
    point.Note = NoteAt(point.Pos, point.NoteNum);
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

void TPartition::mousePressEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event);
    MouseDown(event->button(), ShiftOf(event), p.x(), p.y());
}

void TPartition::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event);
    MouseDown(event->button(), ShiftOf(event, true), p.x(), p.y());
}

void TPartition::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event);
    MouseMove(ShiftOf(event), p.x(), p.y());
}

void TPartition::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = PixelOf(event);
    MouseUp(event->button(), ShiftOf(event), p.x(), p.y());
}

} // namespace kadrel
