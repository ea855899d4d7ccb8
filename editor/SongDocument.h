#pragma once

#include "song/Song.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kadrel {

class SongCommand;

// What a step of the history did to notes, for its text in the Édition menu.
enum class NoteEdit { Add, Remove, Move, Raise, Lower, Paste, Cut };

// The song being edited with its history. Every change of the song is one step of the history
// (a command that can be undone and redone); views read the song and refresh from the signals.
// The history keeps at most 1000 steps.
class SongDocument : public QObject {
    Q_OBJECT

public:
    // Told about a note before it changes, with what it is about to become (null when it leaves
    // the song); it may throw, and then nothing has changed.
    using NoteChangeHook = std::function<void(const TMidiNote& note, const TMidiNote* after)>;

    explicit SongDocument(QObject* parent = nullptr);
    ~SongDocument() override;

    const Song& Content() const { return song_; }
    const std::string& FileName() const { return song_.FileName; }
    QUndoStack& History() { return history_; }

    // The song has changes that are not saved: steps since the last save or opening, or the
    // song was touched by a command that counts as a change though it changed nothing.
    bool IsModified() const { return touched_ || !history_.isClean(); }

    void SetNoteChangeHook(NoteChangeHook hook) { noteChange_ = std::move(hook); }
    // Called first by every change and by Undo and Redo (the window ends its gestures there).
    void SetBeforeChange(std::function<void()> hook) { beforeChange_ = std::move(hook); }

    // --- steps of the history ---

    // Appends notes at the end of the song, in order.
    void AppendNotes(std::vector<std::unique_ptr<TMidiNote>> notes, NoteEdit edit);
    // Removes the notes at the given places in the song's notes (ascending, no repeats).
    void RemoveNotes(std::vector<std::uint32_t> indices, NoteEdit edit);
    // Moves notes of the song by deltaPos positions and deltaNote semitones.
    void MoveNotes(std::vector<TMidiNote*> notes, std::int64_t deltaPos, std::int32_t deltaNote,
                   NoteEdit edit);
    // Records as one step a move that a gesture has already made on the notes.
    void RecordMove(std::vector<TMidiNote*> notes, std::int64_t deltaPos, std::int32_t deltaNote);
    // Appends a track; selectedRow is the row selected before, selected again by undo.
    void AddTrack(SongTrack track, int selectedRow);
    void ChangeTrack(std::size_t index, SongTrack track);
    // Deletes a track with its notes; the notes of the tracks after it take the number one less.
    void DeleteTrack(std::size_t index);

    bool CanUndo() const { return history_.canUndo(); }
    bool CanRedo() const { return history_.canRedo(); }
    // Each returns the step undone or redone, or null when there was none.
    const SongCommand* Undo();
    const SongCommand* Redo();

    // --- the whole song ---

    // Puts another song in place with an empty history (New, Open, the import). A saved song is
    // unmodified; another (an import) stays modified until it is saved.
    void Replace(Song song, bool saved);
    void SetFileName(const std::string& fileName);
    // Counts as a change: the song is modified until saved, or until undo or redo come back to
    // the saved state.
    void Touch();
    // The song as it is now is saved.
    void MarkSaved();

signals:
    // Notes from index first to the end were appended.
    void NotesAppended(std::size_t first);
    // Notes were put back among the others, or taken out (their records live on in the history).
    void NotesInserted();
    void NotesRemoved();
    // Positions or note numbers of notes changed.
    void NotesMoved();
    // The tracks changed; selectedRow is the row to select afterwards (-1: none).
    void TracksChanged(int selectedRow);
    void SongReplaced();
    void ModifiedChanged(bool modified);
    void FileNameChanged();

private:
    friend class SongCommand;

    void Push(std::unique_ptr<SongCommand> command);
    void UpdateModified();

    Song song_;
    QUndoStack history_;
    NoteChangeHook noteChange_;
    std::function<void()> beforeChange_;
    bool touched_ = false;
    bool modified_ = false;
};

// The text naming a step on notes: "le déplacement de 12 notes", "l'ajout d'une note".
QString NoteEditText(NoteEdit edit, std::size_t count);

} // namespace kadrel
