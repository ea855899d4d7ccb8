#pragma once

#include "editor/DialogFolders.h"
#include "editor/PlaybackClock.h"
#include "editor/SongDocument.h"
#include "editor/UserDialogs.h"
#include "midi/MidiOutService.h"
#include "partition/Partition.h"
#include "song/Song.h"
#include "song/TolerantImport.h"

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
// edit-mode buttons, and the Fichier and Édition menus. It turns gestures and commands into changes
// of the song document, shows the document in the score and the track list, and holds the output
// port on device 0.
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

    // Seek steps in pixels per step, the length of the preview of a note, the grid sizes (in
    // positions) and the zone near either edge of the score where a drag scrolls it (pixels).
    static constexpr std::int32_t SeekFastBack = -32;
    static constexpr std::int32_t SeekBack = -8;
    static constexpr std::int32_t SeekForward = 8;
    static constexpr std::int32_t SeekFastForward = 32;
    static constexpr int PreviewMs = 250;
    static constexpr int SmallestGrid = 1;
    static constexpr int LargestGrid = 64;
    static constexpr int StartGrid = 16;
    static constexpr std::int32_t EdgeScrollZone = 20;
    // Virtual key codes that the keyboard handler knows.
    static constexpr int KeyDelete = 46;
    static constexpr int KeyKeypadPlus = 107;
    static constexpr int KeyKeypadMinus = 109;

    // dialogs answers every question and shows every message; service provides device 0;
    // clock times playback and seeking. All three must outlive the window.
    TMain(UserDialogs& dialogs, MidiOutService& service, PlaybackClock& clock,
          QWidget* parent = nullptr);
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
    QAction* ExportWav = nullptr; // "Exporter en WAV...": the song through the synthesizer
    QAction* Deasm = nullptr;
    QAction* Quitter = nullptr;
    QMenu* Edition = nullptr;
    QAction* Annuler = nullptr;  // undoes the last step; its text names it
    QAction* Retablir = nullptr; // redoes the step undone last
    QAction* Couper = nullptr;
    QAction* Copier = nullptr;
    QAction* Coller = nullptr;
    QAction* Supprimer = nullptr; // the Delete key's removal of the selected notes
    QAction* ToutSelectionner = nullptr;

    // The song with its history. Every change goes through it; the score and the track list
    // show it.
    SongDocument& Document() { return *document_; }
    const Song& SongView() const { return document_->Content(); }
    bool IsModified() const { return document_->IsModified(); }
    const std::string& FileName() const { return document_->FileName(); }

    // The editing and playback state, for reading.
    bool Stretching() const { return stretching_; }
    std::int32_t AnchorX() const { return anchorX_; }
    std::int32_t AnchorY() const { return anchorY_; }
    const TPartitionNote* DraggedNote() const { return draggedNote_; }
    bool SeekReleased() const { return seekReleased_; }

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
    void ExportWavClick();
    void DeasmClick();

    // Opens path as Ouvrir does once its dialog has chosen it (the program's FILE argument): a
    // file that Ouvrir refuses gets Ouvrir's box, with the import offer when the import can read
    // it.
    void OpenFile(const QString& path);
    // OpenFile once the window is up and has told the user what went wrong at its creation, so
    // that the boxes come one after the other.
    void OpenFileAtStart(const QString& path);

    // Where the file dialogs start is decided from these facts; tests give their own.
    using DialogFolderSource = std::function<DialogFolderFacts(const QString& lastFileFolder)>;
    void SetDialogFolderSource(DialogFolderSource source) { folderSource_ = std::move(source); }

    void AnnulerClick();
    void RetablirClick();
    void CouperClick();
    void CopierClick();
    void CollerClick();
    void SupprimerClick();
    void ToutSelectionnerClick();

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

    // Asks whether to save unsaved changes before the song is dropped. True when the caller may
    // go on: nothing to save, Non, or Oui and the song was saved. False on Annuler, and when Oui
    // did not end with a saved file (the save dialog cancelled, or the save failed, whose error
    // is shown first).
    bool MaybeSave();

    // True while the play or the seek loop runs.
    bool PlayLoopRunning() const { return playLoopRunning_; }
    bool SeekLoopRunning() const { return seekLoopRunning_; }

    // Whatever takes a note out of the song or changes it calls this first, with what the note
    // is about to become (none when it leaves the song). A note that the play loop started and has
    // not stopped is stopped now, unless it keeps its channel, number and start and its end is
    // still ahead of the loop, so that its own note-off will still come. Throws what the port
    // throws.
    void BeforeNoteChange(const TMidiNote& note, const TMidiNote* after = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void BuildLayout();
    void BuildMenu();
    void BuildEditionMenu();
    // Enables the Édition items that have something to do.
    void UpdateEditActions();
    // Reads what the clipboard holds that Coller can paste.
    void ReadClipboard();
    // Undoes or redoes one step, and what goes with it: the track buttons follow the rows, and
    // a track that comes back or changes sends its program.
    void StepHistory(bool undo);
    // The selected notes of the shown track, in the song's order.
    std::vector<const TMidiNote*> SelectedNotes() const;
    // Where Coller puts the notes: the cursor's position when the cursor is in view, else the
    // first position shown.
    std::int64_t PastePosition() const;
    void BuildPlayPanel();
    void BuildEditModePanel();
    void ApplyKeptEdges();
    void SetGridSize(int size);
    // Connects a signal of a component to a handler, run through the error box.
    template <typename Sender, typename Signal>
    void Connect(Sender* sender, Signal signal, void (TMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    }
    void ConnectDocument();

    // The message boxes of the editor.
    QMessageBox::StandardButton Ask(QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, QMessageBox::StandardButtons buttons);
    void ShowError(const QString& text);

    // Track rows: the list shows the song's tracks.
    void ShowTracks();
    void SelectRow(int index);
    // The shown tracks changed; selectedRow is the row to select (-1: none).
    void TracksChanged(int selectedRow);
    int ChannelOwner(std::int32_t channel) const;
    void ShowChannelConflict(std::int32_t channel, int owner);
    void ShowNoTrackSelected();
    void UpdateTrackButtons();

    // Sending through the port: with no port the channel is still checked and nothing is sent.
    void SendNoteOn(std::int32_t channel, std::uint8_t note);
    void SendNoteOff(std::int32_t channel, std::uint8_t note);
    void SendChangePatch(std::int32_t channel, std::int32_t program);
    void SendAllNotesOff(std::int32_t channel);

    // The score shows the selected track's notes again after the song's notes changed, keeping
    // the selection of the notes that stay; removed: notes were taken out, else put in.
    void RefreshScore(bool removed);
    // The shown notes take the positions and numbers of their records.
    void RefreshShownNotes();
    // The places in the song's notes of the shown notes for which pick holds, ascending.
    std::vector<std::uint32_t>
    SongIndicesOf(const std::function<bool(const TPartitionNote&)>& pick) const;
    // The song's note that a shown note stands for.
    static TMidiNote& SongNote(const TPartitionNote* note);
    // Commits the drag under way as one step of the history.
    void CommitDrag();
    // Builds the song from the file through the tolerant reader. A file it refuses gets a box
    // with the reason, and the song stays as it was.
    void ImportFile(const QString& path);
    // Puts an imported song in place of the song, shows it from its start, sends its programs
    // and tells what was not kept.
    void ShowImported(TolerantImport imported, const QString& path);
    // After Ouvrir refused path: offers to import it when the tolerant reader takes it, and
    // imports it on Oui. Otherwise shows Ouvrir's own box.
    void OfferImportAfterRefusedOpen(const QString& path);
    // The song's file name as the user sees it.
    QString FileNameText() const;
    // The save dialogs do not ask before replacing a file; Kadrel does. True when path does not
    // exist or the user answered Oui.
    bool ConfirmReplace(const QString& path);
    // The folder the file dialogs start in, and the folder of a file just opened, imported or
    // saved, where they start from then on.
    QString DialogFolder() const;
    void RememberFileFolder(const QString& path);
    // The title names the song's file and marks unsaved changes.
    void UpdateTitle();

    void SetTransportPlaying(bool playing);
    void MoveCursor(std::int64_t pixels);
    void FinishPendingClose();
    // What the window does once the event loop runs: the start-up error, then the file given.
    void ScheduleStart();
    void RunStart();
    // Sends a note-off for every (channel, note) that the play loop started and not stopped
    // and that the final all-notes-off on the rows' channels will not reach.
    void StopSoundingBeyondRows();
    // Ends the gesture under way (lengthening, dragging): its release may never come. A drag
    // becomes a step of the history.
    void EndGesture();
    // Changes a shown note and the song's note together.
    void ChangeNote(TPartitionNote* note, std::int32_t pos, std::int32_t noteNum, std::int32_t len);

    // Every box and dialog goes through here; a box that opens while a button is held takes
    // the button's release, so the gesture ends when it opens.
    GestureEndingDialogs dialogs_;
    MidiOutService& service_;
    PlaybackClock& clock_;
    TTrackInfo* trackInfo_ = nullptr;
    std::unique_ptr<SongDocument> document_;
    std::unique_ptr<TMidiOutput> midiOut_;
    QButtonGroup* editModes_ = nullptr;
    QWidget* client_ = nullptr;
    DialogFolderSource folderSource_ = CurrentDialogFolderFacts;
    QString lastFileFolder_;
    QString startError_;
    QString startFile_;
    bool startScheduled_ = false;

    // --- note editing ---
    bool stretching_ = false;
    std::int32_t anchorX_ = 0; // -1: no rubber band under way
    std::int32_t anchorY_ = 0;
    TPartitionNote* draggedNote_ = nullptr;
    std::uint8_t previewChannel_ = 0;
    std::uint8_t previewNoteNum_ = 0;
    // The notes that the drag under way moves and how far it moved them so far.
    struct Drag {
        std::vector<TMidiNote*> Notes;
        std::int64_t DeltaPos = 0;
        std::int32_t DeltaNote = 0;
    };
    Drag drag_;
    // What Coller would paste: the notes on the clipboard, from position 0.
    std::vector<TMidiNote> clipboardNotes_;

    // --- playback ---
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
