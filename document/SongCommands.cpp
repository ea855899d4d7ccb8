#include "document/SongCommands.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace kadrel {

namespace {

// Takes the notes at the given places (ascending) out of notes, keeping the order of the others,
// in one pass over the notes after the first place.
NoteList TakeNotes(NoteList& notes, const NoteIndices& indices) {
    NoteList taken;
    if (indices.empty())
        return taken;
    taken.reserve(indices.size());
    std::size_t write = indices.front();
    std::size_t next = 0;
    for (std::size_t read = indices.front(); read < notes.size(); ++read) {
        if (next < indices.size() && indices[next] == read) {
            taken.push_back(notes[read]);
            ++next;
        } else {
            notes[write++] = notes[read];
        }
    }
    notes.resize(write);
    return taken;
}

// Puts taken notes back so that they stand at the given places again, in one pass from the end.
void PutBack(NoteList& notes, const NoteIndices& indices, NoteList& taken) {
    std::size_t read = notes.size();
    notes.resize(notes.size() + taken.size());
    std::size_t write = notes.size();
    for (std::size_t j = taken.size(); j-- > 0;) {
        while (write - 1 > indices[j])
            notes[--write] = notes[--read];
        notes[--write] = taken[j];
    }
    // Frees the room as well: a step keeps no memory for notes it does not hold.
    NoteList().swap(taken);
}

NoteIndices Range(std::size_t first, std::size_t count) {
    NoteIndices indices(count);
    std::iota(indices.begin(), indices.end(), static_cast<std::uint32_t>(first));
    return indices;
}

QString TrackText(const char* what, std::size_t index) {
    return QString::fromUtf8(what) + QString::number(index);
}

} // namespace

SongCommand::SongCommand(SongDocument& document, const QString& text, int gesture)
    : document_(document), gesture_(gesture) {
    setText(text);
}

void SongCommand::BeforeStep() {
    if (!document_.pushing_)
        emit document_.StepAboutToRun();
}

// --- appended notes ---

AppendNotesCommand::AppendNotesCommand(SongDocument& document, NoteList notes, NoteEdit edit,
                                       int gesture)
    : SongCommand(document, NoteEditText(edit, notes.size()), gesture), held_(std::move(notes)),
      count_(held_.size()) {}

void AppendNotesCommand::redo() {
    BeforeStep();
    NoteList& notes = Edited().Notes;
    first_ = notes.size();
    notes.insert(notes.end(), held_.begin(), held_.end());
    NoteList().swap(held_);
    emit document_.NotesAppended(first_);
}

void AppendNotesCommand::undo() {
    BeforeStep();
    // Steps are undone in the reverse order of their doing, so the notes are the last ones.
    const NoteIndices indices = Range(first_, count_);
    emit document_.NotesAboutToBeRemoved(indices);
    NoteList& notes = Edited().Notes;
    const auto first = notes.begin() + static_cast<std::ptrdiff_t>(first_);
    held_.assign(first, notes.end());
    notes.erase(first, notes.end());
    emit document_.NotesRemoved(indices);
}

bool AppendNotesCommand::mergeWith(const QUndoCommand* other) {
    // The gesture goes on changing the notes it added: the song holds them as they are now,
    // which is what undo takes back and redo appends again.
    const auto* change = dynamic_cast<const ChangeNotesCommand*>(other);
    if (change == nullptr)
        return false;
    return std::all_of(change->Indices().begin(), change->Indices().end(),
                       [this](std::uint32_t i) { return i >= first_ && i < first_ + count_; });
}

// --- removed notes ---

RemoveNotesCommand::RemoveNotesCommand(SongDocument& document, NoteIndices indices, NoteEdit edit)
    : SongCommand(document, NoteEditText(edit, indices.size())), indices_(std::move(indices)) {}

void RemoveNotesCommand::redo() {
    BeforeStep();
    emit document_.NotesAboutToBeRemoved(indices_);
    held_ = TakeNotes(Edited().Notes, indices_);
    emit document_.NotesRemoved(indices_);
}

void RemoveNotesCommand::undo() {
    BeforeStep();
    PutBack(Edited().Notes, indices_, held_);
    emit document_.NotesInserted(indices_);
}

// --- changed notes ---

ChangeNotesCommand::ChangeNotesCommand(SongDocument& document, NoteIndices indices, NoteList after,
                                       NoteEdit edit, int gesture)
    : SongCommand(document, NoteEditText(edit, indices.size()), gesture),
      indices_(std::move(indices)), other_(std::move(after)) {}

void ChangeNotesCommand::Swap() {
    BeforeStep();
    emit document_.NotesAboutToChange(indices_, other_);
    NoteList& notes = Edited().Notes;
    for (std::size_t k = 0; k < indices_.size(); ++k)
        std::swap(notes[indices_[k]], other_[k]);
    emit document_.NotesChanged(indices_);
}

void ChangeNotesCommand::redo() {
    Swap();
}

void ChangeNotesCommand::undo() {
    Swap();
}

bool ChangeNotesCommand::mergeWith(const QUndoCommand* other) {
    // The gesture moved the same notes on: this step keeps the values from before the gesture,
    // and the song holds the newest ones.
    const auto* change = dynamic_cast<const ChangeNotesCommand*>(other);
    if (change == nullptr || change->indices_ != indices_)
        return false;
    // A drag that brought every note back changed nothing.
    const NoteList& notes = Current().Notes;
    bool same = true;
    for (std::size_t k = 0; k < indices_.size() && same; ++k)
        same = notes[indices_[k]] == other_[k];
    setObsolete(same);
    return true;
}

// --- tracks ---

TrackCommand::TrackCommand(SongDocument& document, const QString& text, std::size_t row)
    : SongCommand(document, text), row_(row) {}

NoteIndices TrackCommand::RowNotes() const {
    NoteIndices indices;
    const NoteList& notes = Current().Notes;
    for (std::size_t i = 0; i < notes.size(); ++i)
        if (notes[i].Track == row_)
            indices.push_back(static_cast<std::uint32_t>(i));
    return indices;
}

void TrackCommand::redo() {
    BeforeStep();
    Announce(false);
    undo_ = Edit(Edited());
    emit document_.TracksChanged(SelectedAfter(false));
}

void TrackCommand::undo() {
    BeforeStep();
    Announce(true);
    UndoTrackEdit(Edited(), std::move(*undo_));
    undo_.reset();
    emit document_.TracksChanged(SelectedAfter(true));
}

AddTrackCommand::AddTrackCommand(SongDocument& document, SongTrack track, int selectedBefore)
    : TrackCommand(document, TrackText("l'ajout du track ", document.Content().Tracks.size()),
                   document.Content().Tracks.size()),
      track_(std::move(track)), selectedBefore_(selectedBefore) {}

int AddTrackCommand::SoundedTrack(bool undoing) const {
    return undoing ? -1 : static_cast<int>(row_);
}

TrackEditUndo AddTrackCommand::Edit(Song& song) {
    return AddRow(song, track_);
}

int AddTrackCommand::SelectedAfter(bool undoing) const {
    return undoing ? selectedBefore_ : static_cast<int>(row_);
}

ChangeTrackCommand::ChangeTrackCommand(SongDocument& document, std::size_t index, SongTrack after)
    : TrackCommand(document, TrackText("la modification du track ", index), index),
      before_(document.Content().Tracks.at(index)), after_(std::move(after)) {}

TrackEditUndo ChangeTrackCommand::Edit(Song& song) {
    return ChangeRow(song, static_cast<std::uint32_t>(row_), after_);
}

void ChangeTrackCommand::Announce(bool undoing) {
    const Song& song = Current();
    if (!song.KeepsFile || before_.Channel == after_.Channel)
        return;
    const NoteIndices indices = RowNotes();
    NoteList moved;
    moved.reserve(indices.size());
    for (std::uint32_t i : indices) {
        TMidiNote note = song.Notes[i];
        note.Channel = static_cast<std::uint8_t>(undoing ? before_.Channel : after_.Channel);
        moved.push_back(note);
    }
    if (!indices.empty())
        emit document_.NotesAboutToChange(indices, moved);
}

DeleteTrackCommand::DeleteTrackCommand(SongDocument& document, std::size_t index)
    : TrackCommand(document, TrackText("la suppression du track ", index), index) {}

TrackEditUndo DeleteTrackCommand::Edit(Song& song) {
    return DeleteRow(song, static_cast<std::uint32_t>(row_));
}

void DeleteTrackCommand::Announce(bool undoing) {
    if (undoing)
        return;
    const NoteIndices indices = RowNotes();
    if (!indices.empty())
        emit document_.NotesAboutToBeRemoved(indices);
}

} // namespace kadrel
