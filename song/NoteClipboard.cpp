#include "song/NoteClipboard.h"

#include "song/Resolution.h"
#include "song/SongSave.h"
#include "song/TolerantImport.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kadrel {

namespace {

constexpr std::int64_t MaxPos = std::numeric_limits<std::int32_t>::max();
constexpr std::string_view Header = "Kadrel notes 1\n";
constexpr std::string_view HeaderWithVelocities = "Kadrel notes 2 ";

// The notes moved so that the earliest one starts at 0, as new notes of no track.
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
        note.MarkEdited();
        if (note.End == NoteEnd::Never)
            note.End = NoteEnd::NoteOff;
    }
    return notes;
}

// The notes at another division: their starts and ends each to the nearest tick. Notes are
// within 0..2^31 - 1 and stay so (a finer division is refused by the caller if they would not).
bool Convert(ClipboardNotes& notes, std::uint16_t from, std::uint16_t to) {
    for (TMidiNote& note : notes) {
        const std::int64_t start = ConvertTicks(note.Pos, from, to);
        const std::int64_t end = ConvertTicks(note.EndPos(), from, to);
        if (end > MaxPos)
            return false;
        note.Pos = static_cast<std::int32_t>(start);
        note.Len = static_cast<std::int32_t>(end - start);
    }
    return true;
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

std::string EncodeClipboardNotes(const ClipboardNotes& notes, std::uint16_t division) {
    const bool velocities = division != KadrelDivision ||
                            std::any_of(notes.begin(), notes.end(),
                                        [](const TMidiNote& n) { return n.Velocity != 127; });
    std::string text(velocities
                         ? std::string(HeaderWithVelocities) + std::to_string(division) + '\n'
                         : std::string(Header));
    for (const TMidiNote& note : notes) {
        text += std::to_string(note.NoteNum) + ' ' + std::to_string(note.Pos) + ' ' +
                std::to_string(note.Len) + ' ' + std::to_string(note.Channel);
        if (velocities)
            text += ' ' + std::to_string(note.Velocity);
        text += '\n';
    }
    return text;
}

std::optional<ClipboardNotes> DecodeClipboardNotes(std::string_view text, std::uint16_t division) {
    std::int64_t from = KadrelDivision;
    bool velocities = false;
    if (text.starts_with(Header)) {
        text.remove_prefix(Header.size());
    } else if (text.starts_with(HeaderWithVelocities)) {
        text.remove_prefix(HeaderWithVelocities.size());
        if (!ReadNumber(text, '\n', from) || from <= 0 || from > 0xFFFF ||
            ((from & 0x8000) != 0 && (from & 0xFF) == 0))
            return std::nullopt;
        velocities = true;
    } else {
        return std::nullopt;
    }
    ClipboardNotes notes;
    while (!text.empty()) {
        std::int64_t number = 0, pos = 0, len = 0, channel = 0, velocity = 127;
        if (!ReadNumber(text, ' ', number) || !ReadNumber(text, ' ', pos) ||
            !ReadNumber(text, ' ', len) || !ReadNumber(text, velocities ? ' ' : '\n', channel) ||
            (velocities && !ReadNumber(text, '\n', velocity)))
            return std::nullopt;
        if (number < 0 || number > 127 || pos < 0 || len < 0 || pos + len > MaxPos || channel < 0 ||
            channel > 15 || velocity < 1 || velocity > 127)
            return std::nullopt;
        TMidiNote note{static_cast<std::uint8_t>(number), static_cast<std::int32_t>(pos),
                       static_cast<std::int32_t>(len), static_cast<std::uint8_t>(channel), 0};
        note.Velocity = static_cast<std::uint8_t>(velocity);
        notes.push_back(note);
    }
    if (notes.empty() || !Convert(notes, static_cast<std::uint16_t>(from), division))
        return std::nullopt;
    return FromZero(std::move(notes));
}

std::vector<std::uint8_t> ClipboardMidiFile(const ClipboardNotes& notes, const SongTrack& track,
                                            std::uint16_t division) {
    Song song;
    song.KeepsFile = true;
    song.Division = division;
    song.Tracks.push_back(track);
    song.Tracks.back().FileTrack = 0;
    FileTrack& file = song.FileTracks.emplace_back();
    KeptEvent program;
    program.Status = static_cast<std::uint8_t>(0xC0 | (track.Channel & 0x0F));
    program.Data1 = track.Program;
    program.Flags = KeptEvent::Added;
    file.Events.push_back(program);
    file.NextOrder = 1;
    song.Notes = FromZero(notes);
    return SongFileBytes(song);
}

ClipboardNotes NotesOfMidiFile(std::span<const std::uint8_t> bytes, std::uint16_t division) {
    TolerantImport imported = ImportSmf(ReadSmf(bytes));
    ClipboardNotes notes = FromZero(std::move(imported.Content.Notes));
    // Notes that would not fit at a finer division are left where they are: a file that long
    // is not a clipboard's.
    ClipboardNotes converted = notes;
    if (Convert(converted, imported.Content.Division, division))
        return FromZero(std::move(converted));
    return notes;
}

} // namespace kadrel
