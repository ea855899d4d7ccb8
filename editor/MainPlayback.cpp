#include "editor/MainWindow.h"
#include "song/PlaybackSchedule.h"

#include <QCoreApplication>
#include <QToolButton>

#include <algorithm>
#include <bitset>
#include <limits>
#include <utility>

namespace kadrel {

namespace {

constexpr std::uint32_t StepMs = PlaybackStepMs;

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
        // Stop or Pause since the Play that posted it take it back.
        if (!std::exchange(playWanted_, false))
            return;
        if (playLoopRunning_) {
            // Stop or Pause, then Play, within one step: the running loop ends at the top of its
            // next step, and playing starts again after it.
            playAgain_ = true;
            return;
        }
        RunHandler([this] { PlayLoop(); });
        const bool closingSoon = closePending_ || closing_;
        // A seek pressed while the loop ended comes first, as it was pressed first.
        if (const auto step = std::exchange(seekAfterPlay_, std::nullopt); step && !closingSoon)
            QCoreApplication::postEvent(this, new SeekEvent(*step));
        if (std::exchange(playAgain_, false) && !closingSoon) {
            playWanted_ = true;
            QCoreApplication::postEvent(this, new QEvent(PlayMessage));
        }
        FinishPendingClose();
    } else if (event->type() == SeekMessage) {
        const std::int32_t step = static_cast<SeekEvent*>(event)->Step;
        if (seekLoopRunning_) {
            // Another seek button pressed before the last loop ended: that loop goes on with
            // the new step.
            seekStep_ = step;
            return;
        }
        if (playLoopRunning_) {
            // The seek buttons work again once Stop or Pause was clicked, while the play loop
            // still finishes its step. It ends and sends its final note-offs first; seeking
            // nested in its wait would hold them back until the button is let go.
            seekAfterPlay_ = step;
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
    playWanted_ = true;
    QCoreApplication::postEvent(this, new QEvent(PlayMessage));
}

void TMain::PlayLoop() {
    // A loop started while the window waits to close ends at once.
    if (playLoopRunning_ || closing_ || closePending_)
        return;
    const RunningFlag running(playLoopRunning_);
    // However the loop ends, what it started is no longer its to stop.
    struct Forget {
        std::vector<SoundingNote>& sounding;
        ~Forget() { sounding.clear(); }
    } forget{sounding_};
    sounding_.clear();
    const std::int32_t sw = Partition->SmallestWidth();
    playPos_ = Partition->CursorPos() / sw;
    std::uint32_t deadline = clock_.NowMs();
    stopRequest_ = false;
    pauseRequest_ = false;

    PlaybackStep step;
    while (!stopRequest_ && !pauseRequest_) {
        // The song is read afresh at every step: notes edited meanwhile play from now on.
        CollectPlaybackStep(SongView().Notes, std::int64_t{playPos_} - 1, step);
        for (const TMidiNote* note : step.Offs) {
            SendNoteOff(note->Channel, note->NoteNum);
            std::erase_if(sounding_, [note](const SoundingNote& s) {
                return s.Channel == note->Channel && s.NoteNum == note->NoteNum;
            });
        }
        for (const TMidiNote* note : step.Ons) {
            SendNoteOn(note->Channel, note->NoteNum);
            sounding_.push_back({note, note->Channel, note->NoteNum});
        }

        ++playPos_;
        // Deadlines advance from the start, not from the end of the previous step, so a slow
        // repaint does not stretch the song: a late step is followed at once by the next one.
        deadline += StepMs;
        MoveCursor(std::int64_t{playPos_} * sw);
        clock_.RunPendingUntil(deadline);
    }
    if (stopRequest_)
        MoveCursor(0);
    StopSoundingBeyondRows();
    for (const SongTrack& track : SongView().Tracks)
        SendAllNotesOff(track.Channel);
}

void TMain::StopSoundingBeyondRows() {
    // The all-notes-off goes row by row and ends at the first row whose channel no port takes;
    // the channels it reaches are those of the rows before that one.
    std::bitset<16> reached;
    for (const SongTrack& track : SongView().Tracks) {
        if (track.Channel < 0 || track.Channel > 15)
            break;
        reached.set(static_cast<std::size_t>(track.Channel));
    }
    // A note sounds on a channel that no row has after its track's channel was changed, or
    // after its track was deleted or replaced while it sounded.
    while (!sounding_.empty()) {
        const SoundingNote s = sounding_.front();
        std::erase_if(sounding_, [&s](const SoundingNote& other) {
            return other.Channel == s.Channel && other.NoteNum == s.NoteNum;
        });
        if (!reached.test(s.Channel))
            SendNoteOff(s.Channel, s.NoteNum);
    }
}

void TMain::BeforeNoteChange(const TMidiNote& note, const TMidiNote* after) {
    const auto found = std::find_if(sounding_.begin(), sounding_.end(),
                                    [&note](const SoundingNote& s) { return s.Note == &note; });
    if (found == sounding_.end())
        return;
    const SoundingNote s = *found;
    // The next step handles the position before the play counter; a note that ends there or
    // later gets its note-off from the loop.
    if (after != nullptr && after->Channel == s.Channel && after->NoteNum == s.NoteNum &&
        after->Pos == note.Pos &&
        std::int64_t{after->Pos} + after->Len >= std::int64_t{playPos_} - 1)
        return;
    // One note-off ends every note of that channel and number.
    std::erase_if(sounding_, [&s](const SoundingNote& other) {
        return other.Channel == s.Channel && other.NoteNum == s.NoteNum;
    });
    SendNoteOff(s.Channel, s.NoteNum);
}

void TMain::StopPlayClick() {
    SetTransportPlaying(false);
    stopRequest_ = true;
    playWanted_ = false;
    playAgain_ = false;
    MoveCursor(0);
}

void TMain::PausePlayClick() {
    SetTransportPlaying(false);
    pauseRequest_ = true;
    playWanted_ = false;
    playAgain_ = false;
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
    StartSeek(SeekFastBack);
}
void TMain::Back1MouseDown() {
    StartSeek(SeekBack);
}
void TMain::Forw1MouseDown() {
    StartSeek(SeekForward);
}
void TMain::Forw2MouseDown() {
    StartSeek(SeekFastForward);
}

void TMain::SpeedMouseUp() {
    seekReleased_ = true;
}

void TMain::StartSeek(std::int32_t step) {
    seekReleased_ = false;
    QCoreApplication::postEvent(this, new SeekEvent(step));
}

void TMain::SeekLoop(std::int32_t step) {
    // A loop started while the window waits to close ends at once, without moving.
    if (seekLoopRunning_ || closing_ || closePending_)
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
    } while (!seekReleased_);
}

} // namespace kadrel
