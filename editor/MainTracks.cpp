#include "editor/MainWindow.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "song/Instruments.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>

namespace kadrel {

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

constexpr int MaxTracksByCommand = 16;

} // namespace

int TMain::RowCount() const {
    return static_cast<int>(SongView().Tracks.size());
}

TrackRowTexts TMain::Row(int index) const {
    return RowTexts(SongView().Tracks.at(static_cast<std::size_t>(index)),
                    static_cast<std::size_t>(index));
}

int TMain::SelectedRow() const {
    const auto selected = TrackList->selectedItems();
    return selected.isEmpty() ? -1 : TrackList->indexOfTopLevelItem(selected.constFirst());
}

// The rows show the song's tracks; a row keeps its item while the list does not shrink below it,
// so that only what changed is redrawn.
void TMain::ShowTracks() {
    const QSignalBlocker quiet(TrackList);
    const auto& tracks = SongView().Tracks;
    const int count = static_cast<int>(tracks.size());
    while (TrackList->topLevelItemCount() > count)
        delete TrackList->takeTopLevelItem(TrackList->topLevelItemCount() - 1);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = TrackList->topLevelItem(i);
        if (item == nullptr) {
            item = new QTreeWidgetItem();
            item->setTextAlignment(2, Qt::AlignCenter);
            TrackList->addTopLevelItem(item);
        }
        const TrackRowTexts texts = Row(i);
        const QString columns[] = {Text(texts.Caption), Text(texts.Name), Text(texts.Channel),
                                   Text(texts.Instrument)};
        for (int c = 0; c < 4; ++c)
            if (item->text(c) != columns[c])
                item->setText(c, columns[c]);
    }
}

// Selection made by a command, which then refreshes the score itself.
void TMain::SelectRow(int index) {
    const QSignalBlocker quiet(TrackList);
    TrackList->clearSelection();
    if (index >= 0 && index < RowCount()) {
        TrackList->setCurrentItem(TrackList->topLevelItem(index));
        TrackList->topLevelItem(index)->setSelected(true);
    }
}

void TMain::TracksChanged(int selectedRow) {
    const int shownRows = TrackList->topLevelItemCount();
    ShowTracks();
    // Rows added or taken away, or another row to select: the score shows that row's notes.
    // A track that only changed its texts keeps its notes shown as they are.
    if (shownRows != RowCount() || selectedRow != SelectedRow()) {
        SelectRow(selectedRow);
        TrackListClick();
    }
}

int TMain::ChannelOwner(std::int32_t channel) const {
    const auto& tracks = SongView().Tracks;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].Channel == channel)
            return static_cast<int>(i);
    return -1;
}

void TMain::ShowChannelConflict(std::int32_t channel, int owner) {
    Ask(QMessageBox::Critical, QStringLiteral("Erreur"),
        QStringLiteral("Le canal %1 est déjà utilisé par le track #%2.").arg(channel).arg(owner),
        QMessageBox::Cancel);
}

void TMain::ShowNoTrackSelected() {
    Ask(QMessageBox::Critical, QStringLiteral("Erreur"),
        QStringLiteral("Vous devez sélectionner un track."), QMessageBox::Ok);
}

void TMain::UpdateTrackButtons() {
    AddTrack->setEnabled(RowCount() < MaxTracksByCommand);
    ModTrack->setEnabled(RowCount() >= 1);
    DelTrack->setEnabled(RowCount() >= 1);
}

namespace {

// The track that the dialog's fields describe.
SongTrack DialogTrack(const TTrackInfo& dialog) {
    return {dialog.TrackName->text().toStdString(), dialog.TrackChannel->value(),
            static_cast<std::uint8_t>(dialog.TrackPatch->currentIndex())};
}

} // namespace

void TMain::AddTrackClick() {
    std::int32_t proposed = 0;
    for (std::int32_t ch = 0; ch <= 15; ++ch) {
        if (ChannelOwner(ch) < 0) {
            proposed = ch;
            break;
        }
    }
    trackInfo_->TrackChannel->setValue(proposed);
    if (dialogs_.ShowTrackInfo(*trackInfo_)) {
        const SongTrack track = DialogTrack(*trackInfo_);
        const int owner = ChannelOwner(track.Channel);
        if (owner >= 0) {
            ShowChannelConflict(track.Channel, owner);
        } else {
            // The new row is selected and its (empty) score shown as the step is done.
            document_->AddTrack(track, SelectedRow());
            TrackList->setFocus();
            SendChangePatch(track.Channel, track.Program);
        }
    }
    UpdateTrackButtons();
    document_->Touch();
}

void TMain::ModTrackClick() {
    const int selected = SelectedRow();
    if (selected < 0) {
        ShowNoTrackSelected();
    } else {
        const SongTrack& row = SongView().Tracks[static_cast<std::size_t>(selected)];
        trackInfo_->TrackName->setText(QString::fromStdString(row.Name));
        // A channel of 16 or more (from a file with many tracks) shows as 15, the last one a
        // track can use.
        trackInfo_->TrackChannel->setValue(row.Channel);
        trackInfo_->TrackPatch->setCurrentIndex(row.Program);
        if (dialogs_.ShowTrackInfo(*trackInfo_)) {
            const SongTrack track = DialogTrack(*trackInfo_);
            const int owner = ChannelOwner(track.Channel);
            if (owner >= 0 && owner != selected) {
                ShowChannelConflict(track.Channel, owner);
            } else {
                document_->ChangeTrack(static_cast<std::size_t>(selected), track);
                SendChangePatch(track.Channel, track.Program);
            }
        }
    }
    document_->Touch();
}

void TMain::DelTrackClick() {
    const int selected = SelectedRow();
    if (selected < 0) {
        ShowNoTrackSelected();
    } else if (Ask(QMessageBox::Question, QStringLiteral("Confirmation"),
                   QStringLiteral("Etes-vous sûr(e) de vouloir supprimer le track sélectionné?"),
                   QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes) {
        // The rows are renumbered, no row stays selected and the score is emptied as the step
        // is done; the track's notes go with it.
        document_->DeleteTrack(static_cast<std::size_t>(selected));
        UpdateTrackButtons();
    }
    document_->Touch();
}

void TMain::TrackListClick() {
    // A drag under way lets go of the notes that the score stops showing.
    EndGesture();
    Partition->ClearNotes();
    const int t = SelectedRow();
    if (t < 0)
        return;
    Partition->PaintEnabled = false;
    for (const auto& note : SongView().Notes)
        if (std::int64_t{note->Track} == t)
            Partition->AddNote(note->NoteNum, note->Pos, note->Len, note.get());
    Partition->PaintEnabled = true;
    Partition->Paint();
}

} // namespace kadrel
