#pragma once

#include "partition/MeasureMap.h"
#include "partition/NoteRaster.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kadrel {

class HorizontalScale;
class TPartition;

// One note as the score shows it. The control owns it; the owner may change NoteNum, Pos, Len,
// Selected and Velocity in place and then call Paint.
struct TPartitionNote {
    std::uint8_t NoteNum = 0;   // MIDI note number; values above 127 stay in the list, never drawn
    std::int32_t Len = 0;       // length, in ticks of the control's Division (positions by default)
    std::int32_t Pos = 0;       // start, in the same ticks
    const void* Data = nullptr; // the owner's object for this note; not owned, never read here
    bool Selected = false;      // drawn filled black
    std::uint8_t Velocity = 127; // 1..127: the softer, the paler the box; 127 is a plain box
};

// A note of another row, drawn faint behind the control's own notes and never hit.
struct TGhostNote {
    std::uint8_t NoteNum = 0;
    std::int32_t Pos = 0; // ticks, like TPartitionNote
    std::int32_t Len = 0;
};

// The keys and buttons held during a pointer event.
struct TShiftState {
    Qt::KeyboardModifiers Keys; // Shift, Alt and Ctrl only
    Qt::MouseButtons Buttons;   // a press already includes its button, a release no longer does
    bool DoubleClick = false;   // the press is the second click of a double-click

    bool operator==(const TShiftState&) const = default;
};

// Pointer events in grid terms. X and Y are pixels relative to the control and may lie outside
// it while a button is held; Pos is the grid position under the pointer, LargePos that position
// snapped down to the grid step, NoteNum the natural note of the row under the pointer (0 outside
// the rows shown) and Note the display note there, or null.
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

// The text shown while the pointer rests on a note; an empty text shows nothing.
using TNoteHintEvent = std::function<QString(TPartition* Sender, TPartitionNote* Note)>;

// The score control: a staff with a grid of measures on which display notes are drawn as boxes,
// a playback cursor, and pointer input translated into positions and note numbers.
//
// Horizontally a grid position is SmallestWidth pixels wide at the normal zoom, and 2^ZoomLevel
// times that when zoomed; the view starts at FirstPos, which is the start of measure FirstMesure
// unless zooming or scrolling in a zoomed view left it inside a measure. Notes are given in ticks
// of Division per quarter note, 16 (one tick per grid position) by default.
//
// Vertically every natural note 0..127 has a row, half a staff spacing (InterWidth) tall; the
// rows shown start at TopNote (81 by default, where the staff sits at its design place) and go
// down as far as the control's height allows. Everything but the cursor and the owner's rubber
// band is rendered into an off-screen image at the screen's resolution, so that moving the cursor
// only restores a two-pixel strip from it.
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

    // The zoom levels: from 1/16 pixel to 16 pixels per grid position, by factors of 2.
    static constexpr int ZoomSteps = 4; // 16 = 2^4 at either end

    explicit TPartition(QWidget* parent = nullptr);
    ~TPartition() override;

    // Staff line spacing in pixels (0 is stored as 1). Setting it makes the control
    // 14 * InterWidth pixels tall and schedules a repaint; a taller control shows more rows.
    std::uint8_t InterWidth() const { return interWidth_; }
    void SetInterWidth(std::uint8_t value);

    // Pixels per grid position at the normal zoom (0 is stored as 1). Paints; FirstPixel keeps
    // its value until FirstMesure is set again.
    std::uint8_t SmallestWidth() const { return smallestWidth_; }
    void SetSmallestWidth(std::uint8_t value);

    // The snapping step of LargePos, in positions (0 is stored as 1). Does not paint.
    std::uint8_t LargePosLen() const { return largePosLen_; }
    void SetLargePosLen(std::uint8_t value);

    // The playback cursor in pixels of the unscrolled score at the normal zoom (grid position *
    // SmallestWidth), whatever the zoom. Moving it restores the old column from the image and
    // draws the new one; when the cursor leaves the whole measures in view, the view first pages
    // to the measure that holds it (or, for a measure wider than the view, by views within it).
    std::int32_t CursorPos() const { return cursorPos_; }
    void SetCursorPos(std::int32_t value);
    // The same cursor in grid positions.
    std::int32_t CursorPosition() const;
    void SetCursorPosition(std::int64_t position);

    // Positions per measure when there is no measure map, and between two vertical grid lines,
    // which start again at every measure. Both must be at least 1; they are stored as given and
    // painted at once. FirstPos keeps its value until FirstMesure is set.
    std::int32_t MesureLen() const { return mesureLen_; }
    void SetMesureLen(std::int32_t value);
    std::int32_t VertGridLen() const { return vertGridLen_; }
    void SetVertGridLen(std::int32_t value);

    // Measures of changing lengths (time signatures), replacing MesureLen from the first change
    // on; an empty map brings back uniform measures of MesureLen. Paints; the view stays at
    // FirstPos. The measure lines, their numbers and the scrolling by measures follow the map.
    void SetMeasureMap(const std::vector<TMeasureChange>& changes);
    const std::vector<TMeasureChange>& MeasureChanges() const { return measureChanges_; }
    std::int64_t MeasureStart(std::int64_t measure) const;
    std::int64_t MeasureAt(std::int64_t position) const;

    // The first measure in view (negative values are stored as 0). Setting it makes the view start
    // at that measure: FirstPos is its start and FirstPixel = FirstPos * SmallestWidth.
    std::int32_t FirstMesure() const { return firstMesure_; }
    void SetFirstMesure(std::int32_t value);
    std::int32_t FirstPixel() const { return firstPixel_; }
    std::int32_t FirstPos() const { return firstPos_; }

    // Scrolls by `steps` wheel notches, forward in the song for positive steps, never before
    // position 0: by one measure per step at the normal zoom, by as many as make up the same width
    // when zoomed out, and by that width (a part of a measure) when zoomed in.
    void ScrollMeasures(int steps);

    // Ticks per quarter note of the notes' Pos and Len (1..32767; other values are clamped).
    // A tick t lies at grid position t * 16 / Division. Paints.
    int Division() const { return division_; }
    void SetDivision(int ticksPerQuarter);

    // Zoom level: 0 is the normal scale (SmallestWidth pixels per position); each level in
    // doubles it, each level out halves it, from 1/16 to 16 pixels per position. Changing it
    // keeps the time under pixel aboutX where it is (as far as the start of the song allows) and
    // leaves the cursor at its place in the song. Paints.
    int ZoomLevel() const { return zoom_; }
    int MinZoomLevel() const;
    int MaxZoomLevel() const;
    void SetZoomLevel(int level, std::int32_t aboutX);
    void ZoomIn(std::int32_t aboutX) { SetZoomLevel(zoom_ + 1, aboutX); }
    void ZoomOut(std::int32_t aboutX) { SetZoomLevel(zoom_ - 1, aboutX); }
    void ZoomNormal(std::int32_t aboutX) { SetZoomLevel(0, aboutX); }
    bool CanZoomIn() const { return zoom_ < MaxZoomLevel(); }
    bool CanZoomOut() const { return zoom_ > MinZoomLevel(); }

    // The natural note of the top row shown (81 by default). Setting a note puts its row at the
    // top, as far as the rows go (a sharp: the row it is drawn on). Paints.
    std::uint8_t TopNote() const;
    void SetTopNote(std::uint8_t noteNum);
    // Scrolls by rows, towards lower notes for a positive delta. Paints.
    void ScrollRows(int delta);
    // Makes the rows of lowest..highest show: the default place when they fit there, else the
    // place nearest to it that shows them all, else the place that centres them. Paints.
    void ShowNoteRange(std::uint8_t lowest, std::uint8_t highest);
    // How many rows the control's height shows (at least the staff's 27).
    int RowsShown() const;

    // When set, a note above or below the rows shown is marked by a strip along the top or
    // bottom edge, in the note's columns. Off by default. Paints.
    bool EdgeMarks() const { return edgeMarks_; }
    void SetEdgeMarks(bool on);

    // Notes drawn faint behind the display notes and never hit. Paints.
    void SetGhostNotes(std::vector<TGhostNote> notes);
    const std::vector<TGhostNote>& GhostNotes() const { return ghosts_; }

    // The display notes in the order they were added. The notes themselves may be changed in
    // place; adding and removing go through the operations below.
    const NoteVector& NoteList() const { return notes_; }

    // Appends a note (not selected) and paints. Values are not checked. Returns the new note.
    TPartitionNote* AddNote(std::uint8_t NoteNum, std::int32_t Pos, std::int32_t Len,
                            const void* Data, std::uint8_t Velocity = 127);
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

    // The natural note whose row band holds Y among the rows shown, or 0 outside them.
    std::uint8_t NoteNumAtY(std::int32_t Y) const;
    // The first note numbered NoteNum covering grid position Pos (both ends of a note included);
    // failing that, the first numbered NoteNum + 1, which finds the sharp drawn on the same row.
    // Searches every note, drawn or not. Null when there is none.
    TPartitionNote* NoteAt(std::int32_t Pos, std::uint8_t NoteNum) const;
    // The note under a pixel of the control, found where it is drawn; null when there is none.
    TPartitionNote* NoteAtPoint(std::int32_t X, std::int32_t Y) const;

    // Geometry for the owner: the pixel column of the left edge of a grid position or of a tick
    // (rounded down), the grid position under a pixel (rounded toward zero as in the pointer
    // events) and the tick at the left edge of a pixel.
    std::int64_t XOfPos(std::int64_t pos) const;
    std::int64_t XOfTick(std::int64_t tick) const;
    std::int32_t PosAtX(std::int32_t X) const;
    std::int64_t TickAtX(std::int32_t X) const;
    // Top pixel row of the row a note is drawn on; may lie outside the control.
    std::int32_t RowTopOfNote(std::uint8_t noteNum) const;

    // A dotted black rectangle without fill from one corner to the other (the far corner's row
    // and column excluded), drawn over the score until the next Paint or ClearRubberBand.
    void SetRubberBand(const QPoint& From, const QPoint& To);
    void ClearRubberBand();
    QRect RubberBand() const { return rubberBand_; }

    // The last complete rendering of the score; never holds the cursor or the rubber band. Its
    // device pixel ratio is the screen's (rounded to a whole number).
    const QImage& Image() const { return image_; }

    QSize sizeHint() const override;

    // Handlers, each optional. The plain events come first, then the same action in grid terms.
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TExtMouseEvent OnExtMouseDown;
    TExtMouseMoveEvent OnExtMouseMove;
    TExtMouseEvent OnExtMouseUp;
    // Asked for a note's text when the pointer rests on it; the text shows as a tooltip.
    TNoteHintEvent OnNoteHint;
    // Told after the zoom, the horizontal start or the top row changed.
    std::function<void(TPartition* Sender)> OnViewChange;

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

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The wheel scrolls the score by measures (ScrollMeasures), vertical or horizontal alike; with
    // Alt it scrolls the rows, with Ctrl it zooms about the pointer. The cursor stays where it is.
    void wheelEvent(QWheelEvent* event) override;
    // When the owner lets the control take the focus: Up and Down scroll a row, Page Up and Page
    // Down a screenful of rows, Left and Right a wheel notch in time. Other keys go to the parent.
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct GridPoint {
        std::int32_t Pos;
        std::int32_t LargePos;
        std::uint8_t NoteNum;
        TPartitionNote* Note;
    };
    GridPoint GridPointAt(std::int32_t X, std::int32_t Y) const;
    HorizontalScale Scale() const;
    // The first note numbered noteNum whose time meets [lo, hi) in units of 1/unitsPerPos grid
    // positions, its end included.
    TPartitionNote* NoteInCell(std::int64_t lo, std::int64_t hi, std::int64_t unitsPerPos,
                               int noteNum) const;
    TPartitionNote* NoteOnRowInCell(std::int64_t lo, std::int64_t hi, std::int64_t unitsPerPos,
                                    std::uint8_t naturalNote) const;

    // Horizontal view changes.
    void SetView(std::int64_t firstPos);
    void PageTo(std::int64_t cursorPixel);
    std::int64_t CursorX(std::int64_t cursorPixel) const;
    std::int64_t LastWholeMeasureEnd() const;
    // Vertical view.
    int MaxTopRow() const;
    void SetTopRow(int fullRow);
    void ViewChanged();

    int RenderRatio() const;
    void RenderImage();
    void RenderGrid();
    void RenderMeasureNumbers();
    void RenderNotes();

    std::uint8_t interWidth_ = 8;
    std::uint8_t smallestWidth_ = 2;
    std::uint8_t largePosLen_ = 4;
    std::int32_t cursorPos_ = -1;
    std::int32_t mesureLen_ = 64;
    std::int32_t vertGridLen_ = 16;
    std::int32_t firstMesure_ = 0;
    std::int32_t firstPixel_ = 0;
    std::int32_t firstPos_ = 0;
    int division_ = 16;
    int zoom_ = 0;
    int topRow_; // full row of the top row shown
    bool edgeMarks_ = false;
    std::vector<TMeasureChange> measureChanges_;
    MeasureMap measures_;

    QImage image_;
    QFont font_; // measure numbers
    // Set when the platform's next repaint must render the image first (a new InterWidth).
    bool imageStale_ = true;
    NoteVector notes_;
    std::vector<TGhostNote> ghosts_;
    QRect rubberBand_;
    NoteRaster raster_;
    // Wheel turns smaller than a notch (touchpads, smooth wheels), gathered until they make one.
    int wheelRemainder_ = 0;
    int rowWheelRemainder_ = 0;
    int zoomWheelRemainder_ = 0;
};

} // namespace kadrel
