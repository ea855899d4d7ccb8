#pragma once

#include "song/Song.h"

#include <string>

namespace kadrel {

// Reads a MIDI file into a song as "Importer un fichier MIDI..." does (the tolerant reader and
// the song as the file is), sending nothing anywhere. The one place where kadrel-render reads a
// file. Throws the errors of ByteStream::LoadFromFile when it cannot be read, and Error with the
// import's French refusal text (reason and offset) when the reader refuses it.
Song LoadSongForRender(const std::string& fileName);

} // namespace kadrel
