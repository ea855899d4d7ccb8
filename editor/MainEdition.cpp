// The Édition menu: undo and redo of the song's steps, and the clipboard.

#include "editor/BusyCursor.h"
#include "editor/BusyWork.h"
#include "editor/MainWindow.h"
#include "editor/SongCommands.h"
#include "song/NoteClipboard.h"
#include "util/Error.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace kadrel {

namespace {

constexpr std::int64_t MaxPos = std::numeric_limits<std::int32_t>::max();

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// The clipboard's notes as they go into the song: from start on, on the row and its channel.
std::vector<std::unique_ptr<TMidiNote>> PastedNotes(const ClipboardNotes& notes, std::int64_t start,
                                                    std::uint8_t channel, std::uint32_t row) {
    std::vector<std::unique_ptr<TMidiNote>> pasted;
    pasted.reserve(notes.size());
    for (const TMidiNote& note : notes)
        pasted.push_back(std::make_unique<TMidiNote>(TMidiNote{
            note.NoteNum, static_cast<std::int32_t>(start + note.Pos), note.Len, channel, row}));
    return pasted;
}

} // namespace

void TMain::BuildEditionMenu() {
    Edition = menuBar()->addMenu(QStringLiteral("É&dition"));
    QUndoStack& history = document_->History();
    // The history's own items keep their texts and enabled states; triggering them goes
    // through the window, which ends a gesture first and sends what an undone step sends.
    Annuler = history.createUndoAction(this, QStringLiteral("Annuler"));
    Retablir = history.createRedoAction(this, QStringLiteral("Rétablir"));
    disconnect(Annuler, &QAction::triggered, &history, &QUndoStack::undo);
    disconnect(Retablir, &QAction::triggered, &history, &QUndoStack::redo);
    Annuler->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Retablir->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    Connect(Annuler, &QAction::triggered, &TMain::AnnulerClick);
    Connect(Retablir, &QAction::triggered, &TMain::RetablirClick);
    Edition->addAction(Annuler);
    Edition->addAction(Retablir);
    Edition->addSeparator();

    auto item = [this](const char* caption, const QKeySequence& shortcut,
                       void (TMain::*handler)()) {
        QAction* action = Edition->addAction(QString::fromUtf8(caption));
        action->setShortcut(shortcut);
        Connect(action, &QAction::triggered, handler);
        return action;
    };
    Couper = item("Couper", QKeySequence(Qt::CTRL | Qt::Key_X), &TMain::CouperClick);
    Copier = item("Copier", QKeySequence(Qt::CTRL | Qt::Key_C), &TMain::CopierClick);
    Coller = item("Coller", QKeySequence(Qt::CTRL | Qt::Key_V), &TMain::CollerClick);
    Supprimer = item("Supprimer", QKeySequence(Qt::Key_Delete), &TMain::SupprimerClick);
    // The key itself stays the window's (its handler also runs in the track list and on the
    // track buttons): the item shows it and takes it only while its menu is open.
    Supprimer->setShortcutContext(Qt::WidgetShortcut);
    ToutSelectionner = item("Tout sélectionner", QKeySequence(Qt::CTRL | Qt::Key_A),
                            &TMain::ToutSelectionnerClick);

    connect(Edition, &QMenu::aboutToShow, this, &TMain::UpdateEditActions);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        ReadClipboard();
        UpdateEditActions();
    });
    connect(&history, &QUndoStack::indexChanged, this, &TMain::UpdateEditActions);
    ReadClipboard();
}

std::vector<const TMidiNote*> TMain::SelectedNotes() const {
    std::vector<const TMidiNote*> notes;
    for (const auto& shown : Partition->NoteList())
        if (shown->Selected)
            notes.push_back(&SongNote(shown.get()));
    return notes;
}

void TMain::UpdateEditActions() {
    if (Edition == nullptr)
        return;
    const auto& shown = Partition->NoteList();
    const bool selection =
        std::any_of(shown.begin(), shown.end(), [](const auto& note) { return note->Selected; });
    Couper->setEnabled(selection);
    Copier->setEnabled(selection);
    Supprimer->setEnabled(selection && ModeSelect->isChecked());
    Coller->setEnabled(!clipboardNotes_.empty() && SelectedRow() >= 0);
    ToutSelectionner->setEnabled(!shown.empty());
}

void TMain::ReadClipboard() {
    clipboardNotes_.clear();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return;
    if (data->hasFormat(QString::fromLatin1(NotesMimeType))) {
        const QByteArray text = data->data(QString::fromLatin1(NotesMimeType));
        if (auto notes = DecodeClipboardNotes(std::string_view(text.constData(), text.size()))) {
            clipboardNotes_ = std::move(*notes);
            return;
        }
    }
    if (data->hasFormat(QString::fromLatin1(MidiFileMimeType))) {
        const QByteArray file = data->data(QString::fromLatin1(MidiFileMimeType));
        try {
            clipboardNotes_ = NotesOfMidiFile(std::span<const std::uint8_t>(
                reinterpret_cast<const std::uint8_t*>(file.constData()),
                static_cast<std::size_t>(file.size())));
        } catch (const Error&) {
            // Not a file the import reads: nothing to paste.
        }
    }
}

void TMain::StepHistory(bool undo) {
    const int rows = RowCount();
    const SongCommand* step = undo ? document_->Undo() : document_->Redo();
    if (step == nullptr)
        return;
    if (RowCount() != rows)
        UpdateTrackButtons();
    const int sounded = step->SoundedTrack(undo);
    if (sounded >= 0 && sounded < RowCount()) {
        const SongTrack& track = SongView().Tracks[static_cast<std::size_t>(sounded)];
        SendChangePatch(track.Channel, track.Program);
    }
}

void TMain::AnnulerClick() {
    StepHistory(true);
}

void TMain::RetablirClick() {
    StepHistory(false);
}

void TMain::CopierClick() {
    const std::vector<const TMidiNote*> notes = SelectedNotes();
    const int row = SelectedRow();
    if (notes.empty() || row < 0)
        return;
    const ClipboardNotes copied = ClipboardNotesOf(notes);
    auto* data = new QMimeData();
    data->setData(QString::fromLatin1(NotesMimeType), Bytes(EncodeClipboardNotes(copied)));
    data->setData(
        QString::fromLatin1(MidiFileMimeType),
        Bytes(ClipboardMidiFile(copied, SongView().Tracks[static_cast<std::size_t>(row)])));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TMain::CouperClick() {
    EndGesture();
    const std::vector<std::uint32_t> cut =
        SongIndicesOf([](const TPartitionNote& note) { return note.Selected; });
    if (cut.empty())
        return;
    CopierClick();
    document_->RemoveNotes(cut, NoteEdit::Cut);
}

std::int64_t TMain::PastePosition() const {
    const std::int64_t inView = std::int64_t{Partition->CursorPos()} - Partition->FirstPixel();
    if (inView >= 0 && inView < Partition->width())
        return Partition->CursorPos() / Partition->SmallestWidth();
    return Partition->FirstPos();
}

void TMain::CollerClick() {
    EndGesture();
    const int row = SelectedRow();
    if (row < 0 || clipboardNotes_.empty())
        return;
    // The notes take the track's channel, on which no note can be made when it is 16 or more.
    const std::int32_t channel = SongView().Tracks[static_cast<std::size_t>(row)].Channel;
    if (channel < 0 || channel > 15)
        throw Error("Invalid MIDI channel: " + std::to_string(channel));

    // The notes keep their distances; near the end of the song they move back together so
    // that each ends within the last position.
    std::int64_t span = 0;
    for (const TMidiNote& note : clipboardNotes_)
        span = std::max(span, std::int64_t{note.Pos} + note.Len);
    const std::int64_t start = std::clamp<std::int64_t>(PastePosition(), 0, MaxPos - span);
    // Millions of notes take seconds: they are made while the window stays painted.
    auto made = RunBusy<std::vector<std::unique_ptr<TMidiNote>>>(
        this, QStringLiteral("Collage des notes..."),
        [notes = clipboardNotes_, start, channel, row] {
            return PastedNotes(notes, start, static_cast<std::uint8_t>(channel),
                               static_cast<std::uint32_t>(row));
        });
    if (!made)
        return;
    BusyCursor busy;
    const std::size_t count = made->size();
    document_->AppendNotes(std::move(*made), NoteEdit::Paste);

    // The pasted notes come last on the score; they are the selection afterwards, ready to be
    // dragged.
    ModeSelect->setChecked(true);
    const auto& shown = Partition->NoteList();
    for (std::size_t i = 0; i < shown.size(); ++i)
        shown[i]->Selected = i + count >= shown.size();
    Partition->Paint();
}

void TMain::SupprimerClick() {
    FormKeyDown(KeyDelete);
}

void TMain::ToutSelectionnerClick() {
    EndGesture();
    // The other modes clear the selection when their button is pressed.
    ModeSelect->setChecked(true);
    for (const auto& shown : Partition->NoteList())
        shown->Selected = true;
    Partition->Paint();
}

} // namespace kadrel
