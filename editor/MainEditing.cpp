#include "editor/MainWindow.h"
#include "midi/MidiOutput.h"

#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace kadrel {

namespace {

TMidiNote& SongNote(TPartitionNote* note) {
    return *static_cast<TMidiNote*>(note->Data);
}

bool IsMidiNote(std::int32_t n) {
    return n >= 0 && n <= 127;
}

} // namespace

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

void TMain::EndGesture() {
    Stretching = false;
    DraggedNote = nullptr;
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
        Modified = true;
        return;
    }
    const TrackRowTexts row = Row(selected);
    const std::int32_t K = DecimalValue(row.Channel);
    const std::int32_t R = DecimalValue(row.Caption);
    const std::int32_t L = Partition->LargePosLen();

    if (Button == Qt::LeftButton && ModeSelect->isChecked()) {
        if (Note != nullptr) {
            AnchorX = -1;
            Note->Selected = true;
            Partition->Paint();
            DraggedNote = Note;
        } else {
            AnchorX = X;
            AnchorY = Y;
        }
    } else if (Button == Qt::LeftButton && ModeNote->isChecked()) {
        PreviewNote(K, NoteNum);
        auto note = std::make_unique<TMidiNote>();
        note->NoteNum = NoteNum;
        note->Pos = LargePos;
        note->Len = L - L / 4;
        note->Channel = static_cast<std::uint8_t>(K);
        note->Track = static_cast<std::uint32_t>(R);
        TMidiNote* added = note.get();
        Notes.push_back(std::move(note));
        Partition->AddNote(added->NoteNum, added->Pos, added->Len, added);
        Stretching = true;
    } else if (Button == Qt::RightButton && ModeNote->isChecked() && Note != nullptr) {
        const TMidiNote* doomed = &SongNote(Note);
        if (Note == DraggedNote)
            DraggedNote = nullptr;
        RemoveNotes([doomed](const TMidiNote& n) { return &n == doomed; });
        Partition->RemoveNote(Note);
    } else if (ModeDieze->isChecked() && Note != nullptr &&
               (Button == Qt::LeftButton || Button == Qt::RightButton)) {
        // A note stays within 0..127; a step beyond is refused and sounds nothing.
        const std::int32_t n = Note->NoteNum + (Button == Qt::LeftButton ? 1 : -1);
        if (IsMidiNote(n)) {
            PreviewNote(K, static_cast<std::uint8_t>(n));
            ChangeNote(Note, Note->Pos, n, Note->Len);
            Partition->Paint();
        }
    }
    Modified = true;
}

void TMain::PartitionExtMouseMove(TPartition*, TShiftState Shift, std::int32_t X, std::int32_t Y,
                                  std::int32_t Pos, std::int32_t LargePos, std::uint8_t NoteNum,
                                  TPartitionNote*) {
    const bool leftHeld = Shift.Buttons.testFlag(Qt::LeftButton);
    if (Stretching && leftHeld && !Partition->NoteList().empty()) {
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
    if (AnchorX > -1) {
        Partition->Paint();
        Partition->SetRubberBand(QPoint(AnchorX, AnchorY), QPoint(X, Y));
        return;
    }
    if (DraggedNote == nullptr)
        return;

    // The grabbed note goes to the grid cell and row under the pointer and the other selected
    // notes keep their distance to it, except that no note leaves 0..127 (the pitch step is
    // refused for the whole group) and no note starts before 0 (the group stops there).
    std::int64_t deltaPos = std::int64_t{LargePos} - DraggedNote->Pos;
    std::int32_t deltaNote = std::int32_t{NoteNum} - DraggedNote->NoteNum;
    std::vector<TPartitionNote*> group;
    for (const auto& note : Partition->NoteList())
        if (note.get() == DraggedNote || note->Selected)
            group.push_back(note.get());
    for (TPartitionNote* note : group) {
        if (!IsMidiNote(note->NoteNum + deltaNote))
            deltaNote = 0;
        deltaPos = std::max(deltaPos, -std::int64_t{note->Pos});
    }
    for (TPartitionNote* note : group)
        ChangeNote(note, static_cast<std::int32_t>(note->Pos + deltaPos), note->NoteNum + deltaNote,
                   note->Len);
    Partition->Paint();
    if (X <= 20)
        Partition->SetFirstMesure(Partition->FirstMesure() - 1);
    if (X >= Partition->width() - 20)
        Partition->SetFirstMesure(Partition->FirstMesure() + 1);
}

void TMain::PartitionExtMouseUp(TPartition*, Qt::MouseButton, TShiftState, std::int32_t X,
                                std::int32_t Y, std::int32_t, std::int32_t, std::uint8_t,
                                TPartitionNote*) {
    Stretching = false;
    DraggedNote = nullptr;
    if (!ModeSelect->isChecked() || SelectedRow() < 0 || AnchorX <= -1)
        return;
    const std::int64_t bandLeft = std::min(X, AnchorX);
    const std::int64_t bandRight = std::max(X, AnchorX);
    const std::int32_t bandTop = Partition->NoteNumAtY(std::max(Y, AnchorY));
    const std::int32_t bandBottom = Partition->NoteNumAtY(std::min(Y, AnchorY));
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
    PreviewNoteNum = NoteNum;
    TimerNoteOFF->start();
    PreviewChannel = static_cast<std::uint8_t>(Channel);
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
    SendNoteOff(PreviewChannel, PreviewNoteNum);
}

void TMain::ModeNoteClick() {
    Partition->ClearSelection();
}

void TMain::ModeDiezeClick() {
    Partition->ClearSelection();
}

} // namespace kadrel
