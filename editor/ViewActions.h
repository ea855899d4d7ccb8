#pragma once

#include <QString>

namespace kadrel {

class ScoreView;
class SongDocument;
struct TMainComponents;
struct TPartitionNote;

// The Affichage menu: zooming the score about the cursor (or the middle of the view), scrolling
// its rows, the other rows' notes drawn behind; and the text shown while the pointer rests on a
// note.
class ViewActions {
public:
    ViewActions(const SongDocument& document, ScoreView& view, const TMainComponents& ui);

    void ZoomIn();
    void ZoomOut();
    void ZoomNormal();
    // Towards higher notes (negative) or lower ones, by rows.
    void ScrollRows(int delta);
    void ShowOtherRows(bool show);
    // Enables the items that have something to do.
    void UpdateActions();

    // "Do4 (60)", then its start (measure, beat, tick), length, velocity and channel.
    QString NoteHint(const TPartitionNote& note) const;

private:
    // Where a zoom keeps the music in place: the cursor when it is in view, else the middle.
    int ZoomCentre() const;

    const SongDocument& document_;
    ScoreView& view_;
    const TMainComponents& ui_;
};

} // namespace kadrel
