#include "editor/MainWindow.h"
#include "midi/MidiOutput.h"

#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace kadrel {

namespace {

bool IsMidiNote(std::int32_t n) {
    return n >= 0 && n <= 127;
}

} // namespace

TMidiNote& TMain::SongNote(const TPartitionNote* note) {
    return *static_cast<TMidiNote*>(note->Data);
}

// Every change reaches the display note and the song's note together, after playback has
// stopped the note if it sounds and would no longer end by itself.
void TMain::ChangeNote(TPartitionNote* note, std::int32_t pos, std::int32_t noteNum,
                       std::int32_t len) {
    TMidiNote& song = SongNote(note);
    TMidiNote after = song;
    after.Pos = pos;
    after.NoteNum = static_cast<std::uint8_t>(noteNum);
    after.Len = len;
    BeforeNoteChange(song, &after);
    note->Pos = pos;
    note->NoteNum = after.NoteNum;
    note->Len = len;
    song = after;
}

std::vector<std::uint32_t>
TMain::SongIndicesOf(const std::function<bool(const TPartitionNote&)>& pick) const {
    // The score shows the selected track's notes in the song's order, so one walk over both
    // pairs them.
    std::vector<std::uint32_t> indices;
    const auto& shown = Partition->NoteList();
    const NoteList& notes = SongView().Notes;
    std::size_t next = 0;
    for (std::size_t i = 0; i < notes.size() && next < shown.size(); ++i) {
        if (notes[i].get() != shown[next]->Data)
            continue;
        if (pick(*shown[next]))
            indices.push_back(static_cast<std::uint32_t>(i));
        ++next;
    }
    return indices;
}

void TMain::CommitDrag() {
    Drag drag = std::exchange(drag_, Drag());
    document_->RecordMove(std::move(drag.Notes), drag.DeltaPos, drag.DeltaNote);
}

void TMain::EndGesture() {
    stretching_ = false;
    draggedNote_ = nullptr;
    CommitDrag();
}

void TMain::PartitionExtMouseDown(TPartition*, Qt::MouseButton Button, TShiftState, std::int32_t X,
                                  std::int32_t Y, std::int32_t, std::int32_t LargePos,
                                  std::uint8_t NoteNum, TPartitionNote* Note) {
    // A gesture whose release never came (a box took it) ends here at the latest.
    EndGesture();
    const int selected = SelectedRow();
    if (selected < 0) {
        if (Button == Qt::LeftButton)
            PreviewNote(0, NoteNum);
        document_->Touch();
        return;
    }
    const std::int32_t K = SongView().Tracks[static_cast<std::size_t>(selected)].Channel;
    const std::int32_t R = selected;
    const std::int32_t L = Partition->LargePosLen();

    if (Button == Qt::LeftButton && ModeSelect->isChecked()) {
        if (Note != nullptr) {
            anchorX_ = -1;
            Note->Selected = true;
            Partition->Paint();
            draggedNote_ = Note;
        } else {
            anchorX_ = X;
            anchorY_ = Y;
        }
    } else if (Button == Qt::LeftButton && ModeNote->isChecked()) {
        PreviewNote(K, NoteNum);
        std::vector<std::unique_ptr<TMidiNote>> added;
        added.push_back(std::make_unique<TMidiNote>(TMidiNote{NoteNum, LargePos, L - L / 4,
                                                              static_cast<std::uint8_t>(K),
                                                              static_cast<std::uint32_t>(R)}));
        // The score shows it at the end of its notes; the lengthening that follows changes
        // that record, so that the note and its length are one step.
        document_->AppendNotes(std::move(added), NoteEdit::Add);
        stretching_ = true;
    } else if (Button == Qt::RightButton && ModeNote->isChecked() && Note != nullptr) {
        const TPartitionNote* doomed = Note;
        document_->RemoveNotes(
            SongIndicesOf([doomed](const TPartitionNote& n) { return &n == doomed; }),
            NoteEdit::Remove);
    } else if (ModeDieze->isChecked() && Note != nullptr &&
               (Button == Qt::LeftButton || Button == Qt::RightButton)) {
        // A note stays within 0..127; a step beyond is refused and sounds nothing.
        const bool raise = Button == Qt::LeftButton;
        const std::int32_t n = Note->NoteNum + (raise ? 1 : -1);
        if (IsMidiNote(n)) {
            PreviewNote(K, static_cast<std::uint8_t>(n));
            document_->MoveNotes({&SongNote(Note)}, 0, raise ? 1 : -1,
                                 raise ? NoteEdit::Raise : NoteEdit::Lower);
        }
    }
    document_->Touch();
}

void TMain::PartitionExtMouseMove(TPartition*, TShiftState Shift, std::int32_t X, std::int32_t Y,
                                  std::int32_t Pos, std::int32_t LargePos, std::uint8_t NoteNum,
                                  TPartitionNote*) {
    const bool leftHeld = Shift.Buttons.testFlag(Qt::LeftButton);
    if (stretching_ && leftHeld && !Partition->NoteList().empty()) {
        TPartitionNote* p = Partition->NoteList().back().get();
        const std::int32_t L = Partition->LargePosLen();
        const std::int64_t d = std::int64_t{Pos} - p->Pos;
        std::int64_t len = 1;
        if (d > 0) {
            if (Shift.Keys.testFlag(Qt::ShiftModifier))
                len = (d / L) * L;
            else if (Shift.Keys.testFlag(Qt::ControlModifier))
                len = (d / L) * L - std::min(L / 4, 4);
            else if (Shift.Keys.testFlag(Qt::AltModifier))
                len = std::min(L / 4, 4);
            else
                len = d;
        }
        ChangeNote(p, p->Pos, p->NoteNum,
                   static_cast<std::int32_t>(std::max<std::int64_t>(len, 1)));
        Partition->Paint();
        return;
    }
    if (!ModeSelect->isChecked() || !leftHeld || SelectedRow() < 0)
        return;
    if (anchorX_ > -1) {
        Partition->Paint();
        Partition->SetRubberBand(QPoint(anchorX_, anchorY_), QPoint(X, Y));
        return;
    }
    if (draggedNote_ == nullptr)
        return;

    // The grabbed note goes to the grid cell and row under the pointer and the other selected
    // notes keep their distance to it, except that no note leaves 0..127 (the pitch step is
    // refused for the whole group) and no note starts before 0 (the group stops there).
    std::int64_t deltaPos = std::int64_t{LargePos} - draggedNote_->Pos;
    std::int32_t deltaNote = std::int32_t{NoteNum} - draggedNote_->NoteNum;
    std::vector<TPartitionNote*> group;
    for (const auto& note : Partition->NoteList())
        if (note.get() == draggedNote_ || note->Selected)
            group.push_back(note.get());
    for (TPartitionNote* note : group) {
        if (!IsMidiNote(note->NoteNum + deltaNote))
            deltaNote = 0;
        deltaPos = std::max(deltaPos, -std::int64_t{note->Pos});
    }
    // The whole drag is one step: the notes it moves, and the distance summed over the moves.
    if (drag_.Notes.empty() && (deltaPos != 0 || deltaNote != 0)) {
        drag_.Notes.reserve(group.size());
        for (TPartitionNote* note : group)
            drag_.Notes.push_back(&SongNote(note));
    }
    drag_.DeltaPos += deltaPos;
    drag_.DeltaNote += deltaNote;
    for (TPartitionNote* note : group)
        ChangeNote(note, static_cast<std::int32_t>(note->Pos + deltaPos), note->NoteNum + deltaNote,
                   note->Len);
    Partition->Paint();
    if (X <= EdgeScrollZone)
        Partition->SetFirstMesure(Partition->FirstMesure() - 1);
    if (X >= Partition->width() - EdgeScrollZone)
        Partition->SetFirstMesure(Partition->FirstMesure() + 1);
}

void TMain::PartitionExtMouseUp(TPartition*, Qt::MouseButton, TShiftState, std::int32_t X,
                                std::int32_t Y, std::int32_t, std::int32_t, std::uint8_t,
                                TPartitionNote*) {
    EndGesture();
    if (!ModeSelect->isChecked() || SelectedRow() < 0 || anchorX_ <= -1)
        return;
    const std::int64_t bandLeft = std::min(X, anchorX_);
    const std::int64_t bandRight = std::max(X, anchorX_);
    const std::int32_t bandTop = Partition->NoteNumAtY(std::max(Y, anchorY_));
    const std::int32_t bandBottom = Partition->NoteNumAtY(std::min(Y, anchorY_));
    const std::int64_t sw = Partition->SmallestWidth();
    for (const auto& note : Partition->NoteList()) {
        const std::int64_t left = (std::int64_t{note->Pos} - Partition->FirstPos()) * sw;
        const std::int64_t right =
            (std::int64_t{note->Pos} + note->Len - Partition->FirstPos()) * sw;
        const std::int32_t top = note->NoteNum - 1;
        const std::int32_t bottom = note->NoteNum + 1;
        note->Selected = std::max(left, bandLeft) < std::min(right, bandRight) &&
                         std::max(top, bandTop) < std::min(bottom, bandBottom);
    }
    Partition->Paint();
}

void TMain::PreviewNote(std::int32_t Channel, std::uint8_t NoteNum) {
    if (TimerNoteOFF->isActive())
        TimerNoteOFFTimer();
    previewNoteNum_ = NoteNum;
    TimerNoteOFF->start();
    previewChannel_ = static_cast<std::uint8_t>(Channel);
    try {
        SendNoteOn(Channel, NoteNum);
    } catch (...) {
        // Nothing sounds, so there is nothing for the timer to stop.
        TimerNoteOFF->stop();
        throw;
    }
}

void TMain::TimerNoteOFFTimer() {
    // Stopped before sending, so that a refused note-off is reported once, not every 250 ms.
    TimerNoteOFF->stop();
    SendNoteOff(previewChannel_, previewNoteNum_);
}

void TMain::ModeNoteClick() {
    Partition->ClearSelection();
}

void TMain::ModeDiezeClick() {
    Partition->ClearSelection();
}

} // namespace kadrel
