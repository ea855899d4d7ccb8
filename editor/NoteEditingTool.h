#pragma once

#include "document/SongDocument.h"
#include "partition/Partition.h"

#include <QPoint>

#include <cstdint>
#include <functional>
#include <optional>

namespace kadrel {

class ScoreView;
class Transport;
struct TMainComponents;

// Note editing with the pointer on the score: what a press, a move and a release mean by edit
// mode and button, and the gesture under way. Every change goes to the document; a gesture's
// changes (a note added and lengthened, a drag) are one step of the history.
class NoteEditingTool {
public:
    // The gesture under way between a press and its release.
    enum class Gesture {
        None,
        AddingStretching, // a note just added, lengthened while the button is held
        Banding,          // drawing a rubber band from where the press was
        Dragging,         // moving the grabbed note and the selection with it
    };

    // The zone near either edge of the score where a drag scrolls it (pixels).
    static constexpr std::int32_t EdgeScrollZone = 20;

    // selectedRow gives the track row being edited (-1 for none).
    NoteEditingTool(SongDocument& document, ScoreView& view, Transport& transport,
                    const TMainComponents& ui, std::function<int()> selectedRow);

    void MouseDown(Qt::MouseButton button, std::int32_t x, std::int32_t y, std::int32_t largePos,
                   std::uint8_t noteNum, TPartitionNote* note);
    void MouseMove(TShiftState shift, std::int32_t x, std::int32_t y, std::int32_t pos,
                   std::int32_t largePos, std::uint8_t noteNum);
    void MouseUp(std::int32_t x, std::int32_t y);
    // Ends the adding or the drag under way: its release may never come (a box took it, the
    // shown notes changed). A rubber band waits for its release.
    void EndGesture();

    Gesture State() const { return gesture_; }
    // Where the last rubber band started, while it is the one that a release in selection mode
    // selects from: until a press in selection mode grabs a note, any release reselects from it.
    std::optional<QPoint> BandAnchor() const { return bandAnchor_; }
    const TPartitionNote* Grabbed() const { return grabbed_; }

private:
    void Drag(std::int32_t x, std::int32_t largePos, std::uint8_t noteNum);

    SongDocument& document_;
    ScoreView& view_;
    Transport& transport_;
    const TMainComponents& ui_;
    std::function<int()> selectedRow_;

    Gesture gesture_ = Gesture::None;
    int gestureNumber_ = 0; // the document's number of the gesture's steps
    std::optional<QPoint> bandAnchor_;
    TPartitionNote* grabbed_ = nullptr; // the note the drag holds
    std::uint32_t added_ = 0;           // the note being lengthened, as a place in the song
};

} // namespace kadrel
