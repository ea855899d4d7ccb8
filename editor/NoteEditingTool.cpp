#include "editor/NoteEditingTool.h"

#include "editor/MainComponents.h"
#include "editor/ScoreView.h"
#include "editor/Transport.h"
#include "song/Resolution.h"

#include <QToolButton>

#include <algorithm>

namespace kadrel {

namespace {

bool IsMidiNote(std::int32_t n) {
    return n >= 0 && n <= 127;
}

} // namespace

NoteEditingTool::NoteEditingTool(SongDocument& document, ScoreView& view, Transport& transport,
                                 const TMainComponents& ui, std::function<int()> selectedRow)
    : document_(document), view_(view), transport_(transport), ui_(ui),
      selectedRow_(std::move(selectedRow)) {}

void NoteEditingTool::EndGesture() {
    if (gesture_ != Gesture::Banding)
        gesture_ = Gesture::None;
    grabbed_ = nullptr;
}

void NoteEditingTool::MouseDown(Qt::MouseButton button, std::int32_t x, std::int32_t y,
                                std::int32_t largePos, std::uint8_t noteNum, TPartitionNote* note) {
    // A gesture whose release never came (a box took it) ends here at the latest.
    gesture_ = Gesture::None;
    grabbed_ = nullptr;

    TPartition& score = *ui_.Partition;
    const int selected = selectedRow_();
    if (selected < 0) {
        if (button == Qt::LeftButton)
            transport_.PreviewNote(0, noteNum);
        document_.Touch();
        return;
    }
    const std::int32_t K = document_.Content().Tracks[static_cast<std::size_t>(selected)].Channel;
    const std::int32_t L = score.LargePosLen();

    if (button == Qt::LeftButton && ui_.ModeSelect->isChecked()) {
        if (note != nullptr) {
            bandAnchor_.reset();
            note->Selected = true;
            score.Paint();
            gesture_ = Gesture::Dragging;
            grabbed_ = note;
            gestureNumber_ = document_.StartGesture();
        } else {
            gesture_ = Gesture::Banding;
            bandAnchor_ = QPoint(x, y);
        }
    } else if (button == Qt::LeftButton && ui_.ModeNote->isChecked()) {
        transport_.PreviewNote(K, noteNum);
        // The note starts at the grid position clicked, in the song's own ticks, with the
        // velocity the row's music has there. The score shows it at the end of its notes; the
        // lengthening that follows belongs to the same step.
        const Song& song = document_.Content();
        const std::int64_t start = GridTick(largePos, song.Division);
        TMidiNote note{
            noteNum, static_cast<std::int32_t>(start),
            static_cast<std::int32_t>(GridTick(largePos + L - L / 4, song.Division) - start),
            static_cast<std::uint8_t>(K), static_cast<std::uint32_t>(selected)};
        note.Velocity = NewNoteVelocity(song, static_cast<std::uint32_t>(selected), start);
        gestureNumber_ = document_.StartGesture();
        added_ = static_cast<std::uint32_t>(song.Notes.size());
        document_.AppendNotes({note}, NoteEdit::Add, gestureNumber_);
        gesture_ = Gesture::AddingStretching;
    } else if (button == Qt::RightButton && ui_.ModeNote->isChecked() && note != nullptr) {
        document_.RemoveNotes({view_.IndexOf(*note)}, NoteEdit::Remove);
    } else if (ui_.ModeDieze->isChecked() && note != nullptr &&
               (button == Qt::LeftButton || button == Qt::RightButton)) {
        // A note stays within 0..127; a step beyond is refused and sounds nothing.
        const bool raise = button == Qt::LeftButton;
        const std::int32_t n = note->NoteNum + (raise ? 1 : -1);
        if (IsMidiNote(n)) {
            transport_.PreviewNote(K, static_cast<std::uint8_t>(n));
            TMidiNote after = ScoreView::NoteOf(*note);
            after.NoteNum = static_cast<std::uint8_t>(n);
            after.MarkEdited();
            document_.ChangeNotes({view_.IndexOf(*note)}, {after},
                                  raise ? NoteEdit::Raise : NoteEdit::Lower);
        }
    }
    document_.Touch();
}

void NoteEditingTool::MouseMove(TShiftState shift, std::int32_t x, std::int32_t y, std::int32_t pos,
                                std::int32_t largePos, std::uint8_t noteNum) {
    TPartition& score = *ui_.Partition;
    const bool leftHeld = shift.Buttons.testFlag(Qt::LeftButton);
    if (gesture_ == Gesture::AddingStretching && leftHeld) {
        const std::int32_t L = score.LargePosLen();
        const std::uint16_t division = document_.Content().Division;
        TMidiNote after = document_.Content().Notes.at(added_);
        const std::int64_t start = GridPosition(after.Pos, division);
        const std::int64_t d = std::int64_t{pos} - start;
        std::int64_t len = 1;
        if (d > 0) {
            if (shift.Keys.testFlag(Qt::ShiftModifier))
                len = (d / L) * L;
            else if (shift.Keys.testFlag(Qt::ControlModifier))
                len = (d / L) * L - std::min(L / 4, 4);
            else if (shift.Keys.testFlag(Qt::AltModifier))
                len = std::min(L / 4, 4);
            else
                len = d;
        }
        after.Len = static_cast<std::int32_t>(std::max<std::int64_t>(
            GridTick(start + std::max<std::int64_t>(len, 1), division) - after.Pos, 1));
        document_.ChangeNotes({added_}, {after}, NoteEdit::Add, gestureNumber_);
        score.Paint();
        return;
    }
    if (!ui_.ModeSelect->isChecked() || !leftHeld || selectedRow_() < 0)
        return;
    if (bandAnchor_) {
        score.Paint();
        score.SetRubberBand(*bandAnchor_, QPoint(x, y));
        return;
    }
    if (gesture_ == Gesture::Dragging)
        Drag(x, largePos, noteNum);
}

void NoteEditingTool::Drag(std::int32_t x, std::int32_t largePos, std::uint8_t noteNum) {
    TPartition& score = *ui_.Partition;
    // The grabbed note goes to the grid cell and row under the pointer and the other selected
    // notes keep their distance to it, except that no note leaves 0..127 (the pitch step is
    // refused for the whole group) and no note starts before 0 (the group stops there).
    // The move is whole grid steps in the song's ticks, so a note off the grid stays off it.
    const std::uint16_t division = document_.Content().Division;
    std::int64_t deltaPos = DragTicks(
        grabbed_->Pos, std::int64_t{largePos} - GridPosition(grabbed_->Pos, division), division);
    std::int32_t deltaNote = std::int32_t{noteNum} - grabbed_->NoteNum;
    const TPartitionNote* grabbed = grabbed_;
    const auto inGroup = [grabbed](const TPartitionNote& n) { return &n == grabbed || n.Selected; };
    for (const auto& note : score.NoteList()) {
        if (!inGroup(*note))
            continue;
        if (!IsMidiNote(note->NoteNum + deltaNote))
            deltaNote = 0;
        deltaPos = std::max(deltaPos, -std::int64_t{note->Pos});
    }
    if (deltaPos != 0 || deltaNote != 0) {
        NoteIndices indices = view_.IndicesOf(inGroup);
        NoteList after;
        after.reserve(indices.size());
        for (std::uint32_t i : indices) {
            TMidiNote note = document_.Content().Notes[i];
            note.Pos = static_cast<std::int32_t>(note.Pos + deltaPos);
            note.NoteNum = static_cast<std::uint8_t>(note.NoteNum + deltaNote);
            note.MarkEdited();
            after.push_back(note);
        }
        // The moves of one drag are one step of the history.
        document_.ChangeNotes(std::move(indices), std::move(after), NoteEdit::Move, gestureNumber_);
    }
    score.Paint();
    if (x <= EdgeScrollZone)
        score.ScrollMeasures(-1);
    if (x >= score.width() - EdgeScrollZone)
        score.ScrollMeasures(1);
}

void NoteEditingTool::MouseUp(std::int32_t x, std::int32_t y) {
    gesture_ = Gesture::None;
    grabbed_ = nullptr;
    TPartition& score = *ui_.Partition;
    if (!ui_.ModeSelect->isChecked() || selectedRow_() < 0 || !bandAnchor_)
        return;
    const QPoint anchor = *bandAnchor_;
    const std::int64_t bandLeft = std::min(x, anchor.x());
    const std::int64_t bandRight = std::max(x, anchor.x());
    const std::int32_t bandTop = score.NoteNumAtY(std::max(y, anchor.y()));
    const std::int32_t bandBottom = score.NoteNumAtY(std::min(y, anchor.y()));
    for (const auto& note : score.NoteList()) {
        const std::int64_t left = score.XOfTick(note->Pos);
        const std::int64_t right = score.XOfTick(std::int64_t{note->Pos} + note->Len);
        const std::int32_t top = note->NoteNum - 1;
        const std::int32_t bottom = note->NoteNum + 1;
        note->Selected = std::max(left, bandLeft) < std::min(right, bandRight) &&
                         std::max(top, bandTop) < std::min(bottom, bandBottom);
    }
    score.Paint();
}

} // namespace kadrel
