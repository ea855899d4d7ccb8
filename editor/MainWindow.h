#pragma once

#include "editor/MainComponents.h"
#include "editor/UserDialogs.h"
#include "partition/Partition.h"

#include <QMainWindow>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

namespace kadrel {

class EditActions;
class FileActions;
class MidiOutService;
class NoteEditingTool;
class PlaybackClock;
class ScoreView;
class SongDocument;
class TTrackInfo;
class TrackListView;
class Transport;
class ViewActions;
namespace test {
struct WindowAccess;
} // namespace test

// The main window: the score of the selected track, the track list, the track, transport and
// edit-mode buttons, and the Fichier and Édition menus. It builds the components and hands the
// work to its parts: the song's document, the score and track list views, the note-editing
// tool, the transport and the file and edit actions. Its handlers only delegate.
class TMain : public QMainWindow {
    Q_OBJECT

public:
    // The client area (below the menu bar) as designed, and the smallest one: the transport
    // and the edit-mode panel stay whole, and a little of the track list shows.
    static constexpr QSize DesignClientSize{865, 398}, MinimumClientSize{665, 216};
    // Grid sizes in positions, and the virtual key codes that the keyboard handler knows.
    static constexpr int SmallestGrid = 1, LargestGrid = 64, StartGrid = 16;
    static constexpr int KeyDelete = 46, KeyKeypadPlus = 107, KeyKeypadMinus = 109;

    // dialogs answers every question and shows every message; service provides device 0;
    // clock times playback and seeking. All three must outlive the window.
    TMain(UserDialogs& dialogs, MidiOutService& service, PlaybackClock& clock,
          QWidget* parent = nullptr);
    ~TMain() override;

    // The track dialog, created after the window (the window does not own it).
    void SetTrackInfo(TTrackInfo* dialog);
    // Sizes the window so that its client area is DesignClientSize.
    void ResizeToDesignSize();
    // Opens path as Ouvrir does once its dialog has chosen it, after the window has told the
    // user what went wrong at its creation, so that the boxes come one after the other.
    void OpenFileAtStart(const QString& path);
    // Runs a handler as the window's general error box expects: an error that leaves it ends
    // it and is shown in the box "Erreur" with its own text.
    void RunHandler(const std::function<void()>& handler);

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
    void AnnulerClick();
    void RetablirClick();
    void CouperClick();
    void CopierClick();
    void CollerClick();
    void SupprimerClick();
    void ToutSelectionnerClick();
    // The score's pointer events, as TExtMouseEvent and TExtMouseMoveEvent give them.
    void PartitionExtMouseDown(TPartition*, Qt::MouseButton Button, TShiftState, std::int32_t X,
                               std::int32_t Y, std::int32_t Pos, std::int32_t LargePos,
                               std::uint8_t NoteNum, TPartitionNote* Note);
    void PartitionExtMouseMove(TPartition*, TShiftState Shift, std::int32_t X, std::int32_t Y,
                               std::int32_t Pos, std::int32_t LargePos, std::uint8_t NoteNum,
                               TPartitionNote*);
    void PartitionExtMouseUp(TPartition*, Qt::MouseButton, TShiftState, std::int32_t X,
                             std::int32_t Y, std::int32_t, std::int32_t, std::uint8_t,
                             TPartitionNote*);
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    friend struct test::WindowAccess;

    void BuildLayout(), BuildPlayPanel(), BuildEditModePanel(), BuildMenus(), ConnectParts();
    void ApplyKeptEdges();
    void SetGridSize(int size);
    // Connects a signal of a component to a handler, run through the error box.
    template <typename Sender, typename Signal>
    void Connect(Sender* sender, Signal signal, void (TMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    }
    void ShowError(const QString& text);
    void RunStart(); // once the event loop runs: the start-up error, then the file given

    TMainComponents ui_;
    // Every box and dialog goes through here; a box that opens while a button is held takes
    // the button's release, so the gesture ends when it opens.
    GestureEndingDialogs dialogs_;
    MidiOutService& service_;
    std::unique_ptr<SongDocument> document_;
    QWidget* client_ = nullptr;
    Transport* transport_ = nullptr;
    ScoreView* scoreView_ = nullptr;
    TrackListView* tracks_ = nullptr;
    std::unique_ptr<NoteEditingTool> tool_;
    std::unique_ptr<FileActions> files_;
    std::unique_ptr<EditActions> edits_;
    std::unique_ptr<ViewActions> views_;
    QString startError_, startFile_; // told and opened once the event loop runs
    bool startScheduled_ = false;
};

} // namespace kadrel
