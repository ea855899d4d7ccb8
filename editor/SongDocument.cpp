#include "editor/SongDocument.h"

#include "editor/SongCommands.h"
#include "song/ImportTexts.h"

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

void SongDocument::Push(std::unique_ptr<SongCommand> command) {
    if (beforeChange_)
        beforeChange_();
    command->Announce(false);
    history_.push(command.release());
}

void SongDocument::AppendNotes(std::vector<std::unique_ptr<TMidiNote>> notes, NoteEdit edit) {
    if (notes.empty())
        return;
    Push(std::make_unique<AppendNotesCommand>(*this, std::move(notes), edit));
}

void SongDocument::RemoveNotes(std::vector<std::uint32_t> indices, NoteEdit edit) {
    if (indices.empty())
        return;
    Push(std::make_unique<RemoveNotesCommand>(*this, std::move(indices), edit));
}

void SongDocument::MoveNotes(std::vector<TMidiNote*> notes, std::int64_t deltaPos,
                             std::int32_t deltaNote, NoteEdit edit) {
    if (notes.empty() || (deltaPos == 0 && deltaNote == 0))
        return;
    Push(std::make_unique<MoveNotesCommand>(*this, std::move(notes), deltaPos, deltaNote, edit,
                                            false));
}

void SongDocument::RecordMove(std::vector<TMidiNote*> notes, std::int64_t deltaPos,
                              std::int32_t deltaNote) {
    if (notes.empty() || (deltaPos == 0 && deltaNote == 0))
        return;
    // Nothing to announce: the gesture told about every change as it made it.
    if (beforeChange_)
        beforeChange_();
    history_.push(
        new MoveNotesCommand(*this, std::move(notes), deltaPos, deltaNote, NoteEdit::Move, true));
}

void SongDocument::AddTrack(SongTrack track, int selectedRow) {
    Push(std::make_unique<AddTrackCommand>(*this, std::move(track), selectedRow));
}

void SongDocument::ChangeTrack(std::size_t index, SongTrack track) {
    if (song_.Tracks.at(index) == track)
        return;
    Push(std::make_unique<ChangeTrackCommand>(*this, index, std::move(track)));
}

void SongDocument::DeleteTrack(std::size_t index) {
    Push(std::make_unique<DeleteTrackCommand>(*this, index));
}

const SongCommand* SongDocument::Undo() {
    if (beforeChange_)
        beforeChange_();
    if (!history_.canUndo())
        return nullptr;
    const auto* step = static_cast<const SongCommand*>(history_.command(history_.index() - 1));
    step->Announce(true);
    history_.undo();
    return step;
}

const SongCommand* SongDocument::Redo() {
    if (beforeChange_)
        beforeChange_();
    if (!history_.canRedo())
        return nullptr;
    const auto* step = static_cast<const SongCommand*>(history_.command(history_.index()));
    step->Announce(false);
    history_.redo();
    return step;
}

void SongDocument::Replace(Song song, bool saved) {
    if (beforeChange_)
        beforeChange_();
    if (noteChange_)
        for (const auto& note : song_.Notes)
            noteChange_(*note, nullptr);
    // The old song lives until the views have let go of its notes.
    Song old = std::exchange(song_, std::move(song));
    history_.clear();
    if (!saved)
        history_.resetClean();
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
