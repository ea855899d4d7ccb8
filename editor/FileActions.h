#pragma once

#include "document/SongDocument.h"
#include "editor/DialogFolders.h"
#include "song/TolerantImport.h"

#include <QString>

#include <functional>

class QMainWindow;

namespace kadrel {

class GestureEndingDialogs;
class TrackListView;
class Transport;
struct TMainComponents;

// The Fichier menu's commands on files: Nouveau, Ouvrir (and the file given at start), the
// import, Enregistrer, Enregistrer sous, the WAV export and the listing; the one question that
// offers to save unsaved changes; where the file dialogs start; the window's title.
class FileActions {
public:
    using DialogFolderSource = std::function<DialogFolderFacts(const QString& lastFileFolder)>;

    FileActions(QMainWindow& window, SongDocument& document, GestureEndingDialogs& dialogs,
                Transport& transport, TrackListView& tracks, const TMainComponents& ui);

    void NouveauClick();
    void OuvrirClick();
    void ImporterClick();
    void EnregistrerClick();
    void SaveAsClick();
    void ExportWavClick();
    void DeasmClick();

    // Opens path as Ouvrir does once its dialog has chosen it: a file that Ouvrir refuses gets
    // Ouvrir's box, with the import offer when the import can read it; a file that Ouvrir reads
    // but not whole gets the offer of the import that keeps it whole.
    void OpenFile(const QString& path);
    // The file given at start: opened as Ouvrir opens it when that loses nothing of it, else
    // imported as it is at once.
    void OpenStartFile(const QString& path);

    // Asks whether to save unsaved changes before the song is dropped. True when the caller may
    // go on: nothing to save, Non, or Oui and the song was saved. False on Annuler, and when Oui
    // did not end with a saved file (the save dialog cancelled, or the save failed, whose error
    // is shown first).
    bool MaybeSave();

    void SetDialogFolderSource(DialogFolderSource source) { folderSource_ = std::move(source); }

    // The title names the song's file and marks unsaved changes.
    void UpdateTitle();

private:
    // Builds the song from the file through the tolerant reader. A file it refuses gets a box
    // with the reason, and the song stays as it was.
    void ImportFile(const QString& path);
    // Puts an imported song in place of the song, shows it from its start, sends its programs
    // and tells what the reader could not read, if anything.
    void ShowImported(TolerantImport imported, const QString& path);
    // After Ouvrir read path but not all of it: offers the import that keeps it whole, saying
    // what Ouvrir loses, and imports it on Oui.
    void OfferImportOfWholeFile(const QString& path, const std::string& losses);
    // After Ouvrir refused path: offers to import it when the tolerant reader takes it, and
    // imports it on Oui. Otherwise shows Ouvrir's own box.
    void OfferImportAfterRefusedOpen(const QString& path);
    // Shows the song from its start, its first row selected.
    void ShowFromStart();
    // The save dialogs do not ask before replacing a file; Kadrel does. True when path does not
    // exist or the user answered Oui.
    bool ConfirmReplace(const QString& path);
    QString DialogFolder() const;
    void RememberFileFolder(const QString& path);
    void ShowError(const QString& text);

    QMainWindow& window_;
    SongDocument& document_;
    GestureEndingDialogs& dialogs_;
    Transport& transport_;
    TrackListView& tracks_;
    const TMainComponents& ui_;
    DialogFolderSource folderSource_ = CurrentDialogFolderFacts;
    QString lastFileFolder_;
};

} // namespace kadrel
