#include "editor/ViewActions.h"

#include "document/SongDocument.h"
#include "editor/MainComponents.h"
#include "editor/ScoreView.h"
#include "partition/NoteNames.h"
#include "partition/Partition.h"

#include <QAction>

namespace kadrel {

ViewActions::ViewActions(const SongDocument& document, ScoreView& view, const TMainComponents& ui)
    : document_(document), view_(view), ui_(ui) {}

int ViewActions::ZoomCentre() const {
    const TPartition& score = *ui_.Partition;
    const std::int64_t cursor = score.XOfPos(score.CursorPosition());
    if (cursor >= 0 && cursor < score.width())
        return static_cast<int>(cursor);
    return score.width() / 2;
}

void ViewActions::ZoomIn() {
    ui_.Partition->ZoomIn(ZoomCentre());
    UpdateActions();
}

void ViewActions::ZoomOut() {
    ui_.Partition->ZoomOut(ZoomCentre());
    UpdateActions();
}

void ViewActions::ZoomNormal() {
    ui_.Partition->ZoomNormal(ZoomCentre());
    UpdateActions();
}

void ViewActions::ScrollRows(int delta) {
    ui_.Partition->ScrollRows(delta);
}

void ViewActions::ShowOtherRows(bool show) {
    view_.SetShowOtherRows(show);
}

void ViewActions::UpdateActions() {
    const TPartition& score = *ui_.Partition;
    ui_.ZoomAvant->setEnabled(score.CanZoomIn());
    ui_.ZoomArriere->setEnabled(score.CanZoomOut());
    ui_.ZoomNormal->setEnabled(score.ZoomLevel() != 0);
}

QString ViewActions::NoteHint(const TPartitionNote& shown) const {
    const TMidiNote& note = ScoreView::NoteOf(shown);
    const TPartition& score = *ui_.Partition;
    // Measures and beats count in grid positions (16 to the quarter note), ticks in the song's
    // own division.
    const std::int64_t division = std::max(1, score.Division());
    const std::int64_t position = std::int64_t{note.Pos} * 16 / division;
    const std::int64_t measure = score.MeasureAt(position);
    const std::int64_t intoMeasure = position - score.MeasureStart(measure);
    const std::int64_t beat = intoMeasure / 16;
    const std::int64_t tick = note.Pos - (score.MeasureStart(measure) + beat * 16) * division / 16;
    return QStringLiteral("%1 (%2)\nDébut : mesure %3, temps %4, tick %5\nDurée : %6 ticks\n"
                          "Vélocité : %7\nCanal : %8")
        .arg(FrenchNoteName(note.NoteNum))
        .arg(note.NoteNum)
        .arg(measure)
        .arg(beat + 1)
        .arg(tick)
        .arg(note.Len)
        .arg(note.Velocity)
        .arg(note.Channel);
}

} // namespace kadrel
