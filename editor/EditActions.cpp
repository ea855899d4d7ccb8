#include "editor/EditActions.h"

#include "editor/BusyCursor.h"
#include "editor/BusyWork.h"
#include "editor/MainComponents.h"
#include "editor/NoteEditingTool.h"
#include "editor/ScoreView.h"
#include "editor/TrackListView.h"
#include "editor/UserDialogs.h"
#include "partition/Partition.h"
#include "song/ImportTexts.h"
#include "song/NoteClipboard.h"
#include "song/Resolution.h"
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

namespace {

// What the clipboard holds for Coller, copied out of it: Kadrel's notes, else a MIDI file.
struct ClipboardBytes {
    QByteArray Notes;
    QByteArray File;
};

ClipboardBytes ClipboardContentBytes() {
    ClipboardBytes bytes;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return bytes;
    if (data->hasFormat(QString::fromLatin1(NotesMimeType)))
        bytes.Notes = data->data(QString::fromLatin1(NotesMimeType));
    if (data->hasFormat(QString::fromLatin1(MidiFileMimeType)))
        bytes.File = data->data(QString::fromLatin1(MidiFileMimeType));
    return bytes;
}

// The notes of the clipboard at the song's division, from position 0. Throws SmfReadError for a
// MIDI file that the import refuses.
ClipboardNotes DecodedNotes(const ClipboardBytes& bytes, std::uint16_t division) {
    if (!bytes.Notes.isEmpty())
        if (auto notes = DecodeClipboardNotes(
                std::string_view(bytes.Notes.constData(), bytes.Notes.size()), division))
            return std::move(*notes);
    if (!bytes.File.isEmpty())
        return NotesOfMidiFile(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.File.data()),
                                          static_cast<std::size_t>(bytes.File.size())),
            division);
    return {};
}

// The clipboard's notes as they go into the song: from tick start on (moved back together so
// that each ends within the last tick), on the row and its channel, as new notes.
NoteList PastedNotes(ClipboardNotes notes, std::int64_t start, std::uint8_t channel,
                     std::uint32_t row) {
    std::int64_t span = 0;
    for (const TMidiNote& note : notes)
        span = std::max(span, note.EndPos());
    start = std::clamp<std::int64_t>(start, 0, MaxPos - span);
    for (TMidiNote& note : notes) {
        note.Pos = static_cast<std::int32_t>(start + note.Pos);
        note.Channel = channel;
        note.Track = row;
        note.MarkEdited();
    }
    return notes;
}

} // namespace

void EditActions::CopierClick() {
    std::vector<const TMidiNote*> notes;
    for (const auto& shown : ui_.Partition->NoteList())
        if (shown->Selected)
            notes.push_back(&ScoreView::NoteOf(*shown));
    const int row = tracks_.SelectedRow();
    if (notes.empty() || row < 0)
        return;
    const ClipboardNotes copied = ClipboardNotesOf(notes);
    const std::uint16_t division = document_.Content().Division;
    auto* data = new QMimeData();
    data->setData(QString::fromLatin1(NotesMimeType),
                  Bytes(EncodeClipboardNotes(copied, division)));
    data->setData(
        QString::fromLatin1(MidiFileMimeType),
        Bytes(ClipboardMidiFile(copied, document_.Content().Tracks[static_cast<std::size_t>(row)],
                                division)));
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

    // Reading and converting millions of notes takes seconds: it is done while the window stays
    // painted, and Annuler gives it up.
    const std::uint16_t division = document_.Content().Division;
    const std::int64_t start = GridTick(PastePosition(), division);
    std::optional<NoteList> made;
    try {
        made = RunBusy<NoteList>(ui_.Partition->window(), QStringLiteral("Collage des notes..."),
                                 [bytes = ClipboardContentBytes(), division, start, channel, row] {
                                     return PastedNotes(DecodedNotes(bytes, division), start,
                                                        static_cast<std::uint8_t>(channel),
                                                        static_cast<std::uint32_t>(row));
                                 });
    } catch (const SmfReadError& refused) {
        throw Error(ImportRefusalText(refused.Reason(), refused.Offset()));
    }
    if (!made || made->empty())
        return;
    BusyCursor busy;
    NoteList pasted = std::move(*made);
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
        note.MarkEdited();
        after.push_back(note);
    }
    document_.ChangeNotes(selected, std::move(after), NoteEdit::Velocity);
}

} // namespace kadrel
