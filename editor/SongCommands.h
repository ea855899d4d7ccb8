#pragma once

#include "editor/SongDocument.h"

#include <QUndoCommand>

#include <cstdint>
#include <memory>
#include <vector>

namespace kadrel {

// A step of the song's history. The notes that a step takes out of the song belong to it (and
// are freed with it) until it puts them back, so that they come back as the same records at the
// same places: the order of the notes decides the saved bytes and what is sent first, and the
// score pairs its notes with the records.
class SongCommand : public QUndoCommand {
public:
    // Tells the document's hook about every note that undo() (undoing) or redo() is about to take
    // out of the song or change, before anything changes. Throws what the hook throws.
    virtual void Announce(bool undoing) const = 0;
    // The track whose instrument the step, undone (undoing) or redone, gives the song anew, so
    // that its program is sent as the track commands send it; -1 for none.
    virtual int SoundedTrack(bool undoing) const {
        (void)undoing;
        return -1;
    }

protected:
    SongCommand(SongDocument& document, const QString& text);

    Song& Edited() { return document_.song_; }
    void Told(const TMidiNote& note, const TMidiNote* after) const;

    SongDocument& document_;
};

// Notes appended at the end of the song (a note added, a paste).
class AppendNotesCommand final : public SongCommand {
public:
    AppendNotesCommand(SongDocument& document, std::vector<std::unique_ptr<TMidiNote>> notes,
                       NoteEdit edit);
    void Announce(bool undoing) const override;
    void undo() override;
    void redo() override;

private:
    std::vector<std::unique_ptr<TMidiNote>> held_; // while undone
    std::size_t count_;
};

// Notes taken out of the song (Delete, a right click, a cut), put back at their places by undo.
class RemoveNotesCommand final : public SongCommand {
public:
    RemoveNotesCommand(SongDocument& document, std::vector<std::uint32_t> indices, NoteEdit edit);
    void Announce(bool undoing) const override;
    void undo() override;
    void redo() override;

private:
    std::vector<std::uint32_t> indices_;           // ascending, as places in the song with them
    std::vector<std::unique_ptr<TMidiNote>> held_; // while done
};

// Notes moved by a common distance in positions and semitones (a drag, a raise, a lower).
class MoveNotesCommand final : public SongCommand {
public:
    // alreadyDone: the gesture moved the notes itself; the first redo leaves them.
    MoveNotesCommand(SongDocument& document, std::vector<TMidiNote*> notes, std::int64_t deltaPos,
                     std::int32_t deltaNote, NoteEdit edit, bool alreadyDone);
    void Announce(bool undoing) const override;
    void undo() override;
    void redo() override;

private:
    void Shift(std::int64_t deltaPos, std::int32_t deltaNote);

    std::vector<TMidiNote*> notes_;
    std::int64_t deltaPos_;
    std::int32_t deltaNote_;
    bool skipRedo_;
};

class AddTrackCommand final : public SongCommand {
public:
    AddTrackCommand(SongDocument& document, SongTrack track, int selectedBefore);
    void Announce(bool) const override {}
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
    void Announce(bool) const override {}
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
    void Announce(bool undoing) const override;
    int SoundedTrack(bool undoing) const override {
        return undoing ? static_cast<int>(index_) : -1;
    }
    void undo() override;
    void redo() override;

private:
    std::size_t index_;
    SongTrack track_;
    std::vector<std::uint32_t> indices_; // the track's notes, as places in the song with them
    std::vector<std::unique_ptr<TMidiNote>> held_;
};

} // namespace kadrel
