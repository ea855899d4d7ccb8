#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kadrel {

class TPartition;

// One note as the score shows it. The control owns it; the owner may change NoteNum, Pos, Len
// and Selected in place and then call Paint.
struct TPartitionNote {
    std::uint8_t NoteNum = 0; // MIDI note number; only 36..82 have a row and are drawn
    std::int32_t Len = 0;     // length in positions
    std::int32_t Pos = 0;     // start position
    const void* Data = nullptr; // the owner's object for this note; not owned, never read here
    bool Selected = false;    // drawn filled black
};

// The keys and buttons held during a pointer event.
struct TShiftState {
    Qt::KeyboardModifiers Keys; // Shift, Alt and Ctrl only
    Qt::MouseButtons Buttons;   // a press already includes its button, a release no longer does
    bool DoubleClick = false;   // the press is the second click of a double-click

    bool operator==(const TShiftState&) const = default;
};

// Pointer events in grid terms. X and Y are pixels relative to the control and may lie outside
// it while a button is held; Pos is the position under the pointer, LargePos that position
// snapped down to the grid step, NoteNum the natural note of the row under the pointer (0 outside
// the rows) and Note the display note there, or null.
using TExtMouseEvent = std::function<void(
    TPartition* Sender, Qt::MouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y,
    std::int32_t Pos, std::int32_t LargePos, std::uint8_t NoteNum, TPartitionNote* Note)>;
using TExtMouseMoveEvent = std::function<void(
    TPartition* Sender, TShiftState Shift, std::int32_t X, std::int32_t Y, std::int32_t Pos,
    std::int32_t LargePos, std::uint8_t NoteNum, TPartitionNote* Note)>;

// The plain pointer events, fired before their grid counterparts.
using TMouseEvent = std::function<void(TPartition* Sender, Qt::MouseButton Button,
                                       TShiftState Shift, std::int32_t X, std::int32_t Y)>;
using TMouseMoveEvent =
    std::function<void(TPartition* Sender, TShiftState Shift, std::int32_t X, std::int32_t Y)>;

// The score control: a staff with a grid of measures on which display notes are drawn as boxes,
// a playback cursor, and pointer input translated into positions and note numbers.
//
// Horizontally a position is SmallestWidth pixels wide and the view starts at the whole measure
// FirstMesure; vertically every natural note from 81 down to 36 has a row, half a staff spacing
// (InterWidth) tall. Everything but the cursor and the owner's rubber band is rendered into an
// off-screen image, so that moving the cursor only restores a two-pixel strip from it.
class TPartition : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint8 InterWidth READ InterWidth WRITE SetInterWidth)
    Q_PROPERTY(quint8 SmallestWidth READ SmallestWidth WRITE SetSmallestWidth)
    Q_PROPERTY(quint8 LargePosLen READ LargePosLen WRITE SetLargePosLen)
    Q_PROPERTY(qint32 CursorPos READ CursorPos WRITE SetCursorPos)
    Q_PROPERTY(qint32 MesureLen READ MesureLen WRITE SetMesureLen)
    Q_PROPERTY(qint32 VertGridLen READ VertGridLen WRITE SetVertGridLen)
    Q_PROPERTY(qint32 FirstMesure READ FirstMesure WRITE SetFirstMesure)
    Q_PROPERTY(qint32 FirstPixel READ FirstPixel)
    Q_PROPERTY(qint32 FirstPos READ FirstPos)

public:
    using NoteVector = std::vector<std::unique_ptr<TPartitionNote>>;

    explicit TPartition(QWidget* parent = nullptr);
    ~TPartition() override;

    // Staff line spacing in pixels (0 is stored as 1). Setting it makes the control
    // 14 * InterWidth pixels tall and schedules a repaint.
    std::uint8_t InterWidth() const { return interWidth_; }
    void SetInterWidth(std::uint8_t value);

    // Pixels per position (0 is stored as 1). Paints; FirstPixel keeps its value until
    // FirstMesure is set again.
    std::uint8_t SmallestWidth() const { return smallestWidth_; }
    void SetSmallestWidth(std::uint8_t value);

    // The snapping step of LargePos, in positions (0 is stored as 1). Does not paint.
    std::uint8_t LargePosLen() const { return largePosLen_; }
    void SetLargePosLen(std::uint8_t value);

    // The playback cursor in pixels of the unscrolled score (position * SmallestWidth). Moving it
    // restores the old column from the image and draws the new one; when the cursor leaves the
    // whole measures in view, the view first pages to the measure that holds it.
    std::int32_t CursorPos() const { return cursorPos_; }
    void SetCursorPos(std::int32_t value);

    // Positions per measure and between two vertical grid lines. Both must be at least 1; they
    // are stored as given and painted at once. FirstPos keeps its value until FirstMesure is set.
    std::int32_t MesureLen() const { return mesureLen_; }
    void SetMesureLen(std::int32_t value);
    std::int32_t VertGridLen() const { return vertGridLen_; }
    void SetVertGridLen(std::int32_t value);

    // The first measure in view (negative values are stored as 0); the only way to scroll.
    // Recomputes FirstPos = FirstMesure * MesureLen and FirstPixel = FirstPos * SmallestWidth.
    std::int32_t FirstMesure() const { return firstMesure_; }
    void SetFirstMesure(std::int32_t value);
    std::int32_t FirstPixel() const { return firstPixel_; }
    std::int32_t FirstPos() const { return firstPos_; }

    // The display notes in the order they were added. The notes themselves may be changed in
    // place; adding and removing go through the operations below.
    const NoteVector& NoteList() const { return notes_; }

    // Appends a note (not selected) and paints. Values are not checked. Returns the new note.
    TPartitionNote* AddNote(std::uint8_t NoteNum, std::int32_t Pos, std::int32_t Len,
                            const void* Data);
    // Frees every note, then paints.
    void ClearNotes();
    // Unselects every note, then paints.
    void ClearSelection();
    // Frees the note if it is in NoteList; null or a note already gone changes nothing. Paints in
    // every case.
    void RemoveNote(TPartitionNote* Note);
    // Take notes out of NoteList without painting, handing their ownership to the caller: one
    // note (null if it is not in the list), or every selected note, the last one first.
    std::unique_ptr<TPartitionNote> TakeNote(TPartitionNote* Note);
    NoteVector TakeSelectedNotes();

    // While false, Paint does nothing; set it false around filling the control with many notes,
    // then call Paint once.
    bool PaintEnabled = true;

    // Renders the whole score into the image and shows it at once. Removes the rubber band.
    void Paint();

    // The natural note whose row band holds Y, or 0 outside the rows.
    std::uint8_t NoteNumAtY(std::int32_t Y) const;
    // The first note numbered NoteNum covering position Pos (both ends of a note included);
    // failing that, the first numbered NoteNum + 1, which finds the sharp drawn on the same row.
    // Searches every note, drawn or not. Null when there is none.
    TPartitionNote* NoteAt(std::int32_t Pos, std::uint8_t NoteNum) const;

    // A dotted black rectangle without fill from one corner to the other (the far corner's row
    // and column excluded), drawn over the score until the next Paint or ClearRubberBand.
    void SetRubberBand(const QPoint& From, const QPoint& To);
    void ClearRubberBand();
    QRect RubberBand() const { return rubberBand_; }

    // The last complete rendering of the score; never holds the cursor or the rubber band.
    const QImage& Image() const { return image_; }

    QSize sizeHint() const override;

    // Handlers, each optional. The plain events come first, then the same action in grid terms.
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TExtMouseEvent OnExtMouseDown;
    TExtMouseMoveEvent OnExtMouseMove;
    TExtMouseEvent OnExtMouseUp;

protected:
    // Call the bound handler with this control as the sender; a derived control may do more.
    virtual void DoExtMouseDown(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                                std::int32_t Y, std::int32_t Pos, std::int32_t LargePos,
                                std::uint8_t NoteNum, TPartitionNote* Note);
    virtual void DoExtMouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, std::int32_t Pos,
                                std::int32_t LargePos, std::uint8_t NoteNum, TPartitionNote* Note);
    virtual void DoExtMouseUp(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                              std::int32_t Y, std::int32_t Pos, std::int32_t LargePos,
                              std::uint8_t NoteNum, TPartitionNote* Note);

    // Pointer hooks in pixels: fire the plain event, then translate to grid terms.
    virtual void MouseDown(Qt::MouseButton Button, TShiftState Shift, std::int32_t X,
                           std::int32_t Y);
    virtual void MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y);
    virtual void MouseUp(Qt::MouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The wheel scrolls the score by one measure per notch, vertical or horizontal alike; the
    // cursor stays where it is.
    void wheelEvent(QWheelEvent* event) override;

private:
    struct GridPoint {
        std::int32_t Pos;
        std::int32_t LargePos;
        std::uint8_t NoteNum;
        TPartitionNote* Note;
    };
    GridPoint GridPointAt(std::int32_t X, std::int32_t Y) const;

    void RenderImage();
    void RenderGrid(QPainter& painter);
    void RenderNotes(QPainter& painter);

    std::uint8_t interWidth_ = 8;
    std::uint8_t smallestWidth_ = 2;
    std::uint8_t largePosLen_ = 4;
    std::int32_t cursorPos_ = -1;
    std::int32_t mesureLen_ = 64;
    std::int32_t vertGridLen_ = 16;
    std::int32_t firstMesure_ = 0;
    std::int32_t firstPixel_ = 0;
    std::int32_t firstPos_ = 0;

    QImage image_;
    QFont font_; // measure numbers
    // Set when the platform's next repaint must render the image first (a new InterWidth).
    bool imageStale_ = true;
    NoteVector notes_;
    QRect rubberBand_;
    // Wheel turns smaller than a notch (touchpads, smooth wheels), gathered until they make one.
    int wheelRemainder_ = 0;
};

} // namespace kadrel
