#include "document/RandomSongEdits.h"

#include <gtest/gtest.h>

namespace kadrel::test {
namespace {

// A random sequence of edits of every kind, undone to the start and redone to the end, then
// undo, redo and new edits mixed: at every point the song is the one the history says, and saves
// the same bytes; a song made in Kadrel and one imported as its file is alike.
TEST(SongHistory, RandomEditsUndoAndRedoToTheSameSongs) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        const bool imported = seed > 20;
        SCOPED_TRACE(seed);
        SongDocument document;
        RandomEditor editor(document, seed);
        if (imported)
            editor.OpenRandomImportedSong();
        else
            editor.OpenRandomSong();
        // states[i]: the song after i steps of the history
        std::vector<Snapshot> states{Take(document)};
        while (states.size() <= 200)
            if (editor.Edit())
                states.push_back(Take(document));
        ASSERT_EQ(document.History().count(), 200);

        while (document.History().canUndo())
            document.Undo();
        ASSERT_EQ(Take(document), states.front());
        EXPECT_FALSE(document.IsModified()) << "back to the saved song";
        while (document.History().canRedo())
            document.Redo();
        ASSERT_EQ(Take(document), states.back());

        for (int i = 0; i < 300; ++i) {
            const int what = editor.Below(3);
            if (what == 0 && document.History().canUndo()) {
                document.Undo();
            } else if (what == 1 && document.History().canRedo()) {
                document.Redo();
            } else if (what == 2 && editor.Edit()) {
                // a new step drops the steps that were undone
                states.resize(static_cast<std::size_t>(document.History().index()));
                states.push_back(Take(document));
                ASSERT_FALSE(document.History().canRedo());
            } else {
                continue;
            }
            ASSERT_EQ(Take(document), states[static_cast<std::size_t>(document.History().index())])
                << "after action " << i;
        }
    }
}

// The history keeps the last 1000 steps: the oldest are dropped, and the song can no longer go
// back to the saved state.
TEST(SongHistory, KeepsTheLast1000Steps) {
    SongDocument document;
    Song song;
    song.Tracks.push_back({"", 0, 0});
    document.Replace(std::move(song), true);
    for (int i = 0; i < 1005; ++i) {
        document.AppendNotes({TMidiNote{60, i, 1, 0, 0}}, NoteEdit::Add);
    }
    EXPECT_EQ(document.History().count(), 1000);
    while (document.History().canUndo())
        document.Undo();
    ASSERT_EQ(document.Content().Notes.size(), 5u);
    EXPECT_EQ(document.Content().Notes.back().Pos, 4);
    EXPECT_TRUE(document.IsModified());
}

} // namespace
} // namespace kadrel::test
