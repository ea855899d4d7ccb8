#include "song/OpenLosses.h"
#include "core/ErrorOf.h"
#include "core/SmfBytes.h"
#include "song/SongConversion.h"

#include <gtest/gtest.h>

namespace kadrel::test {
namespace {

Bytes KadrelFile() {
    Song song;
    song.Tracks = {{"", 0, 5}, {"", 9, 0}};
    song.Notes = {TMidiNote{60, 0, 16, 0, 0}, TMidiNote{36, 8, 4, 9, 1}};
    return Saved(ExportSong(song));
}

TEST(OpenLosses, SaysWhatOuvrirWouldLose) {
    const struct {
        const char* what;
        Bytes file;
        const char* lost;
    } cases[] = {
        {"a file Kadrel wrote", KadrelFile(), ""},
        {"480 per quarter, velocities, a tempo",
         Smf(1, 480, {{0,    0xFF, 0x51, 3,    7,    0xA1, 0x20, 0,    0xC0, 0,    0,
                       0x90, 60,   100,  0x83, 0x60, 0x80, 60,   0,    0,    0x90, 62,
                       80,   0x83, 0x60, 0x80, 62,   0,    0,    0xFF, 0x2F, 0}}),
         "la résolution du fichier (480 par noire), 2 vélocités, 1 changement de tempo"},
        {"a name, a release velocity, a note-on of velocity 0 as an end",
         Smf(1, 16, {{0,  0xFF, 0x03, 1,    'A', 0,   0xC0, 0,    0,  0x90, 60, 127,  16,   0x80,
                      60, 64,   0,    0x90, 62,  127, 16,   0x90, 62, 0,    0,  0xFF, 0x2F, 0}}),
         "1 vélocité de relâchement, 1 note-on de vélocité 0, 1 nom de track, 1 fin de track"},
        {"format 0, a program change after a note, a later end of track",
         Smf(0, 16, {{0, 0x90, 60, 127, 16, 0x80, 60, 0, 0, 0xC0, 5, 16, 0xFF, 0x2F, 0}}),
         "le format 0 du fichier, 1 changement de programme, 1 fin de track"},
        {"a note Ouvrir ends with another's note-off; a track without a program",
         Smf(1, 16, {{0, 0x90, 60, 127, 8, 0x90, 60, 127, 8, 0x80, 60, 0, 0, 0xFF, 0x2F, 0}}),
         "1 track sans changement de programme, 1 durée de note"},
        {"a chunk of another type", Cat({KadrelFile(), Chunk("XFIH", {1})}),
         "1 bloc d'un autre type"},
        {"a time-code division",
         Smf(1, 0xE728, {{0, 0xC0, 0, 0, 0x90, 60, 127, 16, 0x80, 60, 0, 0, 0xFF, 0x2F, 0}}),
         "la résolution du fichier (25 images par seconde)"},
        {"program changes at tick 0 in another order than Kadrel writes them",
         Smf(1, 16, {{0, 0x90, 60, 127, 0, 0xC0, 0, 16, 0x80, 60, 0, 0, 0xFF, 0x2F, 0}}),
         "1 changement de programme"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenLosses(c.file), c.lost) << c.what;
    // What Ouvrir refuses it tells with Ouvrir's own error.
    EXPECT_EQ(ErrorOf([] {
                  OpenLosses(Smf(1, 16, {{0, 0xB0, 7, 100}}));
              }),
              "Invalid MIDI file format.");
}

} // namespace
} // namespace kadrel::test
