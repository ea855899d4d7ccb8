#include "editor/FileActions.h"

#include "disasm/Disassembler.h"
#include "editor/BusyCursor.h"
#include "editor/BusyWork.h"
#include "editor/DesktopLauncher.h"
#include "editor/FileNames.h"
#include "editor/MainComponents.h"
#include "editor/TrackListView.h"
#include "editor/Transport.h"
#include "editor/UserDialogs.h"
#include "midi/ByteStream.h"
#include "midi/Midi.h"
#include "partition/Partition.h"
#include "song/ImportTexts.h"
#include "song/OpenLosses.h"
#include "song/SongConversion.h"
#include "song/SongSave.h"
#include "util/Error.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QTreeWidget>

#include <optional>

#ifdef KADREL_HAVE_RENDER
#include "editor/WavExport.h"
#endif

namespace kadrel {

namespace {

const char* const RefusedOpenText = "Le fichier n'a pas pu être lu. Le format n'est pas reconnu.";

const char* const ImportOfferText =
    "Il peut toutefois être importé tel qu'il est : ses notes, ses tracks, leurs instruments et "
    "tout le reste (tempo, contrôleurs, vélocités...) sont conservés. Voulez-vous l'importer?";

// The question after an Ouvrir that read the file but not all of it.
const char* const WholeFileOfferText =
    "Ouvrir ce fichier en perdrait une partie : %1.\n\n"
    "Voulez-vous plutôt l'importer tel qu'il est, sans rien perdre?";

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "Kadrel" for a song without a file, else the file's name first; "[*]" is where Qt shows the
// unsaved-changes mark.
QString WindowTitleFor(const std::string& fileName) {
    if (fileName.empty())
        return QStringLiteral("Kadrel");
    return QFileInfo(ReadableFileName(fileName)).fileName() + QStringLiteral("[*] – Kadrel");
}

// The file read and imported while the window stays painted; nothing when the user cancelled.
std::optional<TolerantImport> ImportInBackground(QWidget* window, const std::string& path) {
    return RunBusy<TolerantImport>(
        window, QStringLiteral("Importation de %1...").arg(ReadableFileName(path)),
        [path] { return ImportMidiFile(path); });
}

} // namespace

FileActions::FileActions(QMainWindow& window, SongDocument& document, GestureEndingDialogs& dialogs,
                         Transport& transport, TrackListView& tracks, const TMainComponents& ui)
    : window_(window), document_(document), dialogs_(dialogs), transport_(transport),
      tracks_(tracks), ui_(ui) {}

void FileActions::ShowError(const QString& text) {
    dialogs_.Message(&window_, QMessageBox::Critical, QStringLiteral("Erreur"), text,
                     QMessageBox::Ok);
}

QString FileActions::DialogFolder() const {
    return DialogStartFolder(folderSource_(lastFileFolder_));
}

void FileActions::RememberFileFolder(const QString& path) {
    // The name as the system gives it, carried through the text.
    lastFileFolder_ = QFileInfo(path).absolutePath();
}

void FileActions::UpdateTitle() {
    window_.setWindowTitle(WindowTitleFor(document_.FileName()));
    // Only a title that names a file has the place for the mark; a song without one says so
    // nowhere, and Qt would complain on the terminal at every change.
    window_.setWindowModified(document_.IsModified() && !document_.FileName().empty());
}

bool FileActions::MaybeSave() {
    if (!document_.IsModified())
        return true;
    const auto answer =
        dialogs_.Message(&window_, QMessageBox::Question, QStringLiteral("Confirmation"),
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
        return !document_.IsModified();
    }
    return true;
}

void FileActions::NouveauClick() {
    if (!MaybeSave())
        return;
    document_.Replace(Song(), true);
}

void FileActions::OuvrirClick() {
    if (!MaybeSave())
        return;
    const QString chosen = dialogs_.OpenFileName(&window_, DialogFolder());
    if (chosen.isEmpty())
        return;
    OpenFile(chosen);
}

void FileActions::ShowFromStart() {
    if (tracks_.RowCount() > 0)
        tracks_.SelectRow(0);
    tracks_.ShowSelectedRow();
    // Another song starts at its beginning, wherever the last one was shown.
    ui_.Partition->SetFirstMesure(0);
    ui_.Partition->SetCursorPos(0);
}

void FileActions::OpenFile(const QString& chosen) {
    document_.Replace(Song(), true);
    document_.SetFileName(FileNameBytes(chosen));
    // Another song starts at its beginning, wherever the last one was shown.
    ui_.Partition->SetFirstMesure(0);
    ui_.Partition->SetCursorPos(0);

    ByteStream bytes;
    TMidi midi;
    bool loaded = true;
    {
        BusyCursor busy;
        try {
            bytes.LoadFromFile(document_.FileName());
            midi.LoadFromStream(bytes);
        } catch (const std::exception&) {
            loaded = false;
        }
    }
    if (!loaded) {
        // The song is not that file: a later Enregistrer must ask for a name rather than
        // replace the file with the empty song.
        document_.SetFileName("");
        OfferImportAfterRefusedOpen(chosen);
        return;
    }
    RememberFileFolder(chosen);

    Song song;
    song.FileName = document_.FileName();
    {
        BusyCursor busy;
        // A refused program change ends the import where it stands; the tracks and notes made
        // so far stay, so they are shown whatever happens.
        try {
            ImportSong(midi, song, [this](std::uint8_t channel, std::uint8_t program) {
                transport_.SendChangePatch(channel, program);
            });
        } catch (...) {
            document_.Replace(std::move(song), true);
            throw;
        }
        document_.Replace(std::move(song), true);
        if (tracks_.RowCount() > 0)
            tracks_.SelectRow(0);
        tracks_.ShowSelectedRow();
    }
    ui_.TrackList->setFocus();

    // What the song does not hold of the file (its resolution, velocities, tempo...) is said
    // after the read, with the offer to keep it all.
    std::string losses;
    {
        BusyCursor busy;
        try {
            losses = OpenLosses(bytes.Bytes());
        } catch (const std::exception&) {
        }
    }
    if (!losses.empty())
        OfferImportOfWholeFile(chosen, losses);
}

void FileActions::OfferImportOfWholeFile(const QString& path, const std::string& losses) {
    const auto answer = dialogs_.MessageWithDefault(
        &window_, QMessageBox::Question, QStringLiteral("Confirmation"),
        QString::fromUtf8(WholeFileOfferText).arg(Utf8(losses)), QMessageBox::Yes | QMessageBox::No,
        QMessageBox::Yes, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    std::optional<TolerantImport> song;
    try {
        song = ImportInBackground(&window_, FileNameBytes(path));
    } catch (const SmfReadError& refused) {
        ShowError(Utf8(ImportRefusalText(refused.Reason(), refused.Offset())));
        return;
    }
    if (song)
        ShowImported(std::move(*song), path);
}

void FileActions::OpenStartFile(const QString& path) {
    bool whole = false;
    try {
        ByteStream bytes;
        bytes.LoadFromFile(FileNameBytes(path));
        whole = OpenLosses(bytes.Bytes()).empty();
    } catch (const std::exception&) {
        // Ouvrir cannot read it, or cannot read it at all: the import decides.
    }
    if (whole) {
        OpenFile(path);
        return;
    }
    std::optional<TolerantImport> song;
    bool refused = false;
    try {
        song = ImportInBackground(&window_, FileNameBytes(path));
    } catch (const std::exception&) {
        refused = true;
    }
    if (refused) {
        // Neither reads it: Ouvrir says so, as it does for any file it refuses.
        OpenFile(path);
        return;
    }
    if (!song)
        return;
    document_.Replace(Song(), true);
    ShowImported(std::move(*song), path);
}

void FileActions::ImporterClick() {
    if (!MaybeSave())
        return;
    const QString chosen = dialogs_.OpenFileName(&window_, DialogFolder());
    if (chosen.isEmpty())
        return;
    ImportFile(chosen);
}

void FileActions::OfferImportAfterRefusedOpen(const QString& path) {
    const QString refused = QString::fromUtf8(RefusedOpenText);
    // A file that cannot be read at all is named with the reason, as the import names it.
    if (const std::string unreadable = UnreadableFileText(FileNameBytes(path));
        !unreadable.empty()) {
        dialogs_.Message(&window_, QMessageBox::Critical, QStringLiteral("Erreur"),
                         refused + QStringLiteral("\n\n") + Utf8(unreadable), QMessageBox::Ok);
        return;
    }
    // The import is made before the question, so that Oui needs no second reading.
    std::optional<TolerantImport> song;
    try {
        song = ImportInBackground(&window_, FileNameBytes(path));
    } catch (const Error&) {
    }
    if (!song) {
        dialogs_.Message(&window_, QMessageBox::Critical, QStringLiteral("Erreur"), refused,
                         QMessageBox::Ok);
        return;
    }
    const auto answer = dialogs_.MessageWithDefault(
        &window_, QMessageBox::Critical, QStringLiteral("Erreur"),
        refused + QStringLiteral("\n\n") + QString::fromUtf8(ImportOfferText),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        ShowImported(std::move(*song), path);
}

void FileActions::ImportFile(const QString& path) {
    // The file is read and converted before anything of the song changes, so that a file that
    // cannot be read leaves the song as it was. An Error other than a refusal (the file cannot
    // be opened) goes to the general error box, with the same effect.
    std::optional<TolerantImport> song;
    std::optional<SmfReadError> refused;
    try {
        song = ImportInBackground(&window_, FileNameBytes(path));
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

void FileActions::ShowImported(TolerantImport imported, const QString& path) {
    const std::vector<SongTrack> tracks = imported.Content.Tracks;
    const std::size_t notes = imported.Content.Notes.size();
    const bool whole = imported.Unread.empty();
    {
        BusyCursor busy;
        // A song that holds the whole file is that file: it keeps its name and is saved where it
        // was. One the reader could not read whole has no name and stays modified until saved,
        // so that the original cannot be replaced by mistake.
        Song song = std::move(imported.Content);
        song.FileName = whole ? FileNameBytes(path) : std::string();
        document_.Replace(std::move(song), whole);
        ShowFromStart();
        tracks_.UpdateTrackButtons();
    }
    RememberFileFolder(path);
    ui_.TrackList->setFocus();

    for (const SongTrack& track : tracks)
        transport_.SendChangePatch(track.Channel, track.Program);

    if (!whole)
        dialogs_.Message(&window_, QMessageBox::Information, QStringLiteral("Information"),
                         Utf8(ImportSummaryText(tracks.size(), notes, imported.Unread)),
                         QMessageBox::Ok);
}

void FileActions::EnregistrerClick() {
    if (document_.FileName().empty()) {
        SaveAsClick();
        return;
    }
    {
        BusyCursor busy;
        SaveSong(document_.Content(), document_.FileName());
    }
    RememberFileFolder(FileNameText(document_.FileName()));
    document_.MarkSaved();
}

bool FileActions::ConfirmReplace(const QString& path) {
    return !QFileInfo::exists(path) ||
           dialogs_.Message(
               &window_, QMessageBox::Question, QStringLiteral("Confirmation"),
               QStringLiteral("Le fichier %1 existe déjà. Voulez-vous le remplacer?").arg(path),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void FileActions::SaveAsClick() {
    const QString chosen = dialogs_.SaveFileName(&window_, DialogFolder());
    if (chosen.isEmpty())
        return;
    if (!ConfirmReplace(chosen))
        return;
    document_.SetFileName(FileNameBytes(chosen));
    EnregistrerClick();
}

void FileActions::ExportWavClick() {
#ifdef KADREL_HAVE_RENDER
    const QString chosen = dialogs_.SaveWavFileName(&window_, DialogFolder());
    if (chosen.isEmpty())
        return;
    RefuseOutputThatIsTheSong(document_.FileName(), FileNameBytes(chosen));
    if (!ConfirmReplace(chosen))
        return;
    if (ExportWavWithProgress(&window_, document_.Content(), FileNameBytes(chosen)))
        RememberFileFolder(chosen);
#else
    throw Error(
        "Cette version de Kadrel n'a pas de synthétiseur : elle ne peut pas exporter en WAV.");
#endif
}

void FileActions::DeasmClick() {
    const QString chosen = dialogs_.OpenFileName(&window_, DialogFolder());
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
    // Without a program to show text files, the user is told where the listing is.
    dialogs_.OpenDocument(
        FileNameText(listing), [window = QPointer<QMainWindow>(&window_), this, listing] {
            if (window)
                dialogs_.Message(window, QMessageBox::Information, QStringLiteral("Information"),
                                 UnshownListingText(listing), QMessageBox::Ok);
        });
}

} // namespace kadrel
