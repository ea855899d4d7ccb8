#pragma once

#include "song/Song.h"

#include <string>

namespace kadrel {

// A song read from a file for the export: its track rows and its notes.
struct SongForRender {
    TrackRows Rows;
    NoteList Notes;
};

// Reads a MIDI file into a song as "Importer un fichier MIDI..." does (the tolerant reader and
// its rules), sending nothing anywhere. The one place where kadrel-render reads a file. Throws
// the errors of ByteStream::LoadFromFile when it cannot be read, and Error with the import's
// French refusal text (reason and offset) when the reader refuses it.
SongForRender LoadSongForRender(const std::string& fileName);

} // namespace kadrel
