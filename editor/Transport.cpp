#include "editor/Transport.h"

#include "editor/MainComponents.h"
#include "editor/PlaybackClock.h"
#include "midi/MidiOutput.h"
#include "partition/Partition.h"
#include "song/PlaybackSchedule.h"
#include "song/Resolution.h"
#include "util/Error.h"

#include <QCoreApplication>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

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
    explicit SeekEvent(std::int32_t step) : QEvent(Transport::SeekMessage), Step(step) {}
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

// Without a port nothing is sent, but a channel that no port would take is refused all the
// same, so that no note is ever made on a channel that files cannot hold.
void CheckChannel(std::int32_t channel) {
    if (channel < 0 || channel > 15)
        throw Error("Invalid MIDI channel: " + std::to_string(channel));
}

} // namespace

Transport::Transport(SongDocument& document, PlaybackClock& clock, QWidget& window,
                     const TMainComponents& ui, HandlerRunner run)
    : QObject(&window), document_(document), clock_(clock), window_(window), ui_(ui),
      run_(std::move(run)) {
    previewTimer_ = new QTimer(this);
    previewTimer_->setInterval(PreviewMs);

    connect(&document, &SongDocument::NotesAboutToChange, this,
            [this](const NoteIndices& indices, const NoteList& after) {
                NotesAboutToChange(indices, &after);
            });
    connect(&document, &SongDocument::NotesAboutToBeRemoved, this,
            [this](const NoteIndices& indices) { NotesAboutToChange(indices, nullptr); });
    connect(&document, &SongDocument::SongAboutToBeReplaced, this, [this] {
        // Every note leaves the song: those that sound are stopped.
        try {
            while (!sounding_.empty()) {
                const TMidiNote note = sounding_.front().Note;
                BeforeNoteChange(note, nullptr);
            }
        } catch (const std::exception& e) {
            sounding_.clear();
            Keep(e);
        }
    });
    connect(&document, &SongDocument::TrackRestored, this, &Transport::TrackRestored);
    for (auto changed :
         {&SongDocument::NotesInserted, &SongDocument::NotesRemoved, &SongDocument::NotesChanged})
        connect(&document, changed, this, [this] { songChanged_ = true; });
    connect(&document, &SongDocument::NotesAppended, this, [this] { songChanged_ = true; });
    connect(&document, &SongDocument::TracksChanged, this, [this] { songChanged_ = true; });
    connect(&document, &SongDocument::SongReplaced, this, [this] { songChanged_ = true; });
}

Transport::~Transport() = default;

void Transport::Open(MidiOutService& service) {
    midiOut_ = std::make_unique<TMidiOutput>(0, true, service);
}

void Transport::Keep(const std::exception& e) {
    if (error_)
        return;
    error_ = QString::fromStdString(e.what());
    emit ErrorKept();
}

// --- sending ---

void Transport::SendNoteOn(std::int32_t channel, std::uint8_t note) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->NoteOn(static_cast<std::uint8_t>(channel), note, 127);
}

void Transport::SendNoteOff(std::int32_t channel, std::uint8_t note) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->NoteOff(static_cast<std::uint8_t>(channel), note);
}

void Transport::SendChangePatch(std::int32_t channel, std::int32_t program) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->ChangePatch(static_cast<std::uint8_t>(channel),
                              static_cast<std::uint8_t>(program));
}

void Transport::SendAllNotesOff(std::int32_t channel) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->AllNotesOff(static_cast<std::uint8_t>(channel));
}

void Transport::PreviewNote(std::int32_t channel, std::uint8_t noteNum) {
    if (previewTimer_->isActive())
        TimerNoteOFFTimer();
    previewNoteNum_ = noteNum;
    previewTimer_->start();
    previewChannel_ = static_cast<std::uint8_t>(channel);
    try {
        SendNoteOn(channel, noteNum);
    } catch (...) {
        // Nothing sounds, so there is nothing for the timer to stop.
        previewTimer_->stop();
        throw;
    }
}

void Transport::TimerNoteOFFTimer() {
    // Stopped before sending, so that a refused note-off is reported once, not every 250 ms.
    previewTimer_->stop();
    SendNoteOff(previewChannel_, previewNoteNum_);
}

void Transport::TrackRestored(int row) {
    const SongTrack& track = document_.Content().Tracks.at(static_cast<std::size_t>(row));
    if (track.Channel < 0 || track.Channel > 15)
        return;
    try {
        SendChangePatch(track.Channel, track.Program);
    } catch (const std::exception& e) {
        Keep(e);
    }
}

// --- what the play loop started ---

void Transport::NotesAboutToChange(const NoteIndices& indices, const NoteList* after) {
    if (sounding_.empty())
        return;
    const NoteList& notes = document_.Content().Notes;
    try {
        for (std::size_t k = 0; k < indices.size(); ++k)
            BeforeNoteChange(notes[indices[k]], after != nullptr ? &(*after)[k] : nullptr);
    } catch (const std::exception& e) {
        // The change goes on: the port refused, so the note could not be stopped; the user is
        // told when the handler ends.
        Keep(e);
    }
}

void Transport::BeforeNoteChange(const TMidiNote& note, const TMidiNote* after) {
    const auto found = std::find_if(sounding_.begin(), sounding_.end(),
                                    [&note](const SoundingNote& s) { return s.Note == note; });
    if (found == sounding_.end())
        return;
    const SoundingNote s = *found;
    // The next step handles the position before the play counter; a note that ends there or
    // later gets its note-off from the loop.
    if (after != nullptr && after->Channel == s.Channel && after->NoteNum == s.NoteNum &&
        after->Pos == note.Pos && after->EndPos() >= std::int64_t{playPos_} - 1) {
        found->Note = *after;
        return;
    }
    // One note-off ends every note of that channel and number.
    std::erase_if(sounding_, [&s](const SoundingNote& other) {
        return other.Channel == s.Channel && other.NoteNum == s.NoteNum;
    });
    SendNoteOff(s.Channel, s.NoteNum);
}

// --- the messages and the loops ---

bool Transport::Receive(QEvent* event) {
    if (event->type() == PlayMessage) {
        // Stop or Pause since the Play that posted it take it back.
        if (!std::exchange(playWanted_, false))
            return true;
        if (playLoopRunning_) {
            // Stop or Pause, then Play, within one step: the running loop ends at the top of its
            // next step, and playing starts again after it.
            playAgain_ = true;
            return true;
        }
        run_([this] { PlayLoop(); });
        const bool closingSoon = closePending_ || closing_;
        // A seek pressed while the loop ended comes first, as it was pressed first.
        if (const auto step = std::exchange(seekAfterPlay_, std::nullopt); step && !closingSoon)
            QCoreApplication::postEvent(&window_, new SeekEvent(*step));
        if (std::exchange(playAgain_, false) && !closingSoon) {
            playWanted_ = true;
            QCoreApplication::postEvent(&window_, new QEvent(PlayMessage));
        }
        FinishPendingClose();
        return true;
    }
    if (event->type() == SeekMessage) {
        const std::int32_t step = static_cast<SeekEvent*>(event)->Step;
        if (seekLoopRunning_) {
            // Another seek button pressed before the last loop ended: that loop goes on with
            // the new step.
            seekStep_ = step;
            return true;
        }
        if (playLoopRunning_) {
            // The seek buttons work again once Stop or Pause was clicked, while the play loop
            // still finishes its step. It ends and sends its final note-offs first; seeking
            // nested in its wait would hold them back until the button is let go.
            seekAfterPlay_ = step;
            return true;
        }
        run_([this, step] { SeekLoop(step); });
        FinishPendingClose();
        return true;
    }
    return false;
}

void Transport::MoveCursor(std::int64_t pixels) {
    const std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    ui_.Partition->SetCursorPos(
        static_cast<std::int32_t>(std::clamp<std::int64_t>(pixels, -limit, limit)));
}

void Transport::SetPlaying(bool playing) {
    for (QToolButton* button :
         {ui_.BackBegin, ui_.Back2, ui_.Back1, ui_.Play, ui_.Forw1, ui_.Forw2, ui_.ForwEnd})
        button->setEnabled(!playing);
    ui_.StopPlay->setEnabled(true);
    ui_.PausePlay->setEnabled(playing);
}

void Transport::PlayClick() {
    SetPlaying(true);
    // The loop starts once this handler has returned and the message is taken from the queue.
    playWanted_ = true;
    QCoreApplication::postEvent(&window_, new QEvent(PlayMessage));
}

void Transport::PlayLoop() {
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
    stopRequest_ = false;
    pauseRequest_ = false;
    if (document_.Content().KeepsFile)
        ScheduleLoop();
    else
        StepLoop();
    if (stopRequest_)
        MoveCursor(0);
    StopSoundingBeyondRows();
    // A file's music may hold the sustain pedal down, which would keep its notes sounding
    // through the note-offs that follow.
    if (document_.Content().KeepsFile && midiOut_)
        for (const SongTrack& track : document_.Content().Tracks)
            if (track.Channel >= 0 && track.Channel <= 15)
                midiOut_->ShortMessage(0xB0u | static_cast<std::uint32_t>(track.Channel) |
                                       64u << 8);
    for (const SongTrack& track : document_.Content().Tracks)
        SendAllNotesOff(track.Channel);
}

void Transport::StepLoop() {
    const std::int32_t sw = ui_.Partition->SmallestWidth();
    playPos_ = ui_.Partition->CursorPos() / sw;
    std::uint32_t deadline = clock_.NowMs();
    PlaybackStep step;
    while (!stopRequest_ && !pauseRequest_) {
        // The song is read afresh at every step: notes edited meanwhile play from now on.
        CollectPlaybackStep(document_.Content().Notes, std::int64_t{playPos_} - 1, step);
        for (const TMidiNote* note : step.Offs) {
            SendNoteOff(note->Channel, note->NoteNum);
            std::erase_if(sounding_, [note](const SoundingNote& s) {
                return s.Channel == note->Channel && s.NoteNum == note->NoteNum;
            });
        }
        for (const TMidiNote* note : step.Ons) {
            SendNoteOn(note->Channel, note->NoteNum);
            sounding_.push_back({*note, note->Channel, note->NoteNum});
        }

        ++playPos_;
        // Deadlines advance from the start, not from the end of the previous step, so a slow
        // repaint does not stretch the song: a late step is followed at once by the next one.
        deadline += StepMs;
        MoveCursor(std::int64_t{playPos_} * sw);
        clock_.RunPendingUntil(deadline);
    }
}

void Transport::SendScheduled(const PlaybackSchedule::Event& event) {
    if (event.IsSysEx()) {
        // A sysex escape (F7) holds raw bytes, not a message of its own: only F0 messages go.
        if (event.Status == 0xF0 && midiOut_)
            midiOut_->SysEx(event.SysEx, event.SysExLength);
        return;
    }
    if (midiOut_)
        midiOut_->ShortMessage(event.ShortMessage());
    if (event.Note == nullptr)
        return;
    const TMidiNote& note = *event.Note;
    if (event.On) {
        sounding_.push_back({note, note.Channel, note.NoteNum});
    } else {
        std::erase_if(sounding_, [&note](const SoundingNote& s) {
            return s.Channel == note.Channel && s.NoteNum == note.NoteNum;
        });
    }
}

void Transport::ScheduleLoop() {
    // Times are the song's own, in microseconds from its start (a stepped song's step q at
    // (q + 1) * 30 ms, so that the step of the position before the cursor goes at once).
    const TPartition& score = *ui_.Partition;
    const std::int32_t sw = score.SmallestWidth();
    const auto songStart = [](const PlaybackSchedule& schedule, std::int64_t from) {
        return schedule.Tempo().Stepped() ? from * PlaybackStepMs * 1000
                                          : schedule.Tempo().GridMicroseconds(from);
    };
    std::int64_t from = score.CursorPos() / sw;
    auto schedule = std::make_unique<PlaybackSchedule>(document_.Content(), from);
    std::int64_t base = songStart(*schedule, from); // the song's time at the schedule's 0
    const std::int64_t originUs = base;             // the song's time when the loop started
    const std::uint32_t originMs = clock_.NowMs();
    std::size_t next = 0;
    std::int64_t sentUpTo = std::numeric_limits<std::int64_t>::min();
    std::int64_t cursor = from;
    songChanged_ = false;
    while (!stopRequest_ && !pauseRequest_) {
        const std::int64_t now =
            originUs + std::int64_t{static_cast<std::int32_t>(clock_.NowMs() - originMs)} * 1000;
        if (std::exchange(songChanged_, false)) {
            // The song changed: from the cursor on, without telling the channels their state
            // again; what was sent stays sent.
            from = cursor;
            schedule = std::make_unique<PlaybackSchedule>(document_.Content(), from, false);
            base = songStart(*schedule, from);
            next = 0;
        }
        const auto& events = schedule->Events();
        while (next < events.size() && events[next].TimeUs + base <= now) {
            if (events[next].TimeUs + base > sentUpTo)
                SendScheduled(events[next]);
            ++next;
        }
        sentUpTo = now;
        std::int64_t reached = cursor;
        while (schedule->CursorTimeUs(reached + 1) + base <= now)
            ++reached;
        if (reached != cursor) {
            cursor = reached;
            MoveCursor(cursor * sw);
        }
        // Waits for the next event or the next grid position, whichever comes first.
        std::int64_t wake = schedule->CursorTimeUs(cursor + 1) + base;
        if (next < events.size())
            wake = std::min(wake, events[next].TimeUs + base);
        const std::int64_t waitMs = std::max<std::int64_t>((wake - originUs + 999) / 1000, 0);
        clock_.RunPendingUntil(originMs + static_cast<std::uint32_t>(waitMs));
    }
}

void Transport::StopSoundingBeyondRows() {
    // The all-notes-off goes row by row and ends at the first row whose channel no port takes;
    // the channels it reaches are those of the rows before that one.
    std::bitset<16> reached;
    for (const SongTrack& track : document_.Content().Tracks) {
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

void Transport::StopPlayClick() {
    SetPlaying(false);
    stopRequest_ = true;
    playWanted_ = false;
    playAgain_ = false;
    MoveCursor(0);
}

void Transport::PausePlayClick() {
    SetPlaying(false);
    pauseRequest_ = true;
    playWanted_ = false;
    playAgain_ = false;
}

void Transport::BackBeginClick() {
    MoveCursor(0);
}

void Transport::ForwEndClick() {
    // The score's notes count in the song's ticks; the cursor in grid positions.
    const TPartition& score = *ui_.Partition;
    std::int64_t end = 0;
    for (const auto& note : score.NoteList())
        end = std::max(end, std::int64_t{note->Pos} + note->Len);
    MoveCursor(GridPosition(end, document_.Content().Division) * score.SmallestWidth());
}

void Transport::SpeedMouseUp() {
    seekReleased_ = true;
}

void Transport::StartSeek(std::int32_t step) {
    seekReleased_ = false;
    QCoreApplication::postEvent(&window_, new SeekEvent(step));
}

void Transport::SeekLoop(std::int32_t step) {
    // A loop started while the window waits to close ends at once, without moving.
    if (seekLoopRunning_ || closing_ || closePending_)
        return;
    const RunningFlag running(seekLoopRunning_);
    seekStep_ = step;
    std::uint32_t deadline = clock_.NowMs();
    // The first move is made even when the button was already let go: a short click moves the
    // cursor once.
    do {
        // The steps are screen pixels: zoomed in or out, the cursor crosses the view as fast.
        const int zoom = ui_.Partition->ZoomLevel();
        const std::int64_t step = zoom >= 0 ? seekStep_ / (std::int64_t{1} << zoom)
                                            : seekStep_ * (std::int64_t{1} << -zoom);
        MoveCursor(std::int64_t{ui_.Partition->CursorPos()} +
                   (step != 0 ? step : (seekStep_ > 0 ? 1 : -1)));
        if (ui_.Partition->CursorPos() < 0)
            MoveCursor(0);
        deadline += StepMs;
        clock_.RunPendingUntil(deadline);
    } while (!seekReleased_);
}

// --- closing ---

bool Transport::CloseRequested() {
    // A running loop ends first and sends its last messages through the port; the window
    // closes when it has returned. Every request waits, the second one as much as the first.
    if (playLoopRunning_ || seekLoopRunning_) {
        closePending_ = true;
        pauseRequest_ = true;
        seekReleased_ = true;
        return false;
    }
    return true;
}

void Transport::Close() {
    closing_ = true;
    previewTimer_->stop();
    midiOut_.reset();
    pauseRequest_ = true;
}

void Transport::FinishPendingClose() {
    if (closePending_ && !playLoopRunning_ && !seekLoopRunning_)
        emit WindowMayClose();
}

} // namespace kadrel
