#include "song/SongSave.h"
#include "core/ChildProcess.h"
#include "core/ErrorOf.h"
#include "core/SmfBytes.h"
#include "core/TempDir.h"
#include "midi/ByteStream.h"
#include "song/OpenLosses.h"
#include "song/SongConversion.h"
#include "song/TolerantImport.h"

#include <gtest/gtest.h>

#include <functional>

namespace kadrel::test {
namespace {

Song Imported(const Bytes& file) {
    return ImportSmf(ReadSmf(file)).Content;
}

Bytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// A conductor track, a track with every kind of event (running status on controllers, note-ons
// and their ends, a note-on of velocity 0 as an end, a stray note-off, a note never closed,
// sysex and escapes), and a drum track; chunks of other types before, between and after them.
const Bytes EveryKind = Cat({
    Header(1, 3, 96),
    Chunk("XFIH", {1, 2, 3}),
    Chunk("MTrk", {0,    0xFF, 0x03, 4,    'S',  'o', 'n',  'g',  0,    0xFF, 0x51, 3,    7, 0xA1,
                   0x20, 0,    0xFF, 0x58, 4,    4,   2,    0x18, 8,    0,    0xFF, 0x59, 2, 0,
                   0,    0x83, 0x60, 0xFF, 0x51, 3,   0x0F, 0x42, 0x40, 0,    0xFF, 0x2F, 0}),
    Chunk("MTrk",
          {0,    0xFF, 0x03, 3,    'P',  'n',  'o',  0,    0xF0, 5,    0x7E, 0x7F, 9,    1,
           0xF7, 0,    0xC0, 5,    0,    0xB0, 7,    100,  0,    10,   64,   0,    0x90, 60,
           80,   0,    64,   96,   48,   60,   0,    0,    64,   0,    0x10, 0xE0, 0,    0x50,
           0,    0xA0, 60,   0x20, 0,    0xD0, 0x30, 0,    0x80, 62,   0,    0,    0x90, 67,
           100,  0x20, 0xFF, 0x01, 3,    'a',  'b',  'c',  0,    0xF7, 2,    0xF8, 0xF9, 0,
           0xF0, 3,    0x43, 0x12, 0xF7, 0x10, 0xFF, 0x2F, 0}),
    Chunk("ABCD", {}),
    Chunk("MTrk", {0, 0x99, 36, 100, 24, 0x89, 36, 64, 0, 0xFF, 0x2F, 0}),
    Chunk("XFKM", {9}),
});

const Bytes Format0 = Smf(0, 120, {{0,    0xFF, 0x51, 3,  7,    0xA1, 0x20, 0, 0xC0, 0,    0,
                                    0x90, 60,   100,  60, 0x80, 60,   0,    0, 0xFF, 0x2F, 0}});

TEST(SongSave, ImportedFilesSaveWithTheirEvents) {
    const struct {
        const char* what;
        Bytes file;
        bool canonical; // comes back byte for byte
    } cases[] = {
        {"every kind of event, other chunks, division 96", EveryKind, true},
        {"format 0, division 120", Format0, true},
        {"format 2", Smf(2, 96, {{0, 0x90, 60, 1, 96, 0x80, 60, 0, 0, 0xFF, 0x2F, 0}, EndOfTrack}),
         true},
        {"SMPTE division, 25 frames of 40 ticks",
         Smf(0, 0xE728, {{0, 0x90, 60, 64, 0x87, 0x68, 0x80, 60, 0, 0, 0xFF, 0x2F, 0}}), true},
        {"no tracks", Smf(1, 96, {}), true},
        {"a track chunk beyond those declared stays a chunk",
         Cat({Smf(1, 96, {EndOfTrack}), Chunk("MTrk", {0, 0xC0, 1})}), true},
        {"a RIFF wrapper",
         Cat({Tag("RIFF"), Le32(4 + 8 + 26), Tag("RMID"), Tag("data"), Le32(26),
              Smf(0, 96, {EndOfTrack})}),
         false},
        {"a header of 8 bytes",
         Cat({Chunk("MThd", {0, 0, 0, 1, 0, 96, 0, 0}), Chunk("MTrk", EndOfTrack)}), false},
        {"no end of track", Smf(0, 96, {{0, 0x90, 60, 64, 16, 0x80, 60, 0}}), false},
        {"a delta time longer than it needs", Smf(0, 96, {{0x80, 0x10, 0xC0, 1, 0, 0xFF, 0x2F, 0}}),
         false},
        {"bytes after the end of track", Smf(0, 96, {{0, 0xFF, 0x2F, 0, 1, 2, 3}}), false},
        {"a chunk cut by the end of the file",
         Cat({Smf(0, 96, {EndOfTrack}), Chunk("XYZW", {7}, 9)}), false},
    };
    for (const auto& c : cases) {
        const Song song = Imported(c.file);
        const Bytes saved = SongFileBytes(song);
        EXPECT_TRUE(SameEvents(ReadSmf(c.file), ReadSmf(saved))) << c.what;
        EXPECT_EQ(saved == c.file, c.canonical) << c.what << "\n" << Hex(saved);
        EXPECT_EQ(Imported(saved), song) << c.what;
    }
}

// One track of 96 ticks per quarter note, changed, then saved: the events of its chunk.
TEST(SongSave, ChangedNotesTakeTheirPlaceWithinATick) {
    const auto note = [](int number, int pos, int len, int channel, std::uint8_t velocity) {
        TMidiNote n{static_cast<std::uint8_t>(number), pos, len, static_cast<std::uint8_t>(channel),
                    0};
        n.Velocity = velocity;
        return n;
    };
    const struct {
        const char* what;
        Bytes track;
        std::function<void(Song&)> change;
        const char* saved;
    } cases[] = {
        {"the end of a changed note comes before an untouched start at its tick",
         {0, 0x90, 60, 100, 96, 0x90, 60, 100, 0, 0x80, 60, 0, 96, 0x80, 60, 0, 0, 0xFF, 0x2F, 0},
         [](Song& s) {
             s.Notes[0].Velocity = 80;
             s.Notes[0].MarkEdited();
         },
         "00 90 3C 50 60 80 3C 00 00 90 3C 64 60 80 3C 00 00 FF 2F 00"},
        {"a new note starts after the untouched events of its tick and carries the end of track",
         {0, 0xC0, 0, 0, 0x90, 60, 100, 96, 0x80, 60, 0, 0, 0xB0, 7, 100, 0, 0xFF, 0x2F, 0},
         [&](Song& s) { s.Notes.push_back(note(64, 96, 96, 0, 90)); },
         "00 C0 00 00 90 3C 64 60 80 3C 00 00 B0 07 64 00 90 40 5A 60 80 40 00 00 FF 2F 00"},
        {"running status stays only where the status written before allows it",
         {0, 0x90, 60, 100, 96, 60, 0, 0, 0xFF, 0x2F, 0},
         [&](Song& s) { s.Notes.push_back(note(64, 48, 48, 1, 100)); },
         "00 90 3C 64 30 91 40 64 30 81 40 00 00 90 3C 00 00 FF 2F 00"},
        {"a changed note among notes written with running status gets its status",
         {0, 0x90, 60, 100, 0, 62, 100, 0, 64,   100,  96, 60,
          0, 0,    62, 0,   0, 64, 0,   0, 0xFF, 0x2F, 0},
         [](Song& s) {
             s.Notes[1].NoteNum = 63;
             s.Notes[1].MarkEdited();
         },
         "00 90 3C 64 00 40 64 00 90 3F 64 60 90 3F 00 00 3C 00 00 40 00 00 FF 2F 00"},
        {"a note that never ends is written without an end",
         {0, 0x90, 60, 100, 96, 0xFF, 0x2F, 0},
         [](Song& s) {
             s.Notes[0].Velocity = 80;
             s.Notes[0].MarkEdited();
         },
         "00 90 3C 50 60 FF 2F 00"},
        {"a note moved past the end of track carries it, keeping how it ended",
         {0, 0x90, 60, 100, 48, 0x80, 60, 64, 48, 0xFF, 0x2F, 0},
         [](Song& s) {
             s.Notes[0].Pos = 120;
             s.Notes[0].MarkEdited();
         },
         "78 90 3C 64 30 80 3C 40 00 FF 2F 00"},
        {"a delta time beyond four bytes is reached through empty texts",
         {0, 0x90, 60, 100, 16, 0x80, 60, 0, 0, 0xFF, 0x2F, 0},
         [](Song& s) {
             s.Notes[0].Pos = 0x10000000;
             s.Notes[0].MarkEdited();
         },
         "FF FF FF 7F FF 01 00 01 90 3C 64 10 80 3C 00 00 FF 2F 00"},
    };
    for (const auto& c : cases) {
        Song song = Imported(Smf(1, 96, {c.track}));
        c.change(song);
        const Bytes saved = SongFileBytes(song);
        EXPECT_EQ(Hex(Bytes(saved.begin() + 22, saved.end())), c.saved) << c.what;
    }
}

// A song of Kadrel's own is saved as it always was; a song with more tracks than a file holds
// is not saved at all.
TEST(SongSave, KadrelSongsAndTrackCounts) {
    Song song;
    song.Tracks = {{"", 0, 0}};
    song.Notes = {TMidiNote{60, 0, 16, 0, 0}};
    EXPECT_EQ(SongFileBytes(song), Saved(ExportSong(song)));

    TempDir dir;
    Song rows;
    rows.Tracks.resize(65536);
    Song files = Imported(Smf(1, 96, {}));
    files.FileTracks.resize(65536);
    for (const Song* s : {&rows, &files}) {
        EXPECT_EQ(ErrorOf([&] { SaveSong(*s, dir / "song.mid"); }),
                  "Impossible d'enregistrer : le morceau a 65 536 tracks, un fichier MIDI en "
                  "contient au plus 65 535.");
        EXPECT_TRUE(dir.Names().empty());
    }
    rows.Tracks.pop_back();
    EXPECT_EQ(SongFileBytes(rows).size(), 14 + 65535 * 15u);
}

TEST(SongSave, RunningOutOfMemoryWhileImportingSaysSo) {
    if (UnderSanitizer)
        GTEST_SKIP() << "address-space limits cannot be measured under the sanitizers";
    Bytes notes;
    for (int i = 0; i < 300000; ++i)
        notes.insert(notes.end(), {0, 0x90, 60, 100, 1, 0x80, 60, 0});
    const Bytes file = Smf(0, 96, {notes});
    for (const std::uint64_t budget : {std::uint64_t{4} << 20, std::uint64_t{256} << 20}) {
        const ChildResult child = RunInChild([&](const auto& report) {
            if (!LimitAddressSpace(budget))
                return 90;
            try {
                return Imported(file).Notes.size() == 300000 ? 0 : 91;
            } catch (const Error& e) {
                report(e.what());
            }
            return 1;
        });
        EXPECT_EQ(child.status, budget < (64 << 20) ? 1 : 0) << budget;
        EXPECT_EQ(child.report, budget < (64 << 20) ? OutOfMemoryText : "") << budget;
    }
}

} // namespace
} // namespace kadrel::test
