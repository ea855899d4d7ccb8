#pragma once

#include "song/Song.h"

#include <string>

namespace kadrel {

// A song read from a file for the export: its track rows and its notes.
struct SongForRender {
    TrackRows Rows;
    NoteList Notes;
};

// Reads a MIDI file into a song as Ouvrir does, sending nothing anywhere. The one place where
// kadrel-render reads a file. Throws Error("Impossible d'ouvrir le fichier <name>") when it
// cannot be read and Error("Le fichier n'a pas pu être lu. Le format n'est pas reconnu.") when
// it is no MIDI file that Kadrel can read.
SongForRender LoadSongForRender(const std::string& fileName);

} // namespace kadrel
