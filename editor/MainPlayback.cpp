#include "editor/MainWindow.h"

#include <QCoreApplication>
#include <QToolButton>

#include <algorithm>
#include <limits>
#include <utility>

namespace kadrel {

namespace {

// Every position of the song lasts this long, whatever the file's tempo.
constexpr std::uint32_t StepMs = 30;

// Message 1024 carries the seek step, in pixels per step.
class SeekEvent final : public QEvent {
public:
    explicit SeekEvent(std::int32_t step) : QEvent(TMain::SeekMessage), Step(step) {}
    const std::int32_t Step;
};

// Marks a loop as running for as long as it is, however it ends.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

} // namespace

void TMain::customEvent(QEvent* event) {
    if (event->type() == PlayMessage) {
        if (playLoopRunning_) {
            // Stop or Pause, then Play, within one step: the running loop ends at the top of its
            // next step, and playing starts again after it.
            playAgain_ = true;
            return;
        }
        RunHandler([this] { PlayLoop(); });
        if (std::exchange(playAgain_, false) && !closePending_ && !closing_)
            QCoreApplication::postEvent(this, new QEvent(PlayMessage));
        FinishPendingClose();
    } else if (event->type() == SeekMessage) {
        const std::int32_t step = static_cast<SeekEvent*>(event)->Step;
        if (seekLoopRunning_) {
            // Another seek button pressed before the last loop ended: that loop goes on with
            // the new step.
            seekStep_ = step;
            return;
        }
        RunHandler([this, step] { SeekLoop(step); });
        FinishPendingClose();
    } else {
        QMainWindow::customEvent(event);
    }
}

void TMain::MoveCursor(std::int64_t pixels) {
    const std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    Partition->SetCursorPos(
        static_cast<std::int32_t>(std::clamp<std::int64_t>(pixels, -limit, limit)));
}

void TMain::SetTransportPlaying(bool playing) {
    for (QToolButton* button : {BackBegin, Back2, Back1, Play, Forw1, Forw2, ForwEnd})
        button->setEnabled(!playing);
    StopPlay->setEnabled(true);
    PausePlay->setEnabled(playing);
}

void TMain::PlayClick() {
    SetTransportPlaying(true);
    // The loop starts once this handler has returned and the message is taken from the queue.
    QCoreApplication::postEvent(this, new QEvent(PlayMessage));
}

void TMain::PlayLoop() {
    if (playLoopRunning_ || closing_)
        return;
    const RunningFlag running(playLoopRunning_);
    const std::int32_t sw = Partition->SmallestWidth();
    PlayPos = Partition->CursorPos() / sw;
    std::uint32_t deadline = clock_.NowMs();
    StopRequest = false;
    PauseRequest = false;

    std::vector<const TMidiNote*> offs;
    std::vector<const TMidiNote*> ons;
    while (!StopRequest && !PauseRequest) {
        // The song is read afresh at every step: notes edited meanwhile play from now on. One
        // pass finds both kinds, then all note-offs go out before all note-ons.
        const std::int64_t position = std::int64_t{PlayPos} - 1;
        offs.clear();
        ons.clear();
        for (const auto& note : Notes) {
            if (std::int64_t{note->Pos} + note->Len == position)
                offs.push_back(note.get());
            if (note->Pos == position)
                ons.push_back(note.get());
        }
        for (const TMidiNote* note : offs)
            SendNoteOff(note->Channel, note->NoteNum);
        for (const TMidiNote* note : ons)
            SendNoteOn(note->Channel, note->NoteNum);

        ++PlayPos;
        // Deadlines advance from the start, not from the end of the previous step, so a slow
        // repaint does not stretch the song: a late step is followed at once by the next one.
        deadline += StepMs;
        MoveCursor(std::int64_t{PlayPos} * sw);
        clock_.RunPendingUntil(deadline);
    }
    if (StopRequest)
        MoveCursor(0);
    for (int i = 0; i < RowCount(); ++i)
        SendAllNotesOff(DecimalValue(Row(i).Channel));
}

void TMain::StopPlayClick() {
    SetTransportPlaying(false);
    StopRequest = true;
    MoveCursor(0);
}

void TMain::PausePlayClick() {
    SetTransportPlaying(false);
    PauseRequest = true;
}

void TMain::BackBeginClick() {
    MoveCursor(0);
}

void TMain::ForwEndClick() {
    std::int64_t end = 0;
    for (const auto& note : Partition->NoteList())
        end = std::max(end, std::int64_t{note->Pos} + note->Len);
    MoveCursor(end * Partition->SmallestWidth());
}

void TMain::Back2MouseDown() {
    StartSeek(-32);
}
void TMain::Back1MouseDown() {
    StartSeek(-8);
}
void TMain::Forw1MouseDown() {
    StartSeek(8);
}
void TMain::Forw2MouseDown() {
    StartSeek(32);
}

void TMain::SpeedMouseUp() {
    SeekReleased = true;
}

void TMain::StartSeek(std::int32_t step) {
    SeekReleased = false;
    QCoreApplication::postEvent(this, new SeekEvent(step));
}

void TMain::SeekLoop(std::int32_t step) {
    if (seekLoopRunning_ || closing_)
        return;
    const RunningFlag running(seekLoopRunning_);
    seekStep_ = step;
    std::uint32_t deadline = clock_.NowMs();
    // The first move is made even when the button was already let go: a short click moves the
    // cursor once.
    do {
        MoveCursor(std::int64_t{Partition->CursorPos()} + seekStep_);
        if (Partition->CursorPos() < 0)
            MoveCursor(0);
        deadline += StepMs;
        clock_.RunPendingUntil(deadline);
    } while (!SeekReleased);
}

} // namespace kadrel
