#include "editor/SongCommands.h"

#include <utility>

namespace kadrel {

namespace {

// Takes the notes at the given places (ascending) out of notes, keeping the order of the others,
// in one pass over the notes after the first place.
std::vector<std::unique_ptr<TMidiNote>> TakeNotes(NoteList& notes,
                                                  const std::vector<std::uint32_t>& indices) {
    std::vector<std::unique_ptr<TMidiNote>> taken;
    if (indices.empty())
        return taken;
    taken.reserve(indices.size());
    std::size_t write = indices.front();
    std::size_t next = 0;
    for (std::size_t read = indices.front(); read < notes.size(); ++read) {
        if (next < indices.size() && indices[next] == read) {
            taken.push_back(std::move(notes[read]));
            ++next;
        } else {
            notes[write++] = std::move(notes[read]);
        }
    }
    notes.resize(write);
    return taken;
}

// Puts taken notes back so that they stand at the given places again, in one pass from the end.
void PutBack(NoteList& notes, const std::vector<std::uint32_t>& indices,
             std::vector<std::unique_ptr<TMidiNote>>& taken) {
    std::size_t read = notes.size();
    notes.resize(notes.size() + taken.size());
    std::size_t write = notes.size();
    for (std::size_t j = taken.size(); j-- > 0;) {
        while (write - 1 > indices[j])
            notes[--write] = std::move(notes[--read]);
        notes[--write] = std::move(taken[j]);
    }
    // Frees the room as well: a step keeps no memory for notes it does not hold.
    std::vector<std::unique_ptr<TMidiNote>>().swap(taken);
}

QString TrackText(const char* what, std::size_t index) {
    return QString::fromUtf8(what) + QString::number(index);
}

} // namespace

SongCommand::SongCommand(SongDocument& document, const QString& text) : document_(document) {
    setText(text);
}

void SongCommand::Told(const TMidiNote& note, const TMidiNote* after) const {
    if (document_.noteChange_)
        document_.noteChange_(note, after);
}

// --- appended notes ---

AppendNotesCommand::AppendNotesCommand(SongDocument& document,
                                       std::vector<std::unique_ptr<TMidiNote>> notes, NoteEdit edit)
    : SongCommand(document, NoteEditText(edit, notes.size())), held_(std::move(notes)),
      count_(held_.size()) {}

void AppendNotesCommand::Announce(bool undoing) const {
    if (!undoing)
        return;
    const NoteList& notes = document_.Content().Notes;
    for (std::size_t i = notes.size() - count_; i < notes.size(); ++i)
        Told(*notes[i], nullptr);
}

void AppendNotesCommand::redo() {
    NoteList& notes = Edited().Notes;
    const std::size_t first = notes.size();
    for (auto& note : held_)
        notes.push_back(std::move(note));
    std::vector<std::unique_ptr<TMidiNote>>().swap(held_);
    emit document_.NotesAppended(first);
}

void AppendNotesCommand::undo() {
    // Steps are undone in the reverse order of their doing, so the notes are the last ones.
    NoteList& notes = Edited().Notes;
    const auto first = notes.end() - static_cast<std::ptrdiff_t>(count_);
    held_.assign(std::make_move_iterator(first), std::make_move_iterator(notes.end()));
    notes.erase(first, notes.end());
    emit document_.NotesRemoved();
}

// --- removed notes ---

RemoveNotesCommand::RemoveNotesCommand(SongDocument& document, std::vector<std::uint32_t> indices,
                                       NoteEdit edit)
    : SongCommand(document, NoteEditText(edit, indices.size())), indices_(std::move(indices)) {}

void RemoveNotesCommand::Announce(bool undoing) const {
    if (undoing)
        return;
    const NoteList& notes = document_.Content().Notes;
    for (std::uint32_t i : indices_)
        Told(*notes[i], nullptr);
}

void RemoveNotesCommand::redo() {
    held_ = TakeNotes(Edited().Notes, indices_);
    emit document_.NotesRemoved();
}

void RemoveNotesCommand::undo() {
    PutBack(Edited().Notes, indices_, held_);
    emit document_.NotesInserted();
}

// --- moved notes ---

MoveNotesCommand::MoveNotesCommand(SongDocument& document, std::vector<TMidiNote*> notes,
                                   std::int64_t deltaPos, std::int32_t deltaNote, NoteEdit edit,
                                   bool alreadyDone)
    : SongCommand(document, NoteEditText(edit, notes.size())), notes_(std::move(notes)),
      deltaPos_(deltaPos), deltaNote_(deltaNote), skipRedo_(alreadyDone) {}

void MoveNotesCommand::Announce(bool undoing) const {
    const std::int64_t sign = undoing ? -1 : 1;
    for (const TMidiNote* note : notes_) {
        TMidiNote after = *note;
        after.Pos = static_cast<std::int32_t>(after.Pos + sign * deltaPos_);
        after.NoteNum = static_cast<std::uint8_t>(after.NoteNum + sign * deltaNote_);
        Told(*note, &after);
    }
}

void MoveNotesCommand::Shift(std::int64_t deltaPos, std::int32_t deltaNote) {
    for (TMidiNote* note : notes_) {
        note->Pos = static_cast<std::int32_t>(note->Pos + deltaPos);
        note->NoteNum = static_cast<std::uint8_t>(note->NoteNum + deltaNote);
    }
    emit document_.NotesMoved();
}

void MoveNotesCommand::redo() {
    if (std::exchange(skipRedo_, false))
        return;
    Shift(deltaPos_, deltaNote_);
}

void MoveNotesCommand::undo() {
    Shift(-deltaPos_, -deltaNote_);
}

// --- tracks ---

AddTrackCommand::AddTrackCommand(SongDocument& document, SongTrack track, int selectedBefore)
    : SongCommand(document, TrackText("l'ajout du track ", document.Content().Tracks.size())),
      track_(std::move(track)), index_(document.Content().Tracks.size()),
      selectedBefore_(selectedBefore) {}

int AddTrackCommand::SoundedTrack(bool undoing) const {
    return undoing ? -1 : static_cast<int>(index_);
}

void AddTrackCommand::redo() {
    auto& tracks = Edited().Tracks;
    tracks.push_back(track_);
    emit document_.TracksChanged(static_cast<int>(tracks.size() - 1));
}

void AddTrackCommand::undo() {
    // Its notes, added later, were taken out by the undoing of their own steps.
    Edited().Tracks.pop_back();
    emit document_.TracksChanged(selectedBefore_);
}

ChangeTrackCommand::ChangeTrackCommand(SongDocument& document, std::size_t index, SongTrack after)
    : SongCommand(document, TrackText("la modification du track ", index)), index_(index),
      before_(document.Content().Tracks.at(index)), after_(std::move(after)) {}

void ChangeTrackCommand::redo() {
    Edited().Tracks[index_] = after_;
    emit document_.TracksChanged(static_cast<int>(index_));
}

void ChangeTrackCommand::undo() {
    Edited().Tracks[index_] = before_;
    emit document_.TracksChanged(static_cast<int>(index_));
}

DeleteTrackCommand::DeleteTrackCommand(SongDocument& document, std::size_t index)
    : SongCommand(document, TrackText("la suppression du track ", index)), index_(index),
      track_(document.Content().Tracks.at(index)) {
    const NoteList& notes = document.Content().Notes;
    for (std::size_t i = 0; i < notes.size(); ++i)
        if (notes[i]->Track == index)
            indices_.push_back(static_cast<std::uint32_t>(i));
}

void DeleteTrackCommand::Announce(bool undoing) const {
    if (undoing)
        return;
    const NoteList& notes = document_.Content().Notes;
    for (std::uint32_t i : indices_)
        Told(*notes[i], nullptr);
}

void DeleteTrackCommand::redo() {
    Song& song = Edited();
    held_ = TakeNotes(song.Notes, indices_);
    for (auto& note : song.Notes)
        if (note->Track > index_)
            --note->Track;
    song.Tracks.erase(song.Tracks.begin() + static_cast<std::ptrdiff_t>(index_));
    emit document_.TracksChanged(-1);
}

void DeleteTrackCommand::undo() {
    Song& song = Edited();
    for (auto& note : song.Notes)
        if (note->Track >= index_)
            ++note->Track;
    PutBack(song.Notes, indices_, held_);
    song.Tracks.insert(song.Tracks.begin() + static_cast<std::ptrdiff_t>(index_), track_);
    // The track was the selected one when it was deleted.
    emit document_.TracksChanged(static_cast<int>(index_));
}

} // namespace kadrel
