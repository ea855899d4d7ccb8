#include "EditorFixture.h"

#include <QPushButton>

#include <gmock/gmock.h>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

class TrackCommands : public EditorTest {};

TEST_F(TrackCommands, AddAppendsSelectsAndSendsTheProgram) {
    AddTrack(0, 5, "Basse");
    EXPECT_THAT(RowTexts(), ElementsAre("0|Basse|0|005 - E.Piano 2"));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(0, 5)));
    EXPECT_TRUE(IsModified());
    EXPECT_TRUE(ui().ModTrack->isEnabled());
    EXPECT_TRUE(ui().DelTrack->isEnabled());
    EXPECT_TRUE(ui().TrackList->hasFocus() || !window->isActiveWindow());
}

TEST_F(TrackCommands, AddProposesTheSmallestFreeChannel) {
    AddTrack(0);
    AddTrack(1);
    AddTrack(3);
    dialogs.TrackInfoAnswers.push_back([](TTrackInfo&) { return false; });
    window->AddTrackClick();
    EXPECT_EQ(dialogs.ShownChannel, 2);
    EXPECT_EQ(RowCount(), 3);
}

TEST_F(TrackCommands, AddShowsTheLastNameAndInstrumentWithTheProposedChannel) {
    AddTrack(0, 40, "Cordes");
    dialogs.TrackInfoAnswers.push_back([](TTrackInfo&) { return false; });
    window->AddTrackClick();
    EXPECT_EQ(dialogs.ShownName, "Cordes");
    EXPECT_EQ(dialogs.ShownPatch, 40);
    EXPECT_EQ(dialogs.ShownChannel, 1);
}

TEST_F(TrackCommands, AChannelInUseIsRefusedWithTheOwnersNumber) {
    AddTrack(0);
    AddTrack(1);
    AddTrack(9);
    out.Clear();
    dialogs.Messages.clear();
    MarkSaved();
    AddTrack(9);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Le canal 9 est déjà utilisé par le track #2.");
    EXPECT_EQ(dialogs.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(dialogs.Messages[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    EXPECT_EQ(RowCount(), 3);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(IsModified());
}

TEST_F(TrackCommands, CancelChangesNothingButModified) {
    AddTrack(0);
    MarkSaved();
    out.Clear();
    dialogs.TrackInfoAnswers.push_back([](TTrackInfo&) { return false; });
    window->AddTrackClick();
    EXPECT_EQ(RowCount(), 1);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(IsModified());
}

TEST_F(TrackCommands, SixteenRowsDisableAddUntilOneIsDeleted) {
    for (int ch = 0; ch < 16; ++ch)
        AddTrack(ch);
    EXPECT_FALSE(ui().AddTrack->isEnabled());
    SelectRow(15);
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->DelTrackClick();
    EXPECT_TRUE(ui().AddTrack->isEnabled());
    EXPECT_EQ(RowCount(), 15);
}

TEST_F(TrackCommands, ChangeKeepsItsOwnChannelAndRefusesAnothersChannel) {
    AddTrack(0);
    AddTrack(4);
    SelectRow(1);
    out.Clear();
    dialogs.TrackInfoAnswers.push_back(FillTrack(4, 73, "Flûte"));
    window->ModTrackClick();
    EXPECT_THAT(RowTexts(), ElementsAre("0||0|000 - Piano 1", "1|Flûte|4|073 - Flute"));
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(4, 73)));

    dialogs.TrackInfoAnswers.push_back(FillTrack(0, 1, "Autre"));
    window->ModTrackClick();
    EXPECT_EQ(dialogs.Messages.back().Text, "Le canal 0 est déjà utilisé par le track #0.");
    EXPECT_THAT(RowTexts(), ElementsAre("0||0|000 - Piano 1", "1|Flûte|4|073 - Flute"));
}

TEST_F(TrackCommands, RowsFromAFileSharingAChannelRefuseAChangeOfTheLaterOne) {
    AddTrack(5);
    AddTrack(6);
    SetTrack(1, {"", 5, 0}); // as a file can bring them
    SelectRow(1);
    dialogs.TrackInfoAnswers.push_back([](TTrackInfo& d) {
        d.TrackName->setText("nouveau nom");
        return true;
    });
    window->ModTrackClick();
    EXPECT_EQ(dialogs.Messages.back().Text, "Le canal 5 est déjà utilisé par le track #0.");
    EXPECT_EQ(Row(1).Name, "");
}

TEST_F(TrackCommands, AfterAChangeAddShowsThatRowsNameAndInstrument) {
    AddTrack(0, 0, "Piano");
    SelectRow(0);
    dialogs.TrackInfoAnswers.push_back(FillTrack(0, 8, "Cloches"));
    out.Clear();
    window->ModTrackClick();
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(0, 8))) << "Celesta is program 8";
    EXPECT_EQ(Row(0).Instrument, "008 - Celesta ");
    dialogs.TrackInfoAnswers.push_back([](TTrackInfo&) { return false; });
    window->AddTrackClick();
    EXPECT_EQ(dialogs.ShownName, "Cloches");
    EXPECT_EQ(dialogs.ShownPatch, 8);
    EXPECT_EQ(dialogs.ShownChannel, 1);
}

TEST_F(TrackCommands, ChangeFillsTheDialogFromTheRow) {
    AddTrack(6, 8, "Boîte");
    SelectRow(0);
    trackInfo->TrackName->setText("autre chose");
    dialogs.TrackInfoAnswers.push_back([](TTrackInfo& d) {
        EXPECT_EQ(d.TrackPatch->currentText(), "008 - Celesta ");
        return false;
    });
    window->ModTrackClick();
    EXPECT_EQ(dialogs.ShownName, "Boîte");
    EXPECT_EQ(dialogs.ShownChannel, 6);
    EXPECT_EQ(dialogs.ShownPatch, 8);
}

TEST_F(TrackCommands, ChangeOrDeleteWithoutASelectedRow) {
    for (auto command : {&TMain::ModTrackClick, &TMain::DelTrackClick}) {
        dialogs.Messages.clear();
        MarkSaved();
        (window.get()->*command)();
        ASSERT_EQ(dialogs.Messages.size(), 1u);
        EXPECT_EQ(dialogs.Messages[0].Text, "Vous devez sélectionner un track.");
        EXPECT_EQ(dialogs.Messages[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_TRUE(IsModified());
    }
}

TEST_F(TrackCommands, ChangingTheChannelLeavesExistingNotesOnTheOldOne) {
    AddTrack(0);
    AddNotes({{60, 0, 16, 0, 0}});
    SelectRow(0);
    out.Clear();
    dialogs.TrackInfoAnswers.push_back(FillTrack(3, 0));
    window->ModTrackClick();
    EXPECT_EQ(Notes()[0].Channel, 0);
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(3, 0)));
}

TEST_F(TrackCommands, DeletingTrack1Of3FreesItsNotesAndRenumbers) {
    AddTrack(0);
    AddTrack(1);
    AddTrack(2);
    for (std::uint16_t t : {0, 1, 2, 1, 2})
        AddNotes({{static_cast<std::uint8_t>(60 + t), 0, 16, 0, t}});
    SelectRow(1);
    ASSERT_EQ(score().NoteList().size(), 2u);
    out.Clear();
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->DelTrackClick();

    const auto& question = dialogs.Messages.back();
    EXPECT_EQ(question.Text, "Etes-vous sûr(e) de vouloir supprimer le track sélectionné?");
    EXPECT_EQ(question.Icon, QMessageBox::Question);
    EXPECT_EQ(question.Buttons, QMessageBox::Yes | QMessageBox::Cancel);
    EXPECT_THAT(RowTexts(), ElementsAre("0||0|000 - Piano 1", "1||2|000 - Piano 1"));
    ASSERT_EQ(Notes().size(), 3u);
    EXPECT_EQ(Notes()[0].Track, 0);
    EXPECT_EQ(Notes()[1].Track, 1);
    EXPECT_EQ(Notes()[1].NoteNum, 62);
    EXPECT_EQ(Notes()[2].Track, 1);
    EXPECT_TRUE(score().NoteList().empty());
    EXPECT_EQ(SelectedRow(), -1);
    EXPECT_TRUE(Sent().empty());
}

// Deleting the only track leaves no row, and Modifier and Supprimer disabled; Annuler keeps
// everything but sets Modified.
TEST_F(TrackCommands, DeletingTheOnlyTrackOrCancelling) {
    const struct {
        QMessageBox::StandardButton answer;
        int rows;
        bool modTrackAndDelTrack;
    } cases[] = {{QMessageBox::Yes, 0, false}, {QMessageBox::Cancel, 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        window.reset();
        Create();
        AddTrack(0);
        MarkSaved();
        dialogs.Answers.push_back(c.answer);
        window->DelTrackClick();
        EXPECT_EQ(RowCount(), c.rows);
        EXPECT_TRUE(ui().AddTrack->isEnabled());
        EXPECT_EQ(ui().ModTrack->isEnabled(), c.modTrackAndDelTrack);
        EXPECT_EQ(ui().DelTrack->isEnabled(), c.modTrackAndDelTrack);
        EXPECT_TRUE(IsModified());
    }
}

TEST_F(TrackCommands, ClickingARowShowsItsNotes) {
    AddTrack(0);
    AddTrack(1);
    AddNotes({{60, 0, 16, 0, 0}, {64, 16, 8, 1, 1}, {67, 32, 8, 1, 1}});
    const QRect row0 = ui().TrackList->visualItemRect(ui().TrackList->topLevelItem(0));
    QTest::mouseClick(ui().TrackList->viewport(), Qt::LeftButton, {}, row0.center());
    ASSERT_EQ(score().NoteList().size(), 1u);
    EXPECT_EQ(score().NoteList()[0]->Data, &Notes()[0]);
    const QRect row1 = ui().TrackList->visualItemRect(ui().TrackList->topLevelItem(1));
    QTest::mouseClick(ui().TrackList->viewport(), Qt::LeftButton, {}, row1.center());
    ASSERT_EQ(score().NoteList().size(), 2u);
    EXPECT_EQ(score().NoteList()[1]->Pos, 32);
    EXPECT_EQ(score().NoteList()[1]->Len, 8);
    EXPECT_EQ(score().NoteList()[1]->NoteNum, 67);
}

TEST_F(TrackCommands, ARefusedProgramChangeIsShownAndEndsTheCommand) {
    out.RefuseSend(11);
    MarkSaved();
    dialogs.TrackInfoAnswers.push_back(FillTrack(0, 3));
    QTest::mouseClick(ui().AddTrack, Qt::LeftButton);
    ASSERT_FALSE(dialogs.Messages.empty());
    EXPECT_EQ(dialogs.Messages.back().Caption, "Erreur");
    EXPECT_EQ(dialogs.Messages.back().Text,
              "Couldn't send MIDI short message: error 11 (Invalid parameter passed)");
    EXPECT_EQ(RowCount(), 1) << "the row stays";
    // The rest of the command is not done: the song is not marked as modified, the buttons stay
    // as they were, and the command that did not succeed is no step of the history.
    EXPECT_FALSE(IsModified());
    EXPECT_FALSE(ui().ModTrack->isEnabled());
    EXPECT_FALSE(ui().Annuler->isEnabled());
}

// Nothing can be sent on a channel of 16 or more (a track of a file of many tracks): undo and
// redo that give such a track back send nothing and show no box.
TEST_F(TrackCommands, UndoAndRedoSendNothingOnAChannelBeyond15) {
    AddTrack(2, 5);
    SetTrack(0, {"", 16, 7});
    out.Clear();
    dialogs.Messages.clear();
    window->AnnulerClick(); // back to channel 2: its program sounds
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(2, 5)));
    window->RetablirClick(); // channel 16 again
    EXPECT_THAT(Sent(), ElementsAre(PatchMsg(2, 5)));
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(TrackCommands, TheDialogHasTheInstrumentList) {
    ASSERT_EQ(trackInfo->TrackPatch->count(), 128);
    EXPECT_EQ(trackInfo->TrackPatch->itemText(0), "000 - Piano 1");
    EXPECT_EQ(trackInfo->TrackPatch->itemText(8), "008 - Celesta ");
    EXPECT_EQ(trackInfo->TrackPatch->itemText(127), "127 - Gunshot");
    EXPECT_EQ(trackInfo->windowTitle(), "Informations du track");
    EXPECT_EQ(trackInfo->size(), QSize(314, 185));
    EXPECT_EQ(trackInfo->TrackChannel->maximum(), 15);
    EXPECT_EQ(trackInfo->Cancel->text(), "Annuler");
    EXPECT_TRUE(trackInfo->OK->isDefault());
}

} // namespace
} // namespace kadrel::test
