#include "editor/EditActions.h"

#include "editor/MainComponents.h"
#include "editor/NoteEditingTool.h"
#include "editor/ScoreView.h"
#include "editor/TrackListView.h"
#include "editor/UserDialogs.h"
#include "partition/Partition.h"
#include "song/ImportTexts.h"
#include "song/NoteClipboard.h"
#include "util/Error.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
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

} // namespace

bool ClipboardOffersNotes() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && (data->hasFormat(QString::fromLatin1(NotesMimeType)) ||
                               data->hasFormat(QString::fromLatin1(MidiFileMimeType)));
}

EditActions::EditActions(SongDocument& document, ScoreView& view, TrackListView& tracks,
                         NoteEditingTool& tool, GestureEndingDialogs& dialogs,
                         const TMainComponents& ui)
    : document_(document), view_(view), tracks_(tracks), tool_(tool), dialogs_(dialogs), ui_(ui) {}

void EditActions::UpdateActions() {
    const auto& shown = ui_.Partition->NoteList();
    const bool selection =
        std::any_of(shown.begin(), shown.end(), [](const auto& note) { return note->Selected; });
    ui_.Couper->setEnabled(selection);
    ui_.Copier->setEnabled(selection);
    ui_.Supprimer->setEnabled(selection && ui_.ModeSelect->isChecked());
    ui_.Coller->setEnabled(ClipboardOffersNotes() && tracks_.SelectedRow() >= 0);
    ui_.ToutSelectionner->setEnabled(!shown.empty());
    ui_.Velocite->setEnabled(selection);
}

std::vector<TMidiNote> EditActions::ClipboardContent() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return {};
    if (data->hasFormat(QString::fromLatin1(NotesMimeType))) {
        const QByteArray text = data->data(QString::fromLatin1(NotesMimeType));
        if (auto notes = DecodeClipboardNotes(std::string_view(text.constData(), text.size())))
            return std::move(*notes);
    }
    if (data->hasFormat(QString::fromLatin1(MidiFileMimeType))) {
        const QByteArray file = data->data(QString::fromLatin1(MidiFileMimeType));
        return NotesOfMidiFile(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                          static_cast<std::size_t>(file.size())));
    }
    return {};
}

void EditActions::CopierClick() {
    std::vector<const TMidiNote*> notes;
    for (const auto& shown : ui_.Partition->NoteList())
        if (shown->Selected)
            notes.push_back(&ScoreView::NoteOf(*shown));
    const int row = tracks_.SelectedRow();
    if (notes.empty() || row < 0)
        return;
    const ClipboardNotes copied = ClipboardNotesOf(notes);
    auto* data = new QMimeData();
    data->setData(QString::fromLatin1(NotesMimeType), Bytes(EncodeClipboardNotes(copied)));
    data->setData(QString::fromLatin1(MidiFileMimeType),
                  Bytes(ClipboardMidiFile(
                      copied, document_.Content().Tracks[static_cast<std::size_t>(row)])));
    QGuiApplication::clipboard()->setMimeData(data);
}

void EditActions::CouperClick() {
    tool_.EndGesture();
    NoteIndices cut = view_.IndicesOf([](const TPartitionNote& note) { return note.Selected; });
    if (cut.empty())
        return;
    CopierClick();
    document_.RemoveNotes(std::move(cut), NoteEdit::Cut);
}

std::int64_t EditActions::PastePosition() const {
    const TPartition& score = *ui_.Partition;
    const std::int64_t inView = std::int64_t{score.CursorPos()} - score.FirstPixel();
    if (inView >= 0 && inView < score.width())
        return score.CursorPos() / score.SmallestWidth();
    return score.FirstPos();
}

void EditActions::CollerClick() {
    tool_.EndGesture();
    const int row = tracks_.SelectedRow();
    if (row < 0 || !ClipboardOffersNotes())
        return;
    // The notes take the track's channel, on which no note can be made when it is 16 or more.
    const std::int32_t channel = document_.Content().Tracks[static_cast<std::size_t>(row)].Channel;
    if (channel < 0 || channel > 15)
        throw Error("Invalid MIDI channel: " + std::to_string(channel));

    std::vector<TMidiNote> clipboard;
    try {
        clipboard = ClipboardContent();
    } catch (const SmfReadError& refused) {
        const std::string text = ImportRefusalText(refused.Reason(), refused.Offset());
        throw Error(text);
    }
    if (clipboard.empty())
        return;
    // The notes keep their distances; near the end of the song they move back together so
    // that each ends within the last position.
    std::int64_t span = 0;
    for (const TMidiNote& note : clipboard)
        span = std::max(span, note.EndPos());
    const std::int64_t start = std::clamp<std::int64_t>(PastePosition(), 0, MaxPos - span);
    NoteList pasted;
    pasted.reserve(clipboard.size());
    for (TMidiNote note : clipboard) {
        note.Pos = static_cast<std::int32_t>(start + note.Pos);
        note.Channel = static_cast<std::uint8_t>(channel);
        note.Track = static_cast<std::uint32_t>(row);
        // New notes in this song: written where the rules for edited notes put them.
        note.StartOrder = NoOrder;
        note.EndOrder = NoOrder;
        note.Flags = 0;
        pasted.push_back(note);
    }
    const std::size_t count = pasted.size();
    document_.AppendNotes(std::move(pasted), NoteEdit::Paste);

    // The pasted notes come last on the score; they are the selection afterwards, ready to be
    // dragged.
    ui_.ModeSelect->setChecked(true);
    const auto& shown = ui_.Partition->NoteList();
    for (std::size_t i = 0; i < shown.size(); ++i)
        shown[i]->Selected = i + count >= shown.size();
    ui_.Partition->Paint();
}

void EditActions::DeleteSelected() {
    if (!ui_.ModeSelect->isChecked())
        return;
    // A drag under way ends first, as its own step.
    tool_.EndGesture();
    document_.RemoveNotes(view_.IndicesOf([](const TPartitionNote& note) { return note.Selected; }),
                          NoteEdit::Remove);
    ui_.Partition->Paint();
    document_.Touch();
}

void EditActions::ToutSelectionnerClick() {
    tool_.EndGesture();
    // The other modes clear the selection when their button is pressed.
    ui_.ModeSelect->setChecked(true);
    for (const auto& shown : ui_.Partition->NoteList())
        shown->Selected = true;
    ui_.Partition->Paint();
}

} // namespace kadrel

namespace kadrel {

void EditActions::VelociteClick() {
    tool_.EndGesture();
    const NoteIndices selected =
        view_.IndicesOf([](const TPartitionNote& note) { return note.Selected; });
    if (selected.empty())
        return;
    const NoteList& notes = document_.Content().Notes;
    const auto change =
        dialogs_.AskVelocity(ui_.Partition->window(), notes[selected.front()].Velocity);
    if (!change)
        return;
    NoteList after;
    after.reserve(selected.size());
    for (std::uint32_t i : selected) {
        TMidiNote note = notes[i];
        note.Velocity = ChangedVelocity(note.Velocity, *change);
        after.push_back(note);
    }
    document_.ChangeNotes(selected, std::move(after), NoteEdit::Velocity);
}

} // namespace kadrel
