#pragma once

#include "document/SongDocument.h"

#include <QObject>

#include <cstdint>
#include <functional>

namespace kadrel {

class TPartition;
struct TPartitionNote;

// The score as a view of the song: it shows the notes of one track row, in the song's order,
// and follows the document's changes, keeping the selection of the notes that stay. Each shown
// note's Data is its note in the song, read-only; the places in the song of the shown notes are
// kept beside them.
class ScoreView : public QObject {
    Q_OBJECT

public:
    ScoreView(SongDocument& document, TPartition& score, QObject* parent = nullptr);

    // Shows the notes of row (none for -1), none selected, scrolled vertically so that they
    // show (the staff keeps its place when they lie within it).
    void ShowRow(int row);
    int ShownRow() const { return row_; }
    // The notes of the other rows drawn faint behind the shown ones.
    void SetShowOtherRows(bool show);
    bool ShowsOtherRows() const { return others_; }

    // The song's note that a shown note stands for, and its place in the song's notes.
    static const TMidiNote& NoteOf(const TPartitionNote& shown);
    std::uint32_t IndexOf(const TPartitionNote& shown) const;
    // The places in the song's notes of the shown notes for which pick holds, ascending.
    NoteIndices IndicesOf(const std::function<bool(const TPartitionNote&)>& pick) const;

private:
    // The score counts time as the song does: its division, its measures.
    void ShowSongTime();
    void Appended(std::size_t first);
    // The notes at these places came in (inserted) or went out of the song: the shown notes
    // follow, keeping their selection.
    void Reordered(const NoteIndices& indices, bool inserted);
    void Changed(const NoteIndices& indices);
    // The shown notes point at the song's notes again (the song's notes may have moved in memory).
    void Relink();
    void Clear();
    // Fills the score with the shown row's notes; selected: song places to select, ascending.
    void Fill(const std::vector<std::uint32_t>& selected);
    void UpdateGhosts();

    SongDocument& document_;
    TPartition& score_;
    int row_ = -1;
    bool others_ = false;
    std::vector<std::uint32_t> indices_; // the song places of the score's notes, in its order
};

} // namespace kadrel
