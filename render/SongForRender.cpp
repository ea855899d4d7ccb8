#include "render/SongForRender.h"

#include "midi/ByteStream.h"
#include "midi/Midi.h"
#include "song/SongConversion.h"
#include "util/Error.h"

#include <exception>

namespace kadrel {

SongForRender LoadSongForRender(const std::string& fileName) {
    // Read first, so that a file that cannot be opened says so rather than "not recognised".
    ByteStream stream;
    stream.LoadFromFile(fileName);
    TMidi midi;
    try {
        midi.LoadFromStream(stream);
    } catch (const std::exception&) {
        throw Error("Le fichier n'a pas pu être lu. Le format n'est pas reconnu.");
    }
    SongForRender song;
    ImportSong(midi, song.Rows, song.Notes, {});
    return song;
}

} // namespace kadrel
