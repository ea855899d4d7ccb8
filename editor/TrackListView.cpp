#include "editor/TrackListView.h"

#include "editor/MainComponents.h"
#include "editor/ScoreView.h"
#include "editor/TrackInfo.h"
#include "editor/Transport.h"
#include "editor/UserDialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>

#include <utility>

namespace kadrel {

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The track that the dialog's fields describe.
SongTrack DialogTrack(const TTrackInfo& dialog) {
    return {dialog.TrackName->text().toStdString(), dialog.TrackChannel->value(),
            static_cast<std::uint8_t>(dialog.TrackPatch->currentIndex())};
}

} // namespace

TrackListView::TrackListView(SongDocument& document, ScoreView& score, Transport& transport,
                             GestureEndingDialogs& dialogs, const TMainComponents& ui,
                             QObject* parent)
    : QObject(parent), document_(document), score_(score), transport_(transport), dialogs_(dialogs),
      ui_(ui) {
    connect(&document, &SongDocument::TracksChanged, this, &TrackListView::TracksChanged);
    connect(&document, &SongDocument::SongReplaced, this, [this] {
        ShowTracks();
        SelectRow(-1);
    });
    // An undo or a redo that adds or takes away a row sets the track buttons as the command
    // did; a command that did not succeed is no step and leaves them.
    connect(&document, &SongDocument::StepAboutToRun, this,
            [this] { rowsBeforeStep_ = RowCount(); });
    connect(&document.History(), &QUndoStack::indexChanged, this, [this] {
        const int before = std::exchange(rowsBeforeStep_, -1);
        if (before >= 0 && before != RowCount())
            UpdateTrackButtons();
    });
}

int TrackListView::RowCount() const {
    return static_cast<int>(document_.Content().Tracks.size());
}

TrackRowTexts TrackListView::Row(int index) const {
    return RowTexts(document_.Content().Tracks.at(static_cast<std::size_t>(index)),
                    static_cast<std::size_t>(index));
}

int TrackListView::SelectedRow() const {
    const auto selected = ui_.TrackList->selectedItems();
    return selected.isEmpty() ? -1 : ui_.TrackList->indexOfTopLevelItem(selected.constFirst());
}

// A row keeps its item while the list does not shrink below it, so that only what changed is
// redrawn.
void TrackListView::ShowTracks() {
    QTreeWidget& list = *ui_.TrackList;
    const QSignalBlocker quiet(&list);
    const int count = RowCount();
    while (list.topLevelItemCount() > count)
        delete list.takeTopLevelItem(list.topLevelItemCount() - 1);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = list.topLevelItem(i);
        if (item == nullptr) {
            item = new QTreeWidgetItem();
            item->setTextAlignment(2, Qt::AlignCenter);
            list.addTopLevelItem(item);
        }
        const TrackRowTexts texts = Row(i);
        const QString columns[] = {Text(texts.Caption), Text(texts.Name), Text(texts.Channel),
                                   Text(texts.Instrument)};
        for (int c = 0; c < 4; ++c)
            if (item->text(c) != columns[c])
                item->setText(c, columns[c]);
    }
}

void TrackListView::SelectRow(int index) {
    QTreeWidget& list = *ui_.TrackList;
    const QSignalBlocker quiet(&list);
    list.clearSelection();
    if (index >= 0 && index < RowCount()) {
        list.setCurrentItem(list.topLevelItem(index));
        list.topLevelItem(index)->setSelected(true);
    }
}

void TrackListView::ShowSelectedRow() {
    score_.ShowRow(SelectedRow());
}

void TrackListView::TracksChanged(int selectedRow) {
    const int shownRows = ui_.TrackList->topLevelItemCount();
    ShowTracks();
    // Rows added or taken away, or another row to select: the score shows that row's notes.
    // A track that only changed its texts keeps its notes shown as they are.
    if (shownRows != RowCount() || selectedRow != SelectedRow()) {
        SelectRow(selectedRow);
        ShowSelectedRow();
    }
}

int TrackListView::ChannelOwner(std::int32_t channel) const {
    const auto& tracks = document_.Content().Tracks;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].Channel == channel)
            return static_cast<int>(i);
    return -1;
}

void TrackListView::ShowChannelConflict(std::int32_t channel, int owner) {
    dialogs_.Message(
        ui_.TrackList->window(), QMessageBox::Critical, QStringLiteral("Erreur"),
        QStringLiteral("Le canal %1 est déjà utilisé par le track #%2.").arg(channel).arg(owner),
        QMessageBox::Cancel);
}

void TrackListView::ShowNoTrackSelected() {
    dialogs_.Message(ui_.TrackList->window(), QMessageBox::Critical, QStringLiteral("Erreur"),
                     QStringLiteral("Vous devez sélectionner un track."), QMessageBox::Ok);
}

void TrackListView::UpdateTrackButtons() {
    ui_.AddTrack->setEnabled(RowCount() < MaxTracksByCommand);
    ui_.ModTrack->setEnabled(RowCount() >= 1);
    ui_.DelTrack->setEnabled(RowCount() >= 1);
}

void TrackListView::AddTrackClick() {
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
            // The new row is selected and its (empty) score shown as the step is done. A
            // refused instrument leaves the row, and ends the command there.
            document_.AddTrack(track, SelectedRow(), [this, &track] {
                transport_.SendChangePatch(track.Channel, track.Program);
            });
            ui_.TrackList->setFocus();
        }
    }
    UpdateTrackButtons();
    document_.Touch();
}

void TrackListView::ModTrackClick() {
    const int selected = SelectedRow();
    if (selected < 0) {
        ShowNoTrackSelected();
    } else {
        const SongTrack& row = document_.Content().Tracks[static_cast<std::size_t>(selected)];
        trackInfo_->TrackName->setText(QString::fromStdString(row.Name));
        // A channel of 16 or more (from a file with many tracks) shows as 15, the last one a
        // track can use.
        trackInfo_->TrackChannel->setValue(row.Channel);
        trackInfo_->TrackPatch->setCurrentIndex(row.Program);
        if (dialogs_.ShowTrackInfo(*trackInfo_)) {
            SongTrack track = DialogTrack(*trackInfo_);
            track.FileTrack = row.FileTrack;
            const int owner = ChannelOwner(track.Channel);
            if (owner >= 0 && owner != selected) {
                ShowChannelConflict(track.Channel, owner);
            } else {
                document_.ChangeTrack(static_cast<std::size_t>(selected), track, [this, &track] {
                    transport_.SendChangePatch(track.Channel, track.Program);
                });
            }
        }
    }
    document_.Touch();
}

void TrackListView::DelTrackClick() {
    const int selected = SelectedRow();
    if (selected < 0) {
        ShowNoTrackSelected();
    } else if (dialogs_.Message(
                   ui_.TrackList->window(), QMessageBox::Question, QStringLiteral("Confirmation"),
                   QStringLiteral("Etes-vous sûr(e) de vouloir supprimer le track sélectionné?"),
                   QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes) {
        // The rows are renumbered, no row stays selected and the score is emptied as the step
        // is done; the track's notes go with it.
        document_.DeleteTrack(static_cast<std::size_t>(selected));
        UpdateTrackButtons();
    }
    document_.Touch();
}

} // namespace kadrel
