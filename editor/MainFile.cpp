#include "disasm/Disassembler.h"
#include "editor/BusyCursor.h"
#include "editor/MainWindow.h"
#include "editor/UserDialogs.h"
#include "midi/Midi.h"
#include "song/Instruments.h"
#include "song/SongConversion.h"
#include "util/Error.h"
#include "util/TextUtils.h"

#include <QApplication>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace kadrel {

namespace {

QString StartFolder() {
    return QString::fromStdString(ProgramFolder());
}

} // namespace

QString TMain::FileNameText() const {
    return QString::fromStdString(FileName);
}

bool TMain::OfferToSave() {
    if (!Modified)
        return true;
    const auto answer = Ask(QMessageBox::Question, QStringLiteral("Confirmation"),
                            QStringLiteral("Voulez-vous enregistrer les modifications?"),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes)
        EnregistrerClick();
    return true;
}

void TMain::ClearSong() {
    Partition->ClearNotes();
    DraggedNote = nullptr;
    RemoveNotes([](const TMidiNote&) { return true; });
    const QSignalBlocker quiet(TrackList);
    TrackList->clear();
}

void TMain::NouveauClick() {
    if (!OfferToSave())
        return;
    Modified = false;
    FileName.clear();
    ClearSong();
}

void TMain::OuvrirClick() {
    if (!OfferToSave())
        return;
    const QString chosen = dialogs_.OpenFileName(this, StartFolder());
    if (chosen.isEmpty())
        return;
    Modified = false;
    NouveauClick();
    FileName = chosen.toStdString();
    // Another song starts at its beginning, wherever the last one was shown.
    Partition->SetFirstMesure(0);
    MoveCursor(0);

    TMidi midi;
    bool loaded = true;
    {
        BusyCursor busy;
        try {
            midi.LoadFromFile(FileName);
        } catch (const std::exception&) {
            loaded = false;
        }
    }
    if (!loaded) {
        // The song is not that file: a later Enregistrer must ask for a name rather than
        // replace the file with the empty song.
        FileName.clear();
        OfferImportAfterRefusedOpen(chosen);
        return;
    }

    Song song;
    {
        BusyCursor busy;
        // A refused program change ends the import where it stands; the rows and notes made so
        // far stay, so the rows are shown whatever happens.
        auto showRows = [&] {
            for (const auto& row : RowTexts(song.Tracks))
                AppendRow(row);
            for (auto& note : song.Notes)
                Notes.push_back(std::move(note));
        };
        try {
            ImportSong(midi, song, [this](std::uint8_t channel, std::uint8_t program) {
                SendChangePatch(channel, program);
            });
        } catch (...) {
            showRows();
            throw;
        }
        showRows();
        if (RowCount() > 0)
            SelectRow(0);
        TrackListClick();
    }
    TrackList->setFocus();
}

void TMain::EnregistrerClick() {
    if (FileName.empty()) {
        SaveAsClick();
        return;
    }
    Song song;
    for (int i = 0; i < RowCount(); ++i) {
        const TrackRowTexts row = Row(i);
        song.Tracks.push_back({row.Name, DecimalValue(row.Channel),
                               static_cast<std::uint8_t>(ProgramOfInstrument(row.Instrument))});
    }
    song.Notes = std::move(Notes);
    {
        BusyCursor busy;
        struct GiveBack {
            Song& song;
            NoteList& notes;
            ~GiveBack() { notes = std::move(song.Notes); }
        } giveBack{song, Notes};
        ExportSong(song).SaveToFile(FileName);
    }
    Modified = false;
}

void TMain::SaveAsClick() {
    const QString chosen = dialogs_.SaveFileName(this, StartFolder());
    if (chosen.isEmpty())
        return;
    // The save dialog does not ask before replacing a file; Kadrel does.
    if (QFileInfo::exists(chosen) &&
        Ask(QMessageBox::Question, QStringLiteral("Confirmation"),
            QStringLiteral("Le fichier %1 existe déjà. Voulez-vous le remplacer?").arg(chosen),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    FileName = chosen.toStdString();
    EnregistrerClick();
}

void TMain::DeasmClick() {
    const QString chosen = dialogs_.OpenFileName(this, StartFolder());
    if (chosen.isEmpty())
        return;
    const std::string listing = chosen.toStdString() + ".txt";
    bool whole = false;
    {
        BusyCursor busy;
        whole = Disassemble(chosen.toStdString(), listing);
    }
    // A listing cut short by a full disk would look complete in the text viewer.
    if (!whole)
        throw Error("Erreur d'écriture du fichier " + listing);
    dialogs_.OpenDocument(QString::fromStdString(listing));
}

} // namespace kadrel
