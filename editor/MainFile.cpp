#include "disasm/Disassembler.h"
#include "editor/BusyCursor.h"
#include "editor/DesktopLauncher.h"
#include "editor/FileNames.h"
#include "editor/MainWindow.h"
#include "editor/UserDialogs.h"
#include "midi/Midi.h"
#include "song/SongConversion.h"
#include "util/Error.h"
#include "util/TextUtils.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTreeWidget>

namespace kadrel {

namespace {

// "Kadrel" for a song without a file, else the file's name first; "[*]" is where Qt shows the
// unsaved-changes mark.
QString WindowTitleFor(const std::string& fileName) {
    if (fileName.empty())
        return QStringLiteral("Kadrel");
    return QFileInfo(QString::fromStdString(fileName)).fileName() + QStringLiteral("[*] – Kadrel");
}

} // namespace

QString TMain::FileNameText() const {
    return QString::fromStdString(FileName());
}

QString TMain::DialogFolder() const {
    return DialogStartFolder(folderSource_(lastFileFolder_));
}

void TMain::RememberFileFolder(const QString& path) {
    lastFileFolder_ = QFileInfo(path).absolutePath();
}

void TMain::UpdateTitle() {
    setWindowTitle(WindowTitleFor(FileName()));
    setWindowModified(IsModified());
}

bool TMain::MaybeSave() {
    if (!IsModified())
        return true;
    const auto answer = Ask(QMessageBox::Question, QStringLiteral("Confirmation"),
                            QStringLiteral("Voulez-vous enregistrer les modifications?"),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes) {
        // The song is dropped only once it is in a file: a save that did not happen keeps it.
        try {
            EnregistrerClick();
        } catch (const std::exception& e) {
            ShowError(QString::fromStdString(e.what()));
            return false;
        }
        return !IsModified();
    }
    return true;
}

void TMain::NouveauClick() {
    if (!MaybeSave())
        return;
    document_->Replace(Song(), true);
}

void TMain::OuvrirClick() {
    if (!MaybeSave())
        return;
    const QString chosen = dialogs_.OpenFileName(this, DialogFolder());
    if (chosen.isEmpty())
        return;
    OpenFile(chosen);
}

void TMain::OpenFile(const QString& chosen) {
    document_->Replace(Song(), true);
    document_->SetFileName(FileNameBytes(chosen));
    // Another song starts at its beginning, wherever the last one was shown.
    Partition->SetFirstMesure(0);
    MoveCursor(0);

    TMidi midi;
    bool loaded = true;
    {
        BusyCursor busy;
        try {
            midi.LoadFromFile(FileName());
        } catch (const std::exception&) {
            loaded = false;
        }
    }
    if (!loaded) {
        // The song is not that file: a later Enregistrer must ask for a name rather than
        // replace the file with the empty song.
        document_->SetFileName("");
        OfferImportAfterRefusedOpen(chosen);
        return;
    }
    RememberFileFolder(chosen);

    Song song;
    song.FileName = FileName();
    {
        BusyCursor busy;
        // A refused program change ends the import where it stands; the tracks and notes made
        // so far stay, so they are shown whatever happens.
        try {
            ImportSong(midi, song, [this](std::uint8_t channel, std::uint8_t program) {
                SendChangePatch(channel, program);
            });
        } catch (...) {
            document_->Replace(std::move(song), true);
            throw;
        }
        document_->Replace(std::move(song), true);
        if (RowCount() > 0)
            SelectRow(0);
        TrackListClick();
    }
    TrackList->setFocus();
}

void TMain::EnregistrerClick() {
    if (FileName().empty()) {
        SaveAsClick();
        return;
    }
    {
        BusyCursor busy;
        ExportSong(SongView()).SaveToFile(FileName());
    }
    RememberFileFolder(FileNameText());
    document_->MarkSaved();
}

bool TMain::ConfirmReplace(const QString& path) {
    return !QFileInfo::exists(path) ||
           Ask(QMessageBox::Question, QStringLiteral("Confirmation"),
               QStringLiteral("Le fichier %1 existe déjà. Voulez-vous le remplacer?").arg(path),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TMain::SaveAsClick() {
    const QString chosen = dialogs_.SaveFileName(this, DialogFolder());
    if (chosen.isEmpty())
        return;
    if (!ConfirmReplace(chosen))
        return;
    document_->SetFileName(FileNameBytes(chosen));
    EnregistrerClick();
}

void TMain::DeasmClick() {
    const QString chosen = dialogs_.OpenFileName(this, DialogFolder());
    if (chosen.isEmpty())
        return;
    const std::string listing = FileNameBytes(chosen) + ".txt";
    bool whole = false;
    {
        BusyCursor busy;
        whole = Disassemble(FileNameBytes(chosen), listing);
    }
    // A listing that could not be written whole is not there to be shown.
    if (!whole)
        throw Error("Erreur d'écriture du fichier " + listing);
    dialogs_.OpenDocument(kadrel::FileNameText(listing), [self = QPointer<TMain>(this), listing] {
        if (self)
            self->Ask(QMessageBox::Information, QStringLiteral("Information"),
                      UnshownListingText(listing), QMessageBox::Ok);
    });
}

} // namespace kadrel
