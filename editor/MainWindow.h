#pragma once

#include "editor/PlaybackClock.h"
#include "editor/UserDialogs.h"
#include "midi/MidiOutService.h"
#include "partition/Partition.h"
#include "song/Song.h"

#include <QEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QEventLoop;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kadrel {

class TMidiOutput;
class TTrackInfo;

// The main window: the score of the selected track, the track list, the track, transport and
// edit-mode buttons, and the Fichier menu. It holds the song (notes, track rows, file name,
// unsaved-changes flag) and the output port on device 0.
class TMain : public QMainWindow {
    Q_OBJECT

public:
    // Window messages posted to itself: start the seek loop, start the play loop.
    static constexpr QEvent::Type SeekMessage = static_cast<QEvent::Type>(1024);
    static constexpr QEvent::Type PlayMessage = static_cast<QEvent::Type>(1025);

    // The client area (below the menu bar) of the window as designed: the controls' places and
    // sizes are given for it.
    static constexpr QSize DesignClientSize{865, 398};
    // The smallest client area: the transport and the edit-mode panel stay whole, and a little
    // of the track list shows.
    static constexpr QSize MinimumClientSize{665, 216};

    // dialogs answers every question and shows every message; service provides device 0;
    // clock times playback and seeking. All three must outlive the window.
    explicit TMain(UserDialogs& dialogs, MidiOutService& service = DefaultMidiOutService(),
                   PlaybackClock& clock = DefaultClock(), QWidget* parent = nullptr);
    ~TMain() override;

    // The track dialog, created after the window (the window does not own it).
    void SetTrackInfo(TTrackInfo* dialog) { trackInfo_ = dialog; }

    // Sizes the window so that its client area is DesignClientSize.
    void ResizeToDesignSize();

    // --- components ---
    TPartition* Partition = nullptr;
    QTreeWidget* TrackList = nullptr;
    QPushButton* AddTrack = nullptr;
    QPushButton* ModTrack = nullptr;
    QPushButton* DelTrack = nullptr;
    QFrame* PanelPlay = nullptr;
    QToolButton* BackBegin = nullptr;
    QToolButton* Back2 = nullptr;
    QToolButton* Back1 = nullptr;
    QToolButton* Play = nullptr;
    QToolButton* StopPlay = nullptr;
    QToolButton* PausePlay = nullptr;
    QToolButton* Forw1 = nullptr;
    QToolButton* Forw2 = nullptr;
    QToolButton* ForwEnd = nullptr;
    QFrame* PanelEditMode = nullptr;
    QToolButton* ModeSelect = nullptr;
    QToolButton* ModeNote = nullptr;
    QToolButton* ModeDieze = nullptr;
    QToolButton* GridLess = nullptr;
    QToolButton* GridPlus = nullptr;
    QLabel* GridSize = nullptr;
    QTimer* TimerNoteOFF = nullptr;
    QMenu* Fichier = nullptr;
    QAction* Nouveau = nullptr;
    QAction* Ouvrir = nullptr;
    QAction* Importer = nullptr; // "Importer un fichier MIDI...": the tolerant way in
    QAction* Enregistrer = nullptr;
    QAction* SaveAs = nullptr;
    QAction* Deasm = nullptr;
    QAction* Quitter = nullptr;

    // --- the song ---
    NoteList Notes;
    bool Modified = false;
    std::string FileName; // "" until the song has a file

    // --- note editing ---
    bool Stretching = false;
    std::int32_t AnchorX = 0; // -1: no rubber band under way
    std::int32_t AnchorY = 0;
    TPartitionNote* DraggedNote = nullptr;
    std::uint8_t PreviewChannel = 0;
    std::uint8_t PreviewNoteNum = 0;

    // --- playback ---
    std::int32_t PlayPos = 0;
    bool StopRequest = false;
    bool PauseRequest = false;
    bool SeekReleased = true;

    // The port on device 0, or null when it could not be opened at start-up: commands then do
    // all their work but send nothing.
    TMidiOutput* MidiOut() const { return midiOut_.get(); }

    // The track rows as texts, and the selected row (-1 for none).
    int RowCount() const;
    TrackRowTexts Row(int index) const;
    int SelectedRow() const;

    // --- handlers ---
    void FormCreate();
    void FormKeyDown(int Key);
    void GridLessClick();
    void GridPlusClick();
    void QuitterClick();

    void AddTrackClick();
    void ModTrackClick();
    void DelTrackClick();
    void TrackListClick();

    void NouveauClick();
    void OuvrirClick();
    void ImporterClick();
    void EnregistrerClick();
    void SaveAsClick();
    void DeasmClick();

    void PartitionExtMouseDown(TPartition* Sender, Qt::MouseButton Button, TShiftState Shift,
                               std::int32_t X, std::int32_t Y, std::int32_t Pos,
                               std::int32_t LargePos, std::uint8_t NoteNum, TPartitionNote* Note);
    void PartitionExtMouseMove(TPartition* Sender, TShiftState Shift, std::int32_t X,
                               std::int32_t Y, std::int32_t Pos, std::int32_t LargePos,
                               std::uint8_t NoteNum, TPartitionNote* Note);
    void PartitionExtMouseUp(TPartition* Sender, Qt::MouseButton Button, TShiftState Shift,
                             std::int32_t X, std::int32_t Y, std::int32_t Pos,
                             std::int32_t LargePos, std::uint8_t NoteNum, TPartitionNote* Note);
    // Channel as read from the track row: it is checked before it is narrowed to a byte.
    void PreviewNote(std::int32_t Channel, std::uint8_t NoteNum);
    void TimerNoteOFFTimer();
    void ModeNoteClick();
    void ModeDiezeClick();

    void PlayClick();
    void StopPlayClick();
    void PausePlayClick();
    void BackBeginClick();
    void ForwEndClick();
    void Back2MouseDown();
    void Back1MouseDown();
    void Forw1MouseDown();
    void Forw2MouseDown();
    void SpeedMouseUp();
    void StartSeek(std::int32_t step);
    void SeekLoop(std::int32_t step);
    void PlayLoop();

    // Runs a handler as the window's general error box expects: an error that leaves it ends
    // it and is shown in the box "Erreur" with its own text.
    void RunHandler(const std::function<void()>& handler);

    // True while the play or the seek loop runs.
    bool PlayLoopRunning() const { return playLoopRunning_; }
    bool SeekLoopRunning() const { return seekLoopRunning_; }

    // Whatever frees a note of Notes or changes it calls this first, with what the note is
    // about to become (none when it is freed). A note that the play loop started and has not
    // stopped is stopped now, unless it keeps its channel, number and start and its end is
    // still ahead of the loop, so that its own note-off will still come. Throws what the port
    // throws.
    void BeforeNoteChange(const TMidiNote& note, const TMidiNote* after = nullptr);

    static PlaybackClock& DefaultClock();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void BuildLayout();
    void BuildMenu();
    void BuildPlayPanel();
    void BuildEditModePanel();
    void ApplyKeptEdges();
    void SetGridSize(int size);

    // The message boxes of the editor.
    QMessageBox::StandardButton Ask(QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, QMessageBox::StandardButtons buttons);
    void ShowError(const QString& text);

    // Track rows.
    void AppendRow(const TrackRowTexts& texts);
    void SetRow(int index, const TrackRowTexts& texts);
    void SelectRow(int index);
    int ChannelOwner(std::int32_t channel) const;
    void ShowChannelConflict(std::int32_t channel, int owner);
    void ShowNoTrackSelected();
    void UpdateTrackButtons();

    // Sending through the port: with no port the channel is still checked and nothing is sent.
    void SendNoteOn(std::int32_t channel, std::uint8_t note);
    void SendNoteOff(std::int32_t channel, std::uint8_t note);
    void SendChangePatch(std::int32_t channel, std::int32_t program);
    void SendAllNotesOff(std::int32_t channel);

    // Empties the song: score first (its notes refer to the song's), then notes and rows.
    void ClearSong();
    // Asks whether to save unsaved changes; false when the user cancels.
    bool OfferToSave();
    // Builds the song from the file through the tolerant reader. A file it refuses gets a box
    // with the reason, and the song stays as it was.
    void ImportFile(const QString& path);
    // After Ouvrir refused path: offers to import it when the tolerant reader takes it, and
    // imports it on Oui. Otherwise shows Ouvrir's own box.
    void OfferImportAfterRefusedOpen(const QString& path);
    // Removes the notes for which remove() holds from Notes, keeping the order of the others.
    void RemoveNotes(const std::function<bool(const TMidiNote&)>& remove);
    // The song's file name as the user sees it.
    QString FileNameText() const;

    void SetTransportPlaying(bool playing);
    void MoveCursor(std::int64_t pixels);
    void FinishPendingClose();
    // Sends a note-off for every (channel, note) that the play loop started and not stopped
    // and that the final all-notes-off on the rows' channels will not reach.
    void StopSoundingBeyondRows();
    // Forgets the gesture under way (lengthening, dragging): its release may never come.
    void EndGesture();
    // Changes a shown note and the song's note together.
    void ChangeNote(TPartitionNote* note, std::int32_t pos, std::int32_t noteNum, std::int32_t len);

    // Every box and dialog goes through here; a box that opens while a button is held takes
    // the button's release, so the gesture ends when it opens.
    GestureEndingDialogs dialogs_;
    MidiOutService& service_;
    PlaybackClock& clock_;
    TTrackInfo* trackInfo_ = nullptr;
    std::unique_ptr<TMidiOutput> midiOut_;
    QButtonGroup* editModes_ = nullptr;
    QWidget* client_ = nullptr;

    bool playLoopRunning_ = false;
    bool seekLoopRunning_ = false;
    std::int32_t seekStep_ = 0;
    // Play was pressed and its loop has not started yet; Stop and Pause take it back.
    bool playWanted_ = false;
    // Play was pressed again while the loop was still ending.
    bool playAgain_ = false;
    // A seek button pressed while the play loop was ending: the seek starts after it.
    std::optional<std::int32_t> seekAfterPlay_;
    // What the play loop started and has not stopped: the note and the (channel, note number)
    // that sounds for it.
    struct SoundingNote {
        const TMidiNote* Note;
        std::uint8_t Channel;
        std::uint8_t NoteNum;
    };
    std::vector<SoundingNote> sounding_;
    // A close asked for while a loop runs waits for the loop to end.
    bool closePending_ = false;
    bool closing_ = false;
};

} // namespace kadrel
