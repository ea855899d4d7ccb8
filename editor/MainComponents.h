#pragma once

class QAction;
class QButtonGroup;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace kadrel {

class TPartition;

// The components of the main window, under the names the window's design gives them. The window
// creates them (Qt's parents own them) and hands them to the parts that work with them.
struct TMainComponents {
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
    QButtonGroup* EditModes = nullptr;
    QToolButton* GridLess = nullptr;
    QToolButton* GridPlus = nullptr;
    QLabel* GridSize = nullptr;
    QTimer* TimerNoteOFF = nullptr; // owned by the transport, which sounds the preview
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
    QAction* Annuler = nullptr;  // the history's own undo item: its text names the step
    QAction* Retablir = nullptr; // the history's own redo item
    QAction* Couper = nullptr;
    QAction* Copier = nullptr;
    QAction* Coller = nullptr;
    QAction* Supprimer = nullptr; // the Delete key's removal of the selected notes
    QAction* ToutSelectionner = nullptr;
    QAction* Velocite = nullptr; // "Vélocité...": set, scale or shift the selected notes' velocity
    QMenu* Affichage = nullptr;
    QAction* ZoomAvant = nullptr;
    QAction* ZoomArriere = nullptr;
    QAction* ZoomNormal = nullptr;
    QAction* Aigus = nullptr;        // scrolls the score's rows towards higher notes
    QAction* Graves = nullptr;       // and towards lower ones
    QAction* AutresPistes = nullptr; // the other rows' notes drawn faint behind
};

} // namespace kadrel
