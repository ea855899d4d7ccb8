#pragma once

#include "song/Song.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

// Kadrel's own clipboard format: the exact notes.
inline constexpr const char* NotesMimeType = "application/x-kadrel-notes";
// Other programs read and write notes as a Standard MIDI File.
inline constexpr const char* MidiFileMimeType = "audio/midi";

// Notes as the clipboard holds them: their numbers, lengths and channels, and their positions
// counted from the earliest of them, which is at 0; their Track is 0.
using ClipboardNotes = std::vector<TMidiNote>;

// The notes with their positions from the earliest one, in the order given.
ClipboardNotes ClipboardNotesOf(const std::vector<const TMidiNote*>& notes);

// Kadrel's text of the notes: a first line "Kadrel notes 1", then "number position length
// channel" on a line per note.
std::string EncodeClipboardNotes(const ClipboardNotes& notes);
// The notes of such a text, or nothing when it is not one, holds no note, or holds a value
// beyond what a note takes (number 0..127, position and end 0..2^31 - 1, channel 0..15).
std::optional<ClipboardNotes> DecodeClipboardNotes(std::string_view text);

// A Standard MIDI File of the notes as the song's export writes it: format 1, 16 ticks per
// quarter note, one track with the program change of track (on its channel) and the notes on
// their own channels, from position 0.
std::vector<std::uint8_t> ClipboardMidiFile(const ClipboardNotes& notes, const SongTrack& track);
// Every note of a Standard MIDI File, read as "Importer un fichier MIDI..." reads it, with the
// positions counted from the earliest note. Throws SmfReadError when the reader refuses it.
ClipboardNotes NotesOfMidiFile(std::span<const std::uint8_t> bytes);

} // namespace kadrel
