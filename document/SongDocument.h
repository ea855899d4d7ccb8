#pragma once

#include "song/Song.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kadrel {

class SongCommand;

// What a step of the history did to notes, for its text in the Édition menu.
enum class NoteEdit { Add, Remove, Move, Raise, Lower, Paste, Cut, Velocity };

// Places of notes in the song's notes, ascending, without repeats.
using NoteIndices = std::vector<std::uint32_t>;

// The song being edited with its history: the only code that changes a song. Every change is a
// step of the history (an undo command); the history's own actions undo and redo them. Views
// read the song and follow the signals. Whoever holds something that refers to notes (the
// notes sounding during playback) hears of a change before it happens, the way item models
// announce rows, and of what it did after. The history keeps at most 1000 steps.
class SongDocument : public QObject {
    Q_OBJECT

public:
    explicit SongDocument(QObject* parent = nullptr);
    ~SongDocument() override;

    const Song& Content() const { return song_; }
    const std::string& FileName() const { return song_.FileName; }
    QUndoStack& History() { return history_; }

    // The song has changes that are not saved: steps since the last save or opening, or the
    // song was touched by a command that counts as a change though it changed nothing.
    bool IsModified() const { return touched_ || !history_.isClean(); }

    // --- steps of the history ---

    // A number for a gesture of the mouse (a note added and lengthened, a drag): the steps made
    // with it while it lasts become one step of the history.
    int StartGesture() { return ++lastGesture_; }

    // Appends notes at the end of the song, in order.
    void AppendNotes(NoteList notes, NoteEdit edit, int gesture = 0);
    // Removes the notes at the given places.
    void RemoveNotes(NoteIndices indices, NoteEdit edit);
    // Gives the notes at the given places the values after[i] (moved, raised, lengthened, other
    // velocities). With a gesture, one step with the gesture's steps before it.
    void ChangeNotes(NoteIndices indices, NoteList after, NoteEdit edit, int gesture = 0);

    // Appends a track; selectedRow is the row selected before, selected again by undo. send (which
    // sends the track's instrument) runs first; when it throws, the track is put in the song all
    // the same, as the command had got that far, but the command has not succeeded: it becomes no
    // step, and the song is not marked as changed by it.
    void AddTrack(SongTrack track, int selectedRow, const std::function<void()>& send = {});
    // Changes a track, with send as for AddTrack. Changing it into itself is no step.
    void ChangeTrack(std::size_t index, SongTrack track, const std::function<void()>& send = {});
    // Deletes a track with its notes; the notes of the tracks after it take the number one less.
    void DeleteTrack(std::size_t index);

    // The history's undo and redo, for callers without its actions.
    bool Undo();
    bool Redo();

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
    // An undo or a redo is about to run (not a step being done for the first time).
    void StepAboutToRun();
    // The notes at indices are about to become after[i], or to leave the song.
    void NotesAboutToChange(const kadrel::NoteIndices& indices, const kadrel::NoteList& after);
    void NotesAboutToBeRemoved(const kadrel::NoteIndices& indices);
    void SongAboutToBeReplaced();

    // Notes from index first to the end were appended.
    void NotesAppended(std::size_t first);
    // Notes were put back: they now stand at indices.
    void NotesInserted(const kadrel::NoteIndices& indices);
    // The notes that stood at indices were taken out.
    void NotesRemoved(const kadrel::NoteIndices& indices);
    // The notes at indices changed their values.
    void NotesChanged(const kadrel::NoteIndices& indices);
    // The tracks changed; selectedRow is the row to select afterwards (-1: none).
    void TracksChanged(int selectedRow);
    // An undo or a redo gave back or changed the track at row: its instrument is to be sent, as
    // the track commands send it.
    void TrackRestored(int row);
    void SongReplaced();
    void ModifiedChanged(bool modified);
    void FileNameChanged();

private:
    friend class SongCommand;

    void Push(SongCommand* command);
    // Does what the command does without making it a step, then frees it.
    void ApplyOutsideHistory(SongCommand* command);
    void UpdateModified();
    void IndexChanged(int index);

    Song song_;
    QUndoStack history_;
    bool touched_ = false;
    bool modified_ = false;
    // While a step is pushed, its redo is its first doing, not a redo of the history.
    bool pushing_ = false;
    int lastIndex_ = 0;
    int lastGesture_ = 0;
};

// The text naming a step on notes: "le déplacement de 12 notes", "l'ajout d'une note".
QString NoteEditText(NoteEdit edit, std::size_t count);

} // namespace kadrel
