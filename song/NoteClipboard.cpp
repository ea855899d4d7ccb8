#include "song/NoteClipboard.h"

#include "midi/ByteStream.h"
#include "song/SongConversion.h"
#include "song/TolerantImport.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kadrel {

namespace {

constexpr std::int64_t MaxPos = std::numeric_limits<std::int32_t>::max();
constexpr std::string_view Header = "Kadrel notes 1\n";

// The notes moved so that the earliest one starts at 0.
ClipboardNotes FromZero(ClipboardNotes notes) {
    if (notes.empty())
        return notes;
    const std::int32_t first =
        std::min_element(notes.begin(), notes.end(), [](const TMidiNote& a, const TMidiNote& b) {
            return a.Pos < b.Pos;
        })->Pos;
    for (TMidiNote& note : notes) {
        note.Pos -= first;
        note.Track = 0;
    }
    return notes;
}

// Reads a decimal number ending with end; advances text past it and the separator.
bool ReadNumber(std::string_view& text, char end, std::int64_t& value) {
    const auto stop = text.find(end);
    if (stop == std::string_view::npos || stop == 0)
        return false;
    const char* first = text.data();
    const char* last = text.data() + stop;
    const auto [ptr, error] = std::from_chars(first, last, value);
    if (error != std::errc() || ptr != last)
        return false;
    text.remove_prefix(stop + 1);
    return true;
}

} // namespace

ClipboardNotes ClipboardNotesOf(const std::vector<const TMidiNote*>& notes) {
    ClipboardNotes copied;
    copied.reserve(notes.size());
    for (const TMidiNote* note : notes)
        copied.push_back(*note);
    return FromZero(std::move(copied));
}

std::string EncodeClipboardNotes(const ClipboardNotes& notes) {
    std::string text(Header);
    for (const TMidiNote& note : notes)
        text += std::to_string(note.NoteNum) + ' ' + std::to_string(note.Pos) + ' ' +
                std::to_string(note.Len) + ' ' + std::to_string(note.Channel) + '\n';
    return text;
}

std::optional<ClipboardNotes> DecodeClipboardNotes(std::string_view text) {
    if (!text.starts_with(Header))
        return std::nullopt;
    text.remove_prefix(Header.size());
    ClipboardNotes notes;
    while (!text.empty()) {
        std::int64_t number = 0, pos = 0, len = 0, channel = 0;
        if (!ReadNumber(text, ' ', number) || !ReadNumber(text, ' ', pos) ||
            !ReadNumber(text, ' ', len) || !ReadNumber(text, '\n', channel))
            return std::nullopt;
        if (number < 0 || number > 127 || pos < 0 || len < 0 || pos + len > MaxPos || channel < 0 ||
            channel > 15)
            return std::nullopt;
        notes.push_back({static_cast<std::uint8_t>(number), static_cast<std::int32_t>(pos),
                         static_cast<std::int32_t>(len), static_cast<std::uint8_t>(channel), 0});
    }
    if (notes.empty())
        return std::nullopt;
    return FromZero(std::move(notes));
}

std::vector<std::uint8_t> ClipboardMidiFile(const ClipboardNotes& notes, const SongTrack& track) {
    Song song;
    song.Tracks.push_back(track);
    for (const TMidiNote& note : notes) {
        song.Notes.push_back(note);
        song.Notes.back().Track = 0;
    }
    ByteStream stream;
    ExportSong(song).SaveToStream(stream);
    return stream.Bytes();
}

ClipboardNotes NotesOfMidiFile(std::span<const std::uint8_t> bytes) {
    TolerantImport imported = ImportSmf(ReadSmf(bytes));
    return FromZero(std::move(imported.Notes));
}

} // namespace kadrel
