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
    return TrackList->topLevelItemCount();
}

TrackRowTexts TMain::Row(int index) const {
    const QTreeWidgetItem* item = TrackList->topLevelItem(index);
    return {item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
            item->text(3).toStdString()};
}

int TMain::SelectedRow() const {
    const auto selected = TrackList->selectedItems();
    return selected.isEmpty() ? -1 : TrackList->indexOfTopLevelItem(selected.constFirst());
}

void TMain::AppendRow(const TrackRowTexts& texts) {
    auto* item = new QTreeWidgetItem(
        {Text(texts.Caption), Text(texts.Name), Text(texts.Channel), Text(texts.Instrument)});
    item->setTextAlignment(2, Qt::AlignCenter);
    const QSignalBlocker quiet(TrackList);
    TrackList->addTopLevelItem(item);
}

void TMain::SetRow(int index, const TrackRowTexts& texts) {
    QTreeWidgetItem* item = TrackList->topLevelItem(index);
    item->setText(0, Text(texts.Caption));
    item->setText(1, Text(texts.Name));
    item->setText(2, Text(texts.Channel));
    item->setText(3, Text(texts.Instrument));
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

int TMain::ChannelOwner(std::int32_t channel) const {
    for (int i = 0; i < RowCount(); ++i)
        if (DecimalValue(Row(i).Channel) == channel)
            return i;
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
        const std::int32_t ch = trackInfo_->TrackChannel->value();
        const int owner = ChannelOwner(ch);
        if (owner >= 0) {
            ShowChannelConflict(ch, owner);
        } else {
            const std::string instrument = trackInfo_->TrackPatch->currentText().toStdString();
            AppendRow({std::to_string(RowCount()), trackInfo_->TrackName->text().toStdString(),
                       std::to_string(ch), instrument});
            SelectRow(RowCount() - 1);
            TrackListClick();
            TrackList->setFocus();
            SendChangePatch(ch, ProgramOfInstrument(instrument));
        }
    }
    UpdateTrackButtons();
    Modified = true;
}

void TMain::ModTrackClick() {
    const int selected = SelectedRow();
    if (selected < 0) {
        ShowNoTrackSelected();
    } else {
        const TrackRowTexts row = Row(selected);
        trackInfo_->TrackName->setText(Text(row.Name));
        // A channel of 16 or more (from a file with many tracks) shows as 15, the last one a
        // track can use.
        trackInfo_->TrackChannel->setValue(DecimalValue(row.Channel));
        trackInfo_->TrackPatch->setCurrentIndex(ProgramOfInstrument(row.Instrument));
        if (dialogs_.ShowTrackInfo(*trackInfo_)) {
            const std::int32_t ch = trackInfo_->TrackChannel->value();
            const int owner = ChannelOwner(ch);
            if (owner >= 0 && owner != selected) {
                ShowChannelConflict(ch, owner);
            } else {
                const std::string instrument = trackInfo_->TrackPatch->currentText().toStdString();
                SetRow(selected, {row.Caption, trackInfo_->TrackName->text().toStdString(),
                                  std::to_string(ch), instrument});
                SendChangePatch(ch, ProgramOfInstrument(instrument));
            }
        }
    }
    Modified = true;
}

void TMain::DelTrackClick() {
    const int selected = SelectedRow();
    if (selected < 0) {
        ShowNoTrackSelected();
    } else if (Ask(QMessageBox::Question, QStringLiteral("Confirmation"),
                   QStringLiteral("Etes-vous sûr(e) de vouloir supprimer le track sélectionné?"),
                   QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes) {
        const int d = selected;
        {
            const QSignalBlocker quiet(TrackList);
            delete TrackList->takeTopLevelItem(d);
            TrackList->clearSelection();
        }
        for (int k = 0; k < RowCount(); ++k)
            TrackList->topLevelItem(k)->setText(0, QString::number(k));
        // The score shows the deleted track's notes: empty it before they are freed.
        Partition->ClearNotes();
        DraggedNote = nullptr;
        const auto row = static_cast<std::uint32_t>(d);
        RemoveNotes([row](const TMidiNote& note) { return note.Track == row; });
        for (auto& note : Notes)
            if (note->Track > row)
                --note->Track;
        UpdateTrackButtons();
        TrackListClick();
    }
    Modified = true;
}

void TMain::TrackListClick() {
    Partition->ClearNotes();
    DraggedNote = nullptr;
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    const std::int32_t t = DecimalValue(Row(selected).Caption);
    Partition->PaintEnabled = false;
    for (const auto& note : Notes)
        if (std::int64_t{note->Track} == t)
            Partition->AddNote(note->NoteNum, note->Pos, note->Len, note.get());
    Partition->PaintEnabled = true;
    Partition->Paint();
}

} // namespace kadrel
