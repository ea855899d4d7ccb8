// The score and the track list as views of the song document: they follow its signals.

#include "editor/MainWindow.h"

#include <QTreeWidget>

namespace kadrel {

void TMain::ConnectDocument() {
    document_->SetNoteChangeHook(
        [this](const TMidiNote& note, const TMidiNote* after) { BeforeNoteChange(note, after); });
    document_->SetBeforeChange([this] { EndGesture(); });

    connect(document_.get(), &SongDocument::NotesAppended, this, [this](std::size_t first) {
        // Appended notes come last in the song, so they come last on the score as well.
        const int shown = SelectedRow();
        const NoteList& notes = SongView().Notes;
        const bool many = notes.size() - first > 1;
        Partition->PaintEnabled = !many;
        for (std::size_t i = first; i < notes.size(); ++i)
            if (std::int64_t{notes[i]->Track} == shown)
                Partition->AddNote(notes[i]->NoteNum, notes[i]->Pos, notes[i]->Len, notes[i].get());
        Partition->PaintEnabled = true;
        if (many)
            Partition->Paint();
    });
    connect(document_.get(), &SongDocument::NotesInserted, this, [this] { RefreshScore(false); });
    connect(document_.get(), &SongDocument::NotesRemoved, this, [this] { RefreshScore(true); });
    connect(document_.get(), &SongDocument::NotesMoved, this, [this] { RefreshShownNotes(); });
    connect(document_.get(), &SongDocument::TracksChanged, this, &TMain::TracksChanged);
    connect(document_.get(), &SongDocument::ModifiedChanged, this, [this] { UpdateTitle(); });
    connect(document_.get(), &SongDocument::FileNameChanged, this, [this] { UpdateTitle(); });
    connect(document_.get(), &SongDocument::SongReplaced, this, [this] {
        // The score lets go of the old song's notes before they are freed.
        Partition->ClearNotes();
        ShowTracks();
        SelectRow(-1);
    });
}

void TMain::RefreshScore(bool removed) {
    // The score shows the track's notes in the song's order; walking both keeps the selection
    // of the notes that stay. Where the two differ, a note was taken out (removed) or put in.
    const int shown = SelectedRow();
    const auto& before = Partition->NoteList();
    std::vector<std::pair<TMidiNote*, bool>> after;
    std::size_t next = 0;
    for (const auto& note : SongView().Notes) {
        if (std::int64_t{note->Track} != shown)
            continue;
        if (removed)
            while (next < before.size() && before[next]->Data != note.get())
                ++next;
        bool selected = false;
        if (next < before.size() && before[next]->Data == note.get())
            selected = before[next++]->Selected;
        after.emplace_back(note.get(), selected);
    }
    Partition->PaintEnabled = false;
    Partition->ClearNotes();
    for (const auto& [note, selected] : after)
        Partition->AddNote(note->NoteNum, note->Pos, note->Len, note)->Selected = selected;
    Partition->PaintEnabled = true;
    Partition->Paint();
}

void TMain::RefreshShownNotes() {
    for (const auto& shown : Partition->NoteList()) {
        const TMidiNote& note = SongNote(shown.get());
        shown->NoteNum = note.NoteNum;
        shown->Pos = note.Pos;
        shown->Len = note.Len;
    }
    Partition->Paint();
}

} // namespace kadrel
