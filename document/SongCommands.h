#pragma once

#include "document/SongDocument.h"

#include <QUndoCommand>

#include <cstdint>
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

// Notes given new values (moved, raised, lowered, lengthened, other velocities). Holds the values
// before and after, so that undo and redo are the same assignment. The moves of one drag merge
// into one step; a drag that brings every note back is no step.
class ChangeNotesCommand final : public SongCommand {
public:
    ChangeNotesCommand(SongDocument& document, NoteIndices indices, NoteList after, NoteEdit edit,
                       int gesture);
    void undo() override;
    void redo() override;
    bool mergeWith(const QUndoCommand* other) override;

    const NoteIndices& Indices() const { return indices_; }
    const NoteList& After() const { return after_; }

private:
    void Assign(const NoteList& values);

    NoteIndices indices_;
    NoteList before_;
    NoteList after_;
};

class AddTrackCommand final : public SongCommand {
public:
    AddTrackCommand(SongDocument& document, SongTrack track, int selectedBefore);
    int SoundedTrack(bool undoing) const override;
    void undo() override;
    void redo() override;

private:
    SongTrack track_;
    std::size_t index_;
    int selectedBefore_;
};

class ChangeTrackCommand final : public SongCommand {
public:
    ChangeTrackCommand(SongDocument& document, std::size_t index, SongTrack after);
    int SoundedTrack(bool) const override { return static_cast<int>(index_); }
    void undo() override;
    void redo() override;

private:
    std::size_t index_;
    SongTrack before_;
    SongTrack after_;
};

// A track deleted with its notes; the notes of later tracks are renumbered, and back by undo.
class DeleteTrackCommand final : public SongCommand {
public:
    DeleteTrackCommand(SongDocument& document, std::size_t index);
    int SoundedTrack(bool undoing) const override {
        return undoing ? static_cast<int>(index_) : -1;
    }
    void undo() override;
    void redo() override;

private:
    std::size_t index_;
    SongTrack track_;
    NoteIndices indices_; // the track's notes, as places in the song with them
    NoteList held_;
};

} // namespace kadrel
