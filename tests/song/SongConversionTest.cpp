#include "song/SongConversion.h"
#include "core/Bytes.h"
#include "song/Instruments.h"
#include "song/NoteText.h"
#include "util/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace kadrel {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Tag;
using ::testing::ElementsAre;

TMidiNote Note(int num, int pos, int len, int channel = 0, int track = 0) {
    TMidiNote n;
    n.NoteNum = static_cast<std::uint8_t>(num);
    n.Pos = pos;
    n.Len = len;
    n.Channel = static_cast<std::uint8_t>(channel);
    n.Track = static_cast<std::uint16_t>(track);
    return n;
}

NoteList MakeNotes(std::initializer_list<std::array<int, 5>> specs) {
    NoteList list;
    for (const auto& s : specs)
        list.push_back(Note(s[0], s[1], s[2], s[3], s[4]));
    return list;
}

SongTrack Row(int channel, int program = 0) {
    return {"", channel, static_cast<std::uint8_t>(program)};
}

Song MakeSong(NoteList notes, std::vector<SongTrack> tracks) {
    Song song;
    song.Notes = std::move(notes);
    song.Tracks = std::move(tracks);
    return song;
}

using test::Saved;

// Track chunk bytes after "MTrk" and the length, as hex, without the final end of track.
std::string TrackEvents(const TMidi& midi, std::size_t t) {
    ByteStream stream;
    midi.Tracks.at(t)->SaveToStream(stream);
    const auto& b = stream.Bytes();
    return Hex(Bytes(b.begin() + 8, b.end() - 4));
}

TEST(SongExport, OneNoteSongIsByteExact) {
    const TMidi midi = ExportSong(MakeSong(MakeNotes({{60, 0, 16, 0, 0}}), {Row(0)}));
    EXPECT_EQ(Hex(Saved(midi)),
              "4D 54 68 64 00 00 00 06 00 01 00 01 00 10 "
              "4D 54 72 6B 00 00 00 0F 00 C0 00 00 90 3C 7F 10 80 3C 00 00 FF 2F 00");
}

TEST(SongExport, NoRowsGivesAFormat1HeaderWithoutTracks) {
    const TMidi midi = ExportSong(MakeSong(MakeNotes({{60, 0, 16, 0, 0}}), {}));
    EXPECT_EQ(Hex(Saved(midi)), "4D 54 68 64 00 00 00 06 00 01 00 00 00 10");
}

TEST(SongExport, TrackOrdering) {
    struct Case {
        const char* what;
        NoteList notes;
        std::string events;
    };
    Case cases[] = {
        {"row without notes", MakeNotes({}), "00 C3 05"},
        {"earlier note ends where the later starts: off first",
         MakeNotes({{60, 0, 16, 0, 0}, {62, 16, 16, 0, 0}}),
         "00 C3 05 00 90 3C 7F 10 80 3C 00 00 90 3E 7F 10 80 3E 00"},
        {"later note ends where the earlier starts: its off comes after the other's on",
         MakeNotes({{62, 16, 16, 0, 0}, {60, 0, 16, 0, 0}}),
         "00 C3 05 00 90 3C 7F 10 90 3E 7F 00 80 3C 00 10 80 3E 00"},
        {"length 0: off before on in the same tick", MakeNotes({{64, 8, 0, 0, 0}}),
         "00 C3 05 08 80 40 00 00 90 40 7F"},
        {"same tick, list order", MakeNotes({{67, 4, 4, 1, 0}, {65, 4, 4, 2, 0}}),
         "00 C3 05 04 91 43 7F 00 92 41 7F 04 81 43 00 00 82 41 00"},
        {"notes keep their own channel and other tracks' notes stay out",
         MakeNotes({{60, 0, 1, 9, 0}, {61, 0, 1, 0, 1}}), "00 C3 05 00 99 3C 7F 01 89 3C 00"},
        {"a note near the end of time", MakeNotes({{60, 0x7FFFFFF0, 15, 0, 0}}),
         "00 C3 05 87 FF FF FF 70 90 3C 7F 0F 80 3C 00"},
    };
    for (auto& c : cases) {
        const TMidi midi = ExportSong(MakeSong(std::move(c.notes), {Row(3, 5), Row(0)}));
        EXPECT_EQ(TrackEvents(midi, 0), c.events) << c.what;
    }
}

TEST(SongExport, ProgramAndChannelOfTheRow) {
    struct Case {
        int channel, program;
        std::string patch;
    };
    const Case cases[] = {
        {0, 0, "00 C0 00"},
        {9, 127, "00 C9 7F"},
        {15, 8, "00 CF 08"},
        // rows made from files with more than 16 tracks: the program change goes to the
        // number modulo 16, never past the channels a file can hold
        {16, 1, "00 C0 01"},
        {17, 1, "00 C1 01"},
    };
    for (const auto& c : cases) {
        const TMidi midi =
            ExportSong(MakeSong(MakeNotes({{60, 0, 1, 4, 0}}), {Row(c.channel, c.program)}));
        EXPECT_EQ(TrackEvents(midi, 0), c.patch + " 00 94 3C 7F 01 84 3C 00") << c.channel;
    }
}

TEST(InstrumentTexts, AreNumberedOnThreeDigits) {
    EXPECT_EQ(InstrumentText(0), "000 - Piano 1");
    EXPECT_EQ(InstrumentText(8), "008 - Celesta ");
    EXPECT_EQ(InstrumentText(57), "057 - Trumbone");
    EXPECT_EQ(InstrumentText(87), "087 - Bass & Lead");
    EXPECT_EQ(InstrumentText(127), "127 - Gunshot");
}

// --- import ---

struct Imported {
    Song song;
    std::vector<std::string> rows; // the tracks as the track list shows them
    std::vector<std::string> sent;
};

Imported Import(const Bytes& file) {
    ByteStream stream(file);
    TMidi midi;
    midi.LoadFromStream(stream);
    Imported out;
    ImportSong(midi, out.song, [&](std::uint8_t ch, std::uint8_t p) {
        out.sent.push_back(std::to_string(ch) + ":" + std::to_string(p));
    });
    for (std::size_t i = 0; i < out.song.Tracks.size(); ++i)
        out.rows.push_back(test::TrackText(out.song.Tracks[i], i));
    return out;
}

Bytes File(std::initializer_list<Bytes> trackEvents) {
    Bytes file =
        Cat({Tag("MThd"),
             {0, 0, 0, 6, 0, 1, 0, static_cast<std::uint8_t>(trackEvents.size()), 0, 0x10}});
    for (const auto& events : trackEvents) {
        const Bytes withEnd = Cat({events, {0x00, 0xFF, 0x2F, 0x00}});
        file =
            Cat({file, Tag("MTrk"), {0, 0, 0, static_cast<std::uint8_t>(withEnd.size())}, withEnd});
    }
    return file;
}

std::vector<std::string> Describe(const NoteList& notes) {
    return test::NoteTexts(notes);
}

TEST(SongImport, FileWithoutTracks) {
    const Imported song = Import(File({}));
    EXPECT_TRUE(song.rows.empty());
    EXPECT_TRUE(song.song.Notes.empty());
}

TEST(SongImport, NoteOnOfVelocity0IsAFurtherNote) {
    const Imported song =
        Import(File({{0x00, 0x90, 60, 100, 0x08, 0x90, 60, 0x00, 0x08, 0x90, 62, 0}}));
    EXPECT_THAT(Describe(song.song.Notes),
                ElementsAre("60@0+16 c0 t0", "60@8+16 c0 t0", "62@16+16 c0 t0"));
}

TEST(SongImport, OverlappingNotesOfOneNumberBothEndTheLaterOne) {
    const Imported song = Import(File(
        {{0x00, 0x90, 60, 100, 0x08, 0x90, 60, 100, 0x08, 0x80, 60, 0x40, 0x08, 0x80, 60, 0x40}}));
    EXPECT_THAT(Describe(song.song.Notes), ElementsAre("60@0+16 c0 t0", "60@8+16 c0 t0"));
}

TEST(SongImport, NoteOffInTheSameTickGivesLength1) {
    const Imported song = Import(File({{0x05, 0x93, 60, 100, 0x00, 0x83, 60, 0}}));
    EXPECT_THAT(Describe(song.song.Notes), ElementsAre("60@5+1 c3 t0"));
}

TEST(SongImport, NoteOffInAnotherTrackEndsTheLastNoteOfItsNumber) {
    const Imported song = Import(File({{0x00, 0x90, 60, 100}, {0x20, 0x81, 60, 0}}));
    EXPECT_THAT(Describe(song.song.Notes), ElementsAre("60@0+32 c0 t0"));
    EXPECT_EQ(song.song.Tracks[1].Channel, 1);
}

TEST(SongImport, NoteOffWithoutANoteIsPassedOver) {
    const Imported song =
        Import(File({{0x00, 0x80, 61, 0, 0x04, 0x90, 60, 100, 0x04, 0x80, 60, 0}}));
    EXPECT_THAT(Describe(song.song.Notes), ElementsAre("60@4+4 c0 t0"));
}

TEST(SongImport, ADataByteAbove127MakesNoNote) {
    const Imported song =
        Import(File({{0x00, 0x90, 0xC8, 0x40, 0x00, 0x90, 60, 1, 0x10, 0x80, 0xC8, 0x00}}));
    EXPECT_THAT(Describe(song.song.Notes), ElementsAre("60@0+16 c0 t0"));
}

TEST(SongImport, RowsTakeTheLastChannelAndTheProgram) {
    const Imported song = Import(File({
        {0x00, 0xC2, 0x05, 0x00, 0x92, 60, 100},
        {},
        {0x00, 0xC9, 0x00, 0x00, 0x97, 40, 1},
        {0x00, 0xC4, 0x90}, // program 144 has no text: the row keeps its own, nothing is sent
    }));
    ASSERT_EQ(song.rows.size(), 4u);
    EXPECT_EQ(song.rows[0], "0||2|005 - E.Piano 2");
    EXPECT_EQ(song.rows[1], "1||1|000 - Piano 1");
    EXPECT_EQ(song.rows[2], "2||7|000 - Piano 1");
    EXPECT_EQ(song.rows[3], "3||4|000 - Piano 1");
    EXPECT_THAT(song.sent, ElementsAre("2:5", "9:0"));
}

TEST(SongImport, AFailingProgramChangeStopsTheImportAndKeepsWhatWasMade) {
    ByteStream stream(
        File({{0x00, 0x90, 60, 1, 0x00, 0xC0, 0x03, 0x00, 0x90, 62, 1}, {0x00, 0x90, 64, 1}}));
    TMidi midi;
    midi.LoadFromStream(stream);
    Song song;
    EXPECT_THROW(ImportSong(midi, song, [](std::uint8_t, std::uint8_t) { throw Error("refused"); }),
                 Error);
    EXPECT_EQ(song.Tracks.size(), 2u) << "the rows are made before the events";
    EXPECT_EQ(InstrumentText(song.Tracks[0].Program), "003 - Honky Tonk");
    EXPECT_THAT(Describe(song.Notes), ElementsAre("60@0+16 c0 t0"));
}

// Times beyond the last position a note can hold stay there, and every note ends by it, so
// that the song saved and opened again is the same.
TEST(SongImport, NotesNearTheLastPositionEndWithinIt) {
    // delta times that bring the time to 2^31 - 1 - 5 and to 2^31 - 1
    const Bytes toNearTheEnd = {0x87, 0xFF, 0xFF, 0xFF, 0x7A};
    const Bytes toTheEnd = {0x87, 0xFF, 0xFF, 0xFF, 0x7F};
    const Bytes beyond = {0x8F, 0xFF, 0xFF, 0xFF, 0x7F};
    struct Case {
        const char* what;
        Bytes events;
        const char* note;
    };
    const Case cases[] = {
        {"a note on the last position is moved back to keep its length of 1",
         Cat({toTheEnd, {0x90, 60, 1}}), "60@2147483646+1 c0 t0"},
        {"a note on the last position after times beyond it",
         Cat({beyond, {0xC0, 0x00}, beyond, {0x90, 60, 1}}), "60@2147483646+1 c0 t0"},
        {"a note ended on the last position", Cat({toTheEnd, {0x90, 60, 1, 0x00, 0x80, 60, 0}}),
         "60@2147483646+1 c0 t0"},
        {"a note that would end beyond it is shorter", Cat({toNearTheEnd, {0x90, 60, 1}}),
         "60@2147483642+5 c0 t0"},
        {"its note-off beyond the end ends it there",
         Cat({toNearTheEnd, {0x90, 60, 1}, beyond, {0x80, 60, 0}}), "60@2147483642+5 c0 t0"},
        {"a note ending before it keeps its length",
         Cat({{0x87, 0xFF, 0xFF, 0xFF, 0x6F, 0x90, 60, 1}}), "60@2147483631+16 c0 t0"},
    };
    for (const Case& c : cases) {
        const Imported song = Import(File({c.events}));
        EXPECT_THAT(Describe(song.song.Notes), ElementsAre(c.note)) << c.what;
        const Imported again = Import(Saved(ExportSong(song.song)));
        EXPECT_EQ(Describe(again.song.Notes), Describe(song.song.Notes)) << c.what;
    }
}

TEST(SongRoundTrip, ASavedSongOpensWithTheSameNotes) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        Song song;
        const int tracks = 1 + static_cast<int>(random() % 5);
        for (int t = 0; t < tracks; ++t)
            song.Tracks.push_back({"", t, static_cast<std::uint8_t>(random() % 128)});
        const std::vector<SongTrack> rows = song.Tracks;
        // Notes of one number within a track never overlap or touch, so each note-off ends its own.
        NoteList& notes = song.Notes;
        std::vector<std::int32_t> freeFrom(tracks * 128, 0);
        for (int i = 0; i < 60; ++i) {
            const int t = static_cast<int>(random() % tracks);
            const int num = static_cast<int>(random() % 128);
            auto& from = freeFrom[t * 128 + num];
            const std::int32_t pos = from + static_cast<std::int32_t>(random() % 50);
            const std::int32_t len = 1 + static_cast<std::int32_t>(random() % 40);
            from = pos + len + 1;
            notes.push_back(Note(num, pos, len, t, t));
        }
        const TMidi midi = ExportSong(song);
        Imported back = Import(Saved(midi));
        ASSERT_EQ(back.rows.size(), rows.size());
        for (int t = 0; t < tracks; ++t) {
            EXPECT_EQ(back.song.Tracks[t].Program, rows[t].Program);
            EXPECT_EQ(back.song.Tracks[t].Channel, rows[t].Channel);
        }
        // Same notes; the import lists them track by track, in time order.
        auto key = [](const TMidiNote& n) {
            return std::tuple(n.Track, n.Pos, n.NoteNum, n.Len, n.Channel);
        };
        std::vector<std::tuple<int, int, int, int, int>> expected, actual;
        for (const TMidiNote& n : notes)
            expected.push_back(key(n));
        for (const TMidiNote& n : back.song.Notes)
            actual.push_back(key(n));
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        ASSERT_EQ(actual, expected) << "round " << round;
    }
}

} // namespace
} // namespace kadrel
