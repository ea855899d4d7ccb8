#include "editor/ScoreView.h"

#include "partition/MeasureMap.h"
#include "partition/Partition.h"
#include "song/TempoMap.h"

#include <algorithm>

namespace kadrel {

ScoreView::ScoreView(SongDocument& document, TPartition& score, QObject* parent)
    : QObject(parent), document_(document), score_(score) {
    connect(&document, &SongDocument::NotesAppended, this, &ScoreView::Appended);
    connect(&document, &SongDocument::NotesInserted, this,
            [this](const NoteIndices& indices) { Reordered(indices, true); });
    connect(&document, &SongDocument::NotesRemoved, this,
            [this](const NoteIndices& indices) { Reordered(indices, false); });
    connect(&document, &SongDocument::NotesChanged, this, &ScoreView::Changed);
    // The score lets go of the old song's notes before they go.
    connect(&document, &SongDocument::SongAboutToBeReplaced, this, [this] {
        Clear();
        row_ = -1;
    });
    connect(&document, &SongDocument::SongReplaced, this, &ScoreView::ShowSongTime);
}

namespace {

// Ticks per quarter note as the score counts them: a time-code division has no quarter note,
// and the score takes half a second for one, the quarter note of the default tempo.
int ScoreDivision(std::uint16_t division) {
    if ((division & 0x8000) == 0)
        return division;
    int frames = 256 - (division >> 8);
    if (frames == 29)
        frames = 30;
    return std::max(1, frames * (division & 0xFF) / 2);
}

} // namespace

void ScoreView::ShowSongTime() {
    const Song& song = document_.Content();
    score_.SetDivision(ScoreDivision(song.Division));
    // The file's time signatures give the measures; a song without any keeps 4/4 measures of
    // the score's own length.
    std::vector<TMeasureChange> measures;
    const std::vector<MeterChange> meters = MeterChanges(song);
    const bool plain = meters.size() == 1 && meters[0].Position == 0 &&
                       meters[0].MeasureLength == score_.MesureLen();
    if (!plain)
        for (const MeterChange& meter : meters)
            measures.push_back({static_cast<std::int32_t>(meter.Position), meter.MeasureLength});
    score_.SetMeasureMap(measures);
}

const TMidiNote& ScoreView::NoteOf(const TPartitionNote& shown) {
    return *static_cast<const TMidiNote*>(shown.Data);
}

std::uint32_t ScoreView::IndexOf(const TPartitionNote& shown) const {
    return static_cast<std::uint32_t>(&NoteOf(shown) - document_.Content().Notes.data());
}

NoteIndices ScoreView::IndicesOf(const std::function<bool(const TPartitionNote&)>& pick) const {
    NoteIndices picked;
    const auto& notes = score_.NoteList();
    for (std::size_t k = 0; k < notes.size(); ++k)
        if (pick(*notes[k]))
            picked.push_back(indices_[k]);
    return picked;
}

void ScoreView::Clear() {
    indices_.clear();
    score_.ClearNotes();
}

void ScoreView::ShowRow(int row) {
    row_ = row;
    Fill({});
    // A bass line or a piano's top octave lies beyond the staff: the score scrolls to it.
    std::uint8_t lowest = 127;
    std::uint8_t highest = 0;
    for (const auto& note : score_.NoteList()) {
        lowest = std::min(lowest, note->NoteNum);
        highest = std::max(highest, note->NoteNum);
    }
    if (lowest <= highest)
        score_.ShowNoteRange(lowest, highest);
}

void ScoreView::Fill(const std::vector<std::uint32_t>& selected) {
    score_.PaintEnabled = false;
    Clear();
    const NoteList& notes = document_.Content().Notes;
    std::size_t s = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (row_ >= 0 && notes[i].Track == static_cast<std::uint32_t>(row_)) {
            TPartitionNote* shown = score_.AddNote(notes[i].NoteNum, notes[i].Pos, notes[i].Len,
                                                   &notes[i], notes[i].Velocity);
            indices_.push_back(static_cast<std::uint32_t>(i));
            while (s < selected.size() && selected[s] < i)
                ++s;
            shown->Selected = s < selected.size() && selected[s] == i;
        }
    }
    UpdateGhosts();
    score_.PaintEnabled = true;
    score_.Paint();
}

void ScoreView::SetShowOtherRows(bool show) {
    others_ = show;
    UpdateGhosts();
}

void ScoreView::UpdateGhosts() {
    std::vector<TGhostNote> ghosts;
    if (others_) {
        for (const TMidiNote& note : document_.Content().Notes)
            if (note.Track != static_cast<std::uint32_t>(row_))
                ghosts.push_back({note.NoteNum, note.Pos, note.Len});
    }
    if (!ghosts.empty() || !score_.GhostNotes().empty())
        score_.SetGhostNotes(std::move(ghosts));
}

void ScoreView::Relink() {
    const NoteList& notes = document_.Content().Notes;
    const auto& shown = score_.NoteList();
    for (std::size_t k = 0; k < shown.size(); ++k)
        shown[k]->Data = &notes[indices_[k]];
}

void ScoreView::Appended(std::size_t first) {
    // Appended notes come last in the song, so they come last on the score as well.
    const NoteList& notes = document_.Content().Notes;
    const bool many = notes.size() - first > 1;
    Relink();
    score_.PaintEnabled = !many;
    for (std::size_t i = first; i < notes.size(); ++i) {
        if (row_ >= 0 && notes[i].Track == static_cast<std::uint32_t>(row_)) {
            score_.AddNote(notes[i].NoteNum, notes[i].Pos, notes[i].Len, &notes[i],
                           notes[i].Velocity);
            indices_.push_back(static_cast<std::uint32_t>(i));
        }
    }
    if (others_)
        UpdateGhosts();
    score_.PaintEnabled = true;
    if (many)
        score_.Paint();
}

void ScoreView::Reordered(const NoteIndices& changed, bool inserted) {
    // Where each shown note stands now, and which of them stay selected.
    std::vector<std::uint32_t> selected;
    const auto& shown = score_.NoteList();
    std::size_t j = 0;
    for (std::size_t k = 0; k < shown.size(); ++k) {
        const std::uint32_t old = indices_[k];
        if (inserted) {
            // The old place o is now o plus the notes put back before it.
            while (j < changed.size() && changed[j] <= old + j)
                ++j;
            if (shown[k]->Selected)
                selected.push_back(old + static_cast<std::uint32_t>(j));
        } else {
            while (j < changed.size() && changed[j] < old)
                ++j;
            const bool gone = j < changed.size() && changed[j] == old;
            if (!gone && shown[k]->Selected)
                selected.push_back(old - static_cast<std::uint32_t>(j));
        }
    }
    Fill(selected);
}

void ScoreView::Changed(const NoteIndices& changed) {
    const NoteList& notes = document_.Content().Notes;
    const auto& shown = score_.NoteList();
    for (std::uint32_t i : changed) {
        const auto at = std::lower_bound(indices_.begin(), indices_.end(), i);
        if (at == indices_.end() || *at != i)
            continue;
        TPartitionNote& note = *shown[static_cast<std::size_t>(at - indices_.begin())];
        note.NoteNum = notes[i].NoteNum;
        note.Pos = notes[i].Pos;
        note.Len = notes[i].Len;
        note.Velocity = notes[i].Velocity;
    }
    if (others_)
        UpdateGhosts();
    score_.Paint();
}

} // namespace kadrel
