#pragma once

#include "song/Song.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrel {

// The most track chunks a file can hold: its header counts them in 16 bits.
inline constexpr std::size_t MaxFileTracks = 65535;

// The bytes of the file that Enregistrer writes for a song.
// - A song that keeps no file (made in Kadrel, read by Ouvrir) is written as ExportSong builds it.
// - An imported song is written as its file was: its format (0 becomes 1 once it has more than
//   one track), its division, its file tracks and other chunks in order, every kept event at its
//   tick with its bytes, each file track's notes with their velocities and ends; within one tick
//   in the order FileTrackSequence gives; running status where the file used it for what is kept
//   as it was, when the status written before allows it; each end of track at its tick, later
//   only when a note now ends after it. An unchanged song gives its file's events back, and a
//   file written in the canonical way (minimal lengths, a 6-byte header, no wrapper, nothing
//   after its last chunk or an end of track) byte for byte.
// Throws Error with TooManyTracksText when the song has more tracks than a file holds, and
// Error(OutOfMemoryText) when memory runs out.
std::vector<std::uint8_t> SongFileBytes(const Song& song);

// SongFileBytes written to fileName (ByteStream::SaveToFile); nothing is written when the song
// cannot be.
void SaveSong(const Song& song, const std::string& fileName);

// "Impossible d'enregistrer : le morceau a 70 000 tracks, un fichier MIDI en contient au plus
// 65 535."
std::string TooManyTracksText(std::size_t tracks);

} // namespace kadrel
