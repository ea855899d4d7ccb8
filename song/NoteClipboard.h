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

// Notes as the clipboard holds them: their numbers, lengths, channels and velocities, and their
// positions (ticks of the song they come from) counted from the earliest of them, which is at 0;
// their Track is 0. They are new notes wherever they go: no place in a file, every one ended.
using ClipboardNotes = std::vector<TMidiNote>;

// The notes with their positions from the earliest one, in the order given.
ClipboardNotes ClipboardNotesOf(const std::vector<const TMidiNote*>& notes);

// Kadrel's text of the notes of a song of that division. Notes of velocity 127 from a song of
// division 16 give a first line "Kadrel notes 1", then "number position length channel" on a
// line per note; others "Kadrel notes 2 DIVISION", then "number position length channel
// velocity".
std::string EncodeClipboardNotes(const ClipboardNotes& notes,
                                 std::uint16_t division = KadrelDivision);
// The notes of such a text at the division of the song they go to (velocity 127 for the first
// form), or nothing when it is not one, holds no note, or holds a value beyond what a note takes
// (number 0..127, position and end 0..2^31 - 1, channel 0..15, velocity 1..127, a division that
// is not 0).
std::optional<ClipboardNotes> DecodeClipboardNotes(std::string_view text,
                                                   std::uint16_t division = KadrelDivision);

// A Standard MIDI File of the notes of a song of that division, as an imported song is saved:
// format 1, one track with the program change of track (on its channel) and the notes on their
// own channels with their velocities, from position 0.
std::vector<std::uint8_t> ClipboardMidiFile(const ClipboardNotes& notes, const SongTrack& track,
                                            std::uint16_t division = KadrelDivision);
// Every note of a Standard MIDI File, read as "Importer un fichier MIDI..." reads it, at the
// division of the song they go to, with the positions counted from the earliest note. Throws
// SmfReadError when the reader refuses it.
ClipboardNotes NotesOfMidiFile(std::span<const std::uint8_t> bytes,
                               std::uint16_t division = KadrelDivision);

} // namespace kadrel
