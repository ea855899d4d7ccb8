#pragma once

#include "document/SongDocument.h"
#include "song/PlaybackSchedule.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;
class QWidget;

namespace kadrel {

class MidiOutService;
class PlaybackClock;
class TMidiOutput;
struct TMainComponents;

// Playback and what sounds: the output port on device 0, the play and seek loops with their
// request flags, the notes the play loop started, and the preview of a note being edited. The
// loops run inside the window's handlers of its own messages 1024 (seek) and 1025 (play), and
// wait by running the window's other handlers, so every command can run between two steps.
class Transport : public QObject {
    Q_OBJECT

public:
    static constexpr QEvent::Type SeekMessage = static_cast<QEvent::Type>(1024);
    static constexpr QEvent::Type PlayMessage = static_cast<QEvent::Type>(1025);
    // Seek steps in pixels per step, and how long a previewed note sounds.
    static constexpr std::int32_t SeekFastBack = -32;
    static constexpr std::int32_t SeekBack = -8;
    static constexpr std::int32_t SeekForward = 8;
    static constexpr std::int32_t SeekFastForward = 32;
    static constexpr int PreviewMs = 250;

    // Runs a handler as the window's error box expects.
    using HandlerRunner = std::function<void(const std::function<void()>&)>;

    // window receives the messages; ui gives the score and the transport buttons.
    Transport(SongDocument& document, PlaybackClock& clock, QWidget& window,
              const TMainComponents& ui, HandlerRunner run);
    ~Transport() override;

    // Opens device 0 (throws what the port throws: the commands then send nothing).
    void Open(MidiOutService& service);
    // The port, or null when it could not be opened or was released at closing.
    TMidiOutput* MidiOut() const { return midiOut_.get(); }
    QTimer* PreviewTimer() const { return previewTimer_; }

    void PlayClick();
    void StopPlayClick();
    void PausePlayClick();
    void BackBeginClick();
    void ForwEndClick();
    void StartSeek(std::int32_t step);
    void SpeedMouseUp();
    // Message 1024 or 1025 taken from the queue; false for any other event.
    bool Receive(QEvent* event);

    bool PlayLoopRunning() const { return playLoopRunning_; }
    bool SeekLoopRunning() const { return seekLoopRunning_; }
    bool SeekReleased() const { return seekReleased_; }

    // A close asked for: true when the window may close now; otherwise the running loop ends
    // first and WindowMayClose is emitted once it has.
    bool CloseRequested();
    bool ClosePending() const { return closePending_; }
    // The window closes: the preview stops and the port is released.
    void Close();

    // Sounds a note of the given channel for PreviewMs (the channel is checked first).
    void PreviewNote(std::int32_t channel, std::uint8_t noteNum);
    void TimerNoteOFFTimer();

    // Sending through the port: with no port the channel is still checked and nothing is sent.
    // Each throws the port's error.
    void SendNoteOn(std::int32_t channel, std::uint8_t note);
    void SendNoteOff(std::int32_t channel, std::uint8_t note);
    void SendChangePatch(std::int32_t channel, std::int32_t program);
    void SendAllNotesOff(std::int32_t channel);

    // The error met while answering the document's changes (a note that could not be stopped),
    // to show once the handler that made the change ends; at most one is kept.
    std::optional<QString> TakeError() { return std::exchange(error_, std::nullopt); }

signals:
    // A close that waited for a loop may now go on.
    void WindowMayClose();
    // An error was kept outside any handler (an undo from the menu): show it.
    void ErrorKept();

private:
    void PlayLoop();
    // Kadrel's own songs: a step every 30 ms, reading the song afresh at each.
    void StepLoop();
    // Songs that keep a file: their schedule at their tempo, every event at its own time, the
    // cursor passing each grid position as the music does. Edits made meanwhile play from the
    // next moment on.
    void ScheduleLoop();
    // Sends one event of the schedule and keeps track of the notes it starts and ends.
    void SendScheduled(const PlaybackSchedule::Event& event);
    void SeekLoop(std::int32_t step);
    void SetPlaying(bool playing);
    void MoveCursor(std::int64_t pixels);
    void FinishPendingClose();
    // Sends a note-off for every (channel, note) that the play loop started and not stopped and
    // that the final all-notes-off on the rows' channels will not reach.
    void StopSoundingBeyondRows();
    // A note that the play loop started is about to become after (null: leave the song). It is
    // stopped now, unless it keeps its channel, number and start and its end is still ahead of
    // the loop, so that its own note-off will still come.
    void BeforeNoteChange(const TMidiNote& note, const TMidiNote* after);
    void NotesAboutToChange(const NoteIndices& indices, const NoteList* after);
    // A track that undo or redo gives back sends its instrument; nothing can be sent on a
    // channel of 16 or more, so nothing is.
    void TrackRestored(int row);
    void Keep(const std::exception& e);

    SongDocument& document_;
    PlaybackClock& clock_;
    QWidget& window_;
    const TMainComponents& ui_;
    HandlerRunner run_;
    std::unique_ptr<TMidiOutput> midiOut_;
    QTimer* previewTimer_ = nullptr;
    std::uint8_t previewChannel_ = 0;
    std::uint8_t previewNoteNum_ = 0;
    std::optional<QString> error_;

    std::int32_t playPos_ = 0;
    bool stopRequest_ = false;
    bool pauseRequest_ = false;
    bool seekReleased_ = true;
    bool playLoopRunning_ = false;
    bool seekLoopRunning_ = false;
    std::int32_t seekStep_ = 0;
    // Play was pressed and its loop has not started yet; Stop and Pause take it back.
    bool playWanted_ = false;
    // Play was pressed again while the loop was still ending.
    bool playAgain_ = false;
    // A seek button pressed while the play loop was ending: the seek starts after it.
    std::optional<std::int32_t> seekAfterPlay_;
    // What the play loop started and has not stopped: the note as it was when it started (or
    // last changed) and the (channel, note number) that sounds for it.
    struct SoundingNote {
        TMidiNote Note;
        std::uint8_t Channel;
        std::uint8_t NoteNum;
    };
    std::vector<SoundingNote> sounding_;
    // The song changed while the schedule loop played it: its schedule is made again.
    bool songChanged_ = false;
    // A close asked for while a loop runs waits for the loop to end.
    bool closePending_ = false;
    bool closing_ = false;
};

} // namespace kadrel
