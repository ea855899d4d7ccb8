// "Importer un fichier MIDI...": files as real collections hold them, through the tolerant
// reader, and the offer made when Ouvrir refuses such a file.

#include "editor/BusyCursor.h"
#include "editor/BusyWork.h"
#include "editor/FileNames.h"
#include "editor/MainWindow.h"
#include "editor/UserDialogs.h"
#include "midi/ByteStream.h"
#include "song/ImportTexts.h"
#include "song/TolerantImport.h"
#include "util/TextUtils.h"

#include <QTreeWidget>

#include <optional>

namespace kadrel {

namespace {

const char* const RefusedOpenText = "Le fichier n'a pas pu être lu. Le format n'est pas reconnu.";

const char* const ImportOfferText =
    "Il peut toutefois être importé : ses notes, ses tracks et leurs instruments sont repris, "
    "le reste (tempo, contrôleurs, vélocités...) n'est pas conservé. Voulez-vous l'importer?";

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The file read and imported while the window stays painted; nothing when the user cancelled.
std::optional<TolerantImport> ImportInBackground(QWidget* window, const std::string& path) {
    return RunBusy<TolerantImport>(window, QStringLiteral("Importation de %1...").arg(Utf8(path)),
                                   [path] { return ImportMidiFile(path); });
}

} // namespace

void TMain::ImporterClick() {
    if (!MaybeSave())
        return;
    const QString chosen = dialogs_.OpenFileName(this, DialogFolder());
    if (chosen.isEmpty())
        return;
    ImportFile(chosen);
}

void TMain::OfferImportAfterRefusedOpen(const QString& path) {
    const QString refused = QString::fromUtf8(RefusedOpenText);
    // A file that cannot be read at all is named with the reason, as the import names it.
    if (const std::string unreadable = UnreadableFileText(FileNameBytes(path));
        !unreadable.empty()) {
        Ask(QMessageBox::Critical, QStringLiteral("Erreur"),
            refused + QStringLiteral("\n\n") + Utf8(unreadable), QMessageBox::Ok);
        return;
    }
    // The import is made before the question, so that Oui needs no second reading.
    std::optional<TolerantImport> song;
    try {
        song = ImportInBackground(this, FileNameBytes(path));
    } catch (const Error&) {
    }
    if (!song) {
        Ask(QMessageBox::Critical, QStringLiteral("Erreur"), refused, QMessageBox::Ok);
        return;
    }
    const auto answer = dialogs_.MessageWithDefault(
        this, QMessageBox::Critical, QStringLiteral("Erreur"),
        refused + QStringLiteral("\n\n") + QString::fromUtf8(ImportOfferText),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        ShowImported(std::move(*song), path);
}

void TMain::ImportFile(const QString& path) {
    // The file is read and converted before anything of the song changes, so that a file that
    // cannot be read leaves the song as it was. An Error other than a refusal (the file cannot
    // be opened) goes to the general error box, with the same effect.
    std::optional<TolerantImport> song;
    std::optional<SmfReadError> refused;
    try {
        song = ImportInBackground(this, FileNameBytes(path));
    } catch (const SmfReadError& e) {
        refused = e;
    }
    if (refused) {
        ShowError(Utf8(ImportRefusalText(refused->Reason(), refused->Offset())));
        return;
    }
    if (song)
        ShowImported(std::move(*song), path);
}

void TMain::ShowImported(TolerantImport imported, const QString& path) {
    const std::vector<SongTrack> tracks = imported.Tracks;
    const std::size_t notes = imported.Notes.size();
    {
        BusyCursor busy;
        // The song is not the file: saving asks for a name, and it is modified until saved.
        Song song;
        song.Tracks = std::move(imported.Tracks);
        song.Notes = std::move(imported.Notes);
        document_->Replace(std::move(song), false);
        if (RowCount() > 0)
            SelectRow(0);
        TrackListClick();
        // The song starts over: the score and the cursor go back to its start.
        Partition->SetFirstMesure(0);
        Partition->SetCursorPos(0);
        UpdateTrackButtons();
    }
    RememberFileFolder(path);
    TrackList->setFocus();

    for (const SongTrack& track : tracks)
        SendChangePatch(track.Channel, track.Program);

    if (imported.Dropped.Any())
        Ask(QMessageBox::Information, QStringLiteral("Information"),
            Utf8(ImportSummaryText(tracks.size(), notes, imported.Dropped)), QMessageBox::Ok);
}

} // namespace kadrel
