#include "EditorFixture.h"
#include "document/RandomSongEdits.h"
#include "editor/TrackRowTexts.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrel::test {
namespace {

// The same through the window: after every step, undo and redo, the rows show the tracks and the
// score shows the selected track's notes, each paired with its record, in the song's order.
class SongHistoryInTheWindow : public EditorTest {
protected:
    void ExpectViewsShowTheSong() {
        EXPECT_EQ(RowTexts().size(), SongView().Tracks.size());
        for (int i = 0; i < RowCount(); ++i) {
            const TrackRowTexts texts =
                kadrel::RowTexts(SongView().Tracks[i], static_cast<std::size_t>(i));
            const QTreeWidgetItem* item = ui().TrackList->topLevelItem(i);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->text(0).toStdString(), texts.Caption);
            EXPECT_EQ(item->text(1).toStdString(), texts.Name);
            EXPECT_EQ(item->text(2).toStdString(), texts.Channel);
            EXPECT_EQ(item->text(3).toStdString(), texts.Instrument);
        }
        EXPECT_EQ(ui().TrackList->topLevelItemCount(), RowCount());
        std::vector<const TMidiNote*> expected;
        for (const TMidiNote& note : Notes())
            if (std::int64_t{note.Track} == SelectedRow())
                expected.push_back(&note);
        std::vector<const TMidiNote*> shown;
        for (const auto& note : score().NoteList()) {
            shown.push_back(static_cast<const TMidiNote*>(note->Data));
            EXPECT_EQ(note->Pos, shown.back()->Pos);
            EXPECT_EQ(note->Len, shown.back()->Len);
            EXPECT_EQ(note->NoteNum, shown.back()->NoteNum);
        }
        EXPECT_EQ(shown, expected);
    }
};

TEST_F(SongHistoryInTheWindow, TheViewsFollowRandomStepsUndoAndRedo) {
    SongDocument& document = Document();
    RandomEditor editor(document, 7, false);
    editor.OpenRandomSong();
    SelectRow(0);
    for (int i = 0; i < 400; ++i) {
        SCOPED_TRACE(i);
        const int what = editor.Below(5);
        if (what == 0)
            window->AnnulerClick();
        else if (what == 1)
            window->RetablirClick();
        else if (what == 2 && RowCount() > 0)
            SelectRow(editor.Below(RowCount()));
        else
            editor.Edit();
        ExpectViewsShowTheSong();
        if (HasFatalFailure() || HasNonfatalFailure())
            return;
    }
}

} // namespace
} // namespace kadrel::test
