#pragma once

#include "document/SongDocument.h"

#include <cstdint>
#include <vector>

class QWidget;

namespace kadrel {

class GestureEndingDialogs;
class NoteEditingTool;
class ScoreView;
class TrackListView;
struct TMainComponents;

// The Édition menu's commands on the notes of the shown track: Couper, Copier, Coller,
// Supprimer (the Delete key) and Tout sélectionner, and which of them have something to do.
class EditActions {
public:
    EditActions(SongDocument& document, ScoreView& view, TrackListView& tracks,
                NoteEditingTool& tool, GestureEndingDialogs& dialogs, const TMainComponents& ui);

    void CouperClick();
    void CopierClick();
    void CollerClick();
    // Removes the selected notes, in selection mode only.
    void DeleteSelected();
    void ToutSelectionnerClick();
    // Sets, scales or shifts the velocity of the selected notes, as one step.
    void VelociteClick();

    // Enables the items that have something to do.
    void UpdateActions();

private:
    // Where Coller puts the notes: the cursor's position when the cursor is in view, else the
    // first position shown.
    std::int64_t PastePosition() const;

    SongDocument& document_;
    ScoreView& view_;
    TrackListView& tracks_;
    NoteEditingTool& tool_;
    GestureEndingDialogs& dialogs_;
    const TMainComponents& ui_;
};

// True when the clipboard offers a format Coller reads (Kadrel's notes or a MIDI file). Only the
// formats are looked at: the content is read when the user pastes.
bool ClipboardOffersNotes();

} // namespace kadrel
