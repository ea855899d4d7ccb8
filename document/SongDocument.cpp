#include "document/SongDocument.h"

#include "document/SongCommands.h"
#include "song/ImportTexts.h"

#include <memory>
#include <utility>

namespace kadrel {

namespace {

constexpr int HistoryLimit = 1000;

} // namespace

QString NoteEditText(NoteEdit edit, std::size_t count) {
    const char* what = "";
    switch (edit) {
    case NoteEdit::Add:
        what = "l'ajout";
        break;
    case NoteEdit::Remove:
        what = "la suppression";
        break;
    case NoteEdit::Move:
        what = "le déplacement";
        break;
    case NoteEdit::Raise:
        what = "la hausse";
        break;
    case NoteEdit::Lower:
        what = "la baisse";
        break;
    case NoteEdit::Paste:
        what = "le collage";
        break;
    case NoteEdit::Cut:
        what = "la coupe";
        break;
    case NoteEdit::Velocity:
        what = "le changement de vélocité";
        break;
    }
    const QString notes =
        count == 1
            ? QStringLiteral(" d'une note")
            : QStringLiteral(" de %1 notes").arg(QString::fromStdString(GroupedNumber(count)));
    return QString::fromUtf8(what) + notes;
}

SongDocument::SongDocument(QObject* parent) : QObject(parent) {
    history_.setUndoLimit(HistoryLimit);
    connect(&history_, &QUndoStack::cleanChanged, this, [this](bool clean) {
        // Back to the saved state: what touched the song since then is undone as well.
        if (clean)
            touched_ = false;
        UpdateModified();
    });
    connect(&history_, &QUndoStack::indexChanged, this, &SongDocument::IndexChanged);
}

SongDocument::~SongDocument() {
    // The steps go before the song: none of them refers to it when it is freed.
    history_.clear();
}

void SongDocument::UpdateModified() {
    const bool modified = IsModified();
    if (modified != modified_) {
        modified_ = modified;
        emit ModifiedChanged(modified);
    }
}

void SongDocument::IndexChanged(int index) {
    const int before = std::exchange(lastIndex_, index);
    if (pushing_)
        return;
    // One step undone or redone by the history: a track that it gives back or changes sounds
    // its instrument again.
    const bool undone = index == before - 1;
    const bool redone = index == before + 1;
    if (!undone && !redone)
        return;
    const auto* step = dynamic_cast<const SongCommand*>(history_.command(undone ? index : before));
    if (step == nullptr)
        return;
    const int row = step->SoundedTrack(undone);
    if (row >= 0 && static_cast<std::size_t>(row) < song_.Tracks.size())
        emit TrackRestored(row);
}

void SongDocument::Push(SongCommand* command) {
    pushing_ = true;
    history_.push(command);
    pushing_ = false;
    lastIndex_ = history_.index();
}

void SongDocument::ApplyOutsideHistory(SongCommand* command) {
    const std::unique_ptr<SongCommand> owned(command);
    pushing_ = true;
    owned->redo();
    pushing_ = false;
}

void SongDocument::AppendNotes(NoteList notes, NoteEdit edit, int gesture) {
    if (notes.empty())
        return;
    Push(new AppendNotesCommand(*this, std::move(notes), edit, gesture));
}

void SongDocument::RemoveNotes(NoteIndices indices, NoteEdit edit) {
    if (indices.empty())
        return;
    Push(new RemoveNotesCommand(*this, std::move(indices), edit));
}

void SongDocument::ChangeNotes(NoteIndices indices, NoteList after, NoteEdit edit, int gesture) {
    bool changes = false;
    for (std::size_t i = 0; i < indices.size() && !changes; ++i)
        changes = song_.Notes.at(indices[i]) != after.at(i);
    if (!changes)
        return;
    Push(new ChangeNotesCommand(*this, std::move(indices), std::move(after), edit, gesture));
}

void SongDocument::AddTrack(SongTrack track, int selectedRow, const std::function<void()>& send) {
    if (send) {
        try {
            send();
        } catch (...) {
            ApplyOutsideHistory(new AddTrackCommand(*this, std::move(track), selectedRow));
            throw;
        }
    }
    Push(new AddTrackCommand(*this, std::move(track), selectedRow));
}

void SongDocument::ChangeTrack(std::size_t index, SongTrack track,
                               const std::function<void()>& send) {
    const bool same = song_.Tracks.at(index) == track;
    if (send) {
        try {
            send();
        } catch (...) {
            if (!same)
                ApplyOutsideHistory(new ChangeTrackCommand(*this, index, std::move(track)));
            throw;
        }
    }
    if (!same)
        Push(new ChangeTrackCommand(*this, index, std::move(track)));
}

void SongDocument::DeleteTrack(std::size_t index) {
    Push(new DeleteTrackCommand(*this, index));
}

bool SongDocument::Undo() {
    if (!history_.canUndo())
        return false;
    history_.undo();
    return true;
}

bool SongDocument::Redo() {
    if (!history_.canRedo())
        return false;
    history_.redo();
    return true;
}

void SongDocument::Replace(Song song, bool saved) {
    emit SongAboutToBeReplaced();
    // The old song lives until the views have let go of its notes.
    Song old = std::exchange(song_, std::move(song));
    pushing_ = true;
    history_.clear();
    if (!saved)
        history_.resetClean();
    pushing_ = false;
    lastIndex_ = history_.index();
    touched_ = false;
    emit SongReplaced();
    if (old.FileName != song_.FileName)
        emit FileNameChanged();
    UpdateModified();
}

void SongDocument::SetFileName(const std::string& fileName) {
    if (fileName == song_.FileName)
        return;
    song_.FileName = fileName;
    emit FileNameChanged();
}

void SongDocument::Touch() {
    touched_ = true;
    UpdateModified();
}

void SongDocument::MarkSaved() {
    history_.setClean();
    touched_ = false;
    UpdateModified();
}

} // namespace kadrel
