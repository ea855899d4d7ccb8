// libFuzzer target: the song import and export over arbitrary bytes.
// - Ouvrir: a file that it reads becomes a song whose notes all lie within the positions a note
//   can hold; that song, saved and opened again, must give the same notes whenever the import
//   can tell them apart (within a track, no two notes of one number overlap or touch).
// - The import: a file that the tolerant reader accepts always saves; saved and imported again
//   it gives the same song, and saved again the same bytes; when the reader dropped nothing,
//   the saved file holds the file's events.

#include "midi/ByteStream.h"
#include "song/OpenLosses.h"
#include "song/SongConversion.h"
#include "song/SongSave.h"
#include "song/TolerantImport.h"
#include "util/Error.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <tuple>
#include <vector>

namespace {

using namespace kadrel;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

constexpr std::int64_t MaxTick = std::numeric_limits<std::int32_t>::max();

using NoteKey = std::tuple<int, int, int, int, int>;

std::vector<NoteKey> Keys(const NoteList& notes) {
    std::vector<NoteKey> keys;
    for (const TMidiNote& n : notes)
        keys.emplace_back(n.Track, n.Pos, n.Len, n.NoteNum, n.Channel);
    return keys;
}

// Whether each note-off of the saved song will end its own note: within a track, notes of one
// number neither overlap nor touch.
bool NotesAreDistinct(const NoteList& notes) {
    std::vector<NoteKey> keys;
    for (const TMidiNote& n : notes)
        keys.emplace_back(n.Track, n.NoteNum, n.Pos, n.Len, 0);
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 1; i < keys.size(); ++i) {
        const auto& [track, number, pos, len, unused] = keys[i - 1];
        const auto& [nextTrack, nextNumber, nextPos, nextLen, unused2] = keys[i];
        if (track == nextTrack && number == nextNumber && std::int64_t{pos} + len >= nextPos)
            return false;
    }
    return true;
}

bool Import(const std::vector<std::uint8_t>& bytes, Song& song) {
    ByteStream stream(bytes);
    TMidi midi;
    try {
        midi.LoadFromStream(stream);
    } catch (const Error&) {
        return false;
    }
    ImportSong(midi, song, nullptr);
    return true;
}

void FaithfulImport(const std::vector<std::uint8_t>& bytes) {
    SmfFile file;
    try {
        file = ReadSmf(bytes);
    } catch (const Error&) {
        return;
    }
    const Song song = ImportSmf(file).Content;
    for (const TMidiNote& n : song.Notes) {
        Require(n.Pos >= 0 && n.Len >= 0 && n.EndPos() <= MaxTick);
        Require(n.NoteNum <= 127 && n.Channel <= 15 && n.Track < song.Tracks.size());
        Require(song.Tracks[n.Track].FileTrack < song.FileTracks.size());
    }
    const std::vector<std::uint8_t> saved = SongFileBytes(song);
    const SmfFile reread = ReadSmf(saved);
    Require(reread.Dropped.empty());
    Song again = ImportSmf(reread).Content;
    // A format 0 file of several tracks is saved as format 1.
    if (song.Format == 0 && song.FileTracks.size() > 1)
        again.Format = 0;
    Require(again == song);
    Require(SongFileBytes(again) == saved);
    if (file.Dropped.empty() && again.Format == reread.Format)
        Require(SameEvents(file, reread));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FaithfulImport(std::vector<std::uint8_t>(data, data + size));
    Song song;
    if (!Import(std::vector<std::uint8_t>(data, data + size), song))
        return 0;
    for (const TMidiNote& n : song.Notes) {
        Require(n.Pos >= 0 && n.Len >= 1 && std::int64_t{n.Pos} + n.Len <= MaxTick);
        Require(n.NoteNum <= 127 && n.Channel <= 15 && n.Track < song.Tracks.size());
    }

    ByteStream saved;
    ExportSong(song).SaveToStream(saved);
    Song again;
    Require(Import(saved.Bytes(), again));
    Require(again.Tracks.size() == song.Tracks.size());
    if (NotesAreDistinct(song.Notes))
        Require(Keys(again.Notes) == Keys(song.Notes));
    return 0;
}
