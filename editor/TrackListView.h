#pragma once

#include "document/SongDocument.h"
#include "editor/TrackRowTexts.h"

#include <QObject>

#include <cstdint>

namespace kadrel {

class GestureEndingDialogs;
class ScoreView;
class TTrackInfo;
class Transport;
struct TMainComponents;

// The track list as a view of the song's tracks, and the track commands: Ajouter, Modifier and
// Supprimer through the track dialog. Selecting a row shows its notes on the score.
class TrackListView : public QObject {
    Q_OBJECT

public:
    // Ajouter is enabled while there are fewer rows than this.
    static constexpr int MaxTracksByCommand = 16;

    TrackListView(SongDocument& document, ScoreView& score, Transport& transport,
                  GestureEndingDialogs& dialogs, const TMainComponents& ui,
                  QObject* parent = nullptr);

    void SetTrackInfo(TTrackInfo* dialog) { trackInfo_ = dialog; }

    int RowCount() const;
    TrackRowTexts Row(int index) const;
    // The selected row, -1 for none.
    int SelectedRow() const;
    // Selects a row (-1: none) as a command does, without showing its notes.
    void SelectRow(int index);
    // Shows the selected row's notes on the score.
    void ShowSelectedRow();
    void UpdateTrackButtons();

    void AddTrackClick();
    void ModTrackClick();
    void DelTrackClick();

private:
    // The rows show the song's tracks.
    void ShowTracks();
    // The shown tracks changed; selectedRow is the row to select (-1: none).
    void TracksChanged(int selectedRow);
    int ChannelOwner(std::int32_t channel) const;
    void ShowChannelConflict(std::int32_t channel, int owner);
    void ShowNoTrackSelected();

    SongDocument& document_;
    ScoreView& score_;
    Transport& transport_;
    GestureEndingDialogs& dialogs_;
    const TMainComponents& ui_;
    TTrackInfo* trackInfo_ = nullptr;
    int rowsBeforeStep_ = -1; // while an undo or a redo runs
};

} // namespace kadrel
