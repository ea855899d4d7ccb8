#pragma once

#include "document/SongDocument.h"

#include "song/TrackEdits.h"

#include <QUndoCommand>

#include <cstdint>
#include <optional>
#include <vector>

namespace kadrel {

// A step of the song's history. The notes that a step takes out of the song belong to it until
// it puts them back, so that they come back at the same places: the order of the notes decides
// the saved bytes and what is sent first. Each step announces what it is about to change before
// changing anything, and tells what it did afterwards.
class SongCommand : public QUndoCommand {
public:
    // The track whose instrument the step, undone (undoing) or redone, gives the song anew, so
    // that its program is sent as the track commands send it; -1 for none.
    virtual int SoundedTrack(bool undoing) const {
        (void)undoing;
        return -1;
    }

protected:
    SongCommand(SongDocument& document, const QString& text, int gesture = 0);

    // Steps of one gesture share an id, so that the history merges them.
    int id() const override { return gesture_ == 0 ? -1 : gesture_; }

    Song& Edited() { return document_.song_; }
    const Song& Current() const { return document_.song_; }
    // Called first by every undo() and redo().
    void BeforeStep();

    SongDocument& document_;
    int gesture_;
};

// Notes appended at the end of the song (a note added, a paste). The changes that the same
// gesture makes to them afterwards (a new note lengthened) become part of this step.
class AppendNotesCommand final : public SongCommand {
public:
    AppendNotesCommand(SongDocument& document, NoteList notes, NoteEdit edit, int gesture);
    void undo() override;
    void redo() override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    NoteList held_; // while undone
    std::size_t count_;
    std::size_t first_ = 0; // where they stand while done
};

// Notes taken out of the song (Delete, a right click, a cut), put back at their places by undo.
class RemoveNotesCommand final : public SongCommand {
public:
    RemoveNotesCommand(SongDocument& document, NoteIndices indices, NoteEdit edit);
    void undo() override;
    void redo() override;

private:
    NoteIndices indices_; // ascending, as places in the song with them
    NoteList held_;       // while done
};

// Notes given new values (moved, raised, lowered, lengthened, other velocities). It holds one
// value per note, the one the song does not hold: doing and undoing swap them, so that a step on
// a million notes keeps a million values, not two. The moves of one drag merge into one step; a
// drag that brings every note back is no step.
class ChangeNotesCommand final : public SongCommand {
public:
    ChangeNotesCommand(SongDocument& document, NoteIndices indices, NoteList after, NoteEdit edit,
                       int gesture);
    void undo() override;
    void redo() override;
    bool mergeWith(const QUndoCommand* other) override;

    const NoteIndices& Indices() const { return indices_; }

private:
    void Swap();

    NoteIndices indices_;
    NoteList other_; // the values the song does not hold: after while undone, before while done
};

// A track step: the song's own track edit (which on an imported song also changes the file's
// events), undone by putting back what the edit says it changed. Before doing or undoing, the
// notes of the row that the step takes out or moves to another channel are announced.
class TrackCommand : public SongCommand {
public:
    void undo() override;
    void redo() override;

protected:
    TrackCommand(SongDocument& document, const QString& text, std::size_t row);
    // Does the edit on the song and says what it changed.
    virtual TrackEditUndo Edit(Song& song) = 0;
    // Announces what the edit, or its undoing, is about to do to notes.
    virtual void Announce(bool undoing) = 0;
    // The row to select afterwards.
    virtual int SelectedAfter(bool undoing) const = 0;
    // The notes of the row, as places in the song.
    NoteIndices RowNotes() const;

    std::size_t row_;

private:
    std::optional<TrackEditUndo> undo_;
};

class AddTrackCommand final : public TrackCommand {
public:
    AddTrackCommand(SongDocument& document, SongTrack track, int selectedBefore);
    int SoundedTrack(bool undoing) const override;

private:
    TrackEditUndo Edit(Song& song) override;
    void Announce(bool) override {}
    int SelectedAfter(bool undoing) const override;

    SongTrack track_;
    int selectedBefore_;
};

class ChangeTrackCommand final : public TrackCommand {
public:
    ChangeTrackCommand(SongDocument& document, std::size_t index, SongTrack after);
    int SoundedTrack(bool) const override { return static_cast<int>(row_); }

private:
    TrackEditUndo Edit(Song& song) override;
    // A channel change of an imported song's row moves its notes to the new channel.
    void Announce(bool undoing) override;
    int SelectedAfter(bool) const override { return static_cast<int>(row_); }

    SongTrack before_;
    SongTrack after_;
};

// A track deleted with its notes (and, in an imported song, its channel's events); the notes of
// later tracks are renumbered, and back by undo.
class DeleteTrackCommand final : public TrackCommand {
public:
    DeleteTrackCommand(SongDocument& document, std::size_t index);
    int SoundedTrack(bool undoing) const override { return undoing ? static_cast<int>(row_) : -1; }

private:
    TrackEditUndo Edit(Song& song) override;
    void Announce(bool undoing) override;
    // The track was the selected one when it was deleted.
    int SelectedAfter(bool undoing) const override { return undoing ? static_cast<int>(row_) : -1; }
};

} // namespace kadrel
