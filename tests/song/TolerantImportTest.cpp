#include "song/TolerantImport.h"
#include "core/SmfBytes.h"
#include "midi/ByteStream.h"
#include "song/ImportTexts.h"
#include "song/NoteText.h"
#include "song/SongConversion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace kadrel::test {
namespace {

using ::testing::ElementsAre;

constexpr std::int32_t MaxPos = std::numeric_limits<std::int32_t>::max();

struct Imported {
    std::vector<std::string> rows;  // "name|channel|program"
    std::vector<std::string> notes; // "number@pos+len cChannel tRow"
    std::string dropped;            // the counts that are not 0, in the order of DroppedKind
};

Imported Import(const Bytes& file) {
    const TolerantImport song = ImportSmf(ReadSmf(file));
    Imported out;
    for (const auto& t : song.Tracks)
        out.rows.push_back(t.Name + "|" + std::to_string(t.Channel) + "|" +
                           std::to_string(t.Program));
    for (const auto& n : song.Notes)
        out.notes.push_back(test::NoteText(n));
    static const char* const names[] = {"ctl", "pb", "kp", "cp", "sysex", "prog", "tempo", "meta"};
    for (std::size_t k = 0; k < DroppedKindCount; ++k)
        if (song.Dropped.Counts[k] != 0)
            out.dropped += std::string(out.dropped.empty() ? "" : " ") + names[k] + "=" +
                           std::to_string(song.Dropped.Counts[k]);
    return out;
}

Bytes Repeat(const Bytes& event, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i)
        out = Cat({out, event});
    return out;
}

struct ImportCase {
    const char* what;
    Bytes file;
    std::vector<std::string> rows;
    std::vector<std::string> notes;
    std::string dropped;
};

TEST(TolerantImport, Rules) {
    const std::uint8_t big[] = {0xFF, 0xFF, 0xFF, 0x7F}; // the longest delta time, 2^28 - 1
    const Bytes longWait = Repeat({big[0], big[1], big[2], big[3], 0xFF, 0x01, 0x00}, 7);
    const ImportCase cases[] = {
        {"format 0 with three channels and running status: a row per channel",
         Smf(0, 16, {{0,    0xC0, 5,    0,  0x90, 60,   64,   0,  62,   64,   0,  0x91, 48,
                      64,   5,    0x92, 36, 100,  0x10, 0x90, 60, 0,    0,    62, 0,    0,
                      0x81, 48,   0,    0,  0xB0, 7,    100,  0,  0xFF, 0x2F, 0}}),
         {"|0|5", "|1|0", "|2|0"},
         {"60@0+21 c0 t0", "62@0+21 c0 t0", "48@0+21 c1 t1", "36@5+16 c2 t2"},
         "ctl=1"},
        {"programs of a setup track; one in a later track at the same tick does not count",
         Smf(1, 16,
             {{0, 0xFF, 0x51, 3, 7, 0xA1, 0x20, 0, 0xC0, 16, 0, 0xC1, 32, 0x20, 0xC0, 17},
              {0,    0xFF, 0x03, 5, 'P',  'i',  'a', 'n', 'o',  0,    0x90, 60, 64,
               0x10, 0x80, 60,   0, 0x10, 0x90, 62,  64,  0x10, 0x80, 62,   0},
              {0, 0xC0, 40, 0, 0x91, 48, 64, 0x20, 0x81, 48, 0},
              {0, 0x92, 36, 64, 0x10, 0xC2, 7, 0x10, 0x82, 36, 0},
              {0, 0x93, 36, 64, 0x10, 0x83, 36, 0}}),
         {"Piano|0|16", "|1|32", "|2|7", "|3|0"},
         {"60@0+16 c0 t0", "62@32+16 c0 t0", "48@0+32 c1 t1", "36@0+32 c2 t2", "36@0+16 c3 t3"},
         "prog=2 tempo=1"},
        {"time-code division, 25 frames of 40 ticks: 1000 ticks a second",
         Smf(0, 0xE728, {{0,    0x90, 60, 64, 14, 0x90, 62, 64, 1, 0x90, 64, 64, 0x87,
                          0x59, 0x80, 60, 0,  0,  0x80, 62, 0,  0, 0x80, 64, 0}}),
         {"|0|0"},
         {"60@0+33 c0 t0", "62@0+33 c0 t0", "64@1+32 c0 t0"},
         ""},
        {"division 3 rounds to the nearest position",
         Smf(0, 3, {{1, 0x90, 60, 64, 1, 0x80, 60, 0, 1, 0x90, 60, 64, 1, 0x80, 60, 0}}),
         {"|0|0"},
         {"60@5+6 c0 t0", "60@16+5 c0 t0"},
         ""},
        {"overlapping notes of one number: the oldest ends first",
         Smf(0, 16, {{0, 0x90, 60, 64, 8, 0x90, 60, 64, 8, 0x80, 60, 0, 8, 0x90, 60, 0}}),
         {"|0|0"},
         {"60@0+16 c0 t0", "60@8+16 c0 t0"},
         ""},
        {"unclosed notes end at the track's last event, at least 1 long",
         Smf(1, 16,
             {{0, 0x90, 60, 64, 0x10, 0x90, 62, 64, 0x20, 0xB0, 7, 100, 0x10, 0xFF, 0x2F, 0},
              {0x10, 0x90, 60, 64}}),
         {"|0|0", "|0|0"},
         {"60@0+64 c0 t0", "62@16+48 c0 t0", "60@16+1 c0 t1"},
         "ctl=1"},
        {"stray note-offs are ignored",
         Smf(0, 16,
             {{0, 0x80, 60, 0, 0, 0x90, 60, 0, 0, 0x90, 62, 64, 8, 0x80, 60, 0, 8, 0x80, 62, 0}}),
         {"|0|0"},
         {"62@0+16 c0 t0"},
         ""},
        {"a note ends only in its own track and channel",
         Smf(1, 16, {{0, 0x90, 60, 64, 0x10, 0x81, 60, 0, 0x20, 0xFF, 0x2F, 0}, {8, 0x80, 60, 0}}),
         {"|0|0"},
         {"60@0+48 c0 t0"},
         ""},
        {"names: the first track name, UTF-8 or else Latin-1",
         Smf(1, 16,
             {{0, 0xFF, 0x03, 5, 'C', 'a', 'f', 0xC3, 0xA9, 0, 0xFF, 0x03, 1, 'X', 0, 0x90, 60, 64},
              {0, 0xFF, 0x03, 4, 'C', 'a', 'f', 0xE9, 0, 0x91, 60, 64}}),
         {"Caf\xC3\xA9|0|0", "Caf\xC3\xA9|1|0"},
         {"60@0+1 c0 t0", "60@0+1 c1 t1"},
         "meta=1"},
        {"no note at all: an empty song",
         Smf(0, 16, {{0, 0xC0, 5, 0, 0xB0, 7, 100}}),
         {},
         {},
         "ctl=1 prog=1"},
        {"every kind of event that is not kept is counted",
         Smf(0, 16, {{0,    0xB0, 1,    2,    0,    0xB0, 1,    3,    0, 0xE0, 0,    0x40, 0,
                      0xA0, 60,   1,    0,    0xD0, 5,    0,    0xF0, 1, 0xF7, 0,    0xF7, 1,
                      0xF7, 0,    0xFF, 0x51, 3,    7,    0xA1, 0x20, 0, 0xFF, 0x58, 4,    4,
                      2,    24,   8,    0,    0xFF, 0x01, 1,    'a',  0, 0xC0, 1,    0,    0xC0,
                      2,    0,    0x90, 60,   64,   0,    0xFF, 0x2F, 0}}),
         {"|0|2"},
         {"60@0+1 c0 t0"},
         "ctl=2 pb=1 kp=1 cp=1 sysex=2 prog=1 tempo=1 meta=2"},
        {"notes are kept within 2^31 - 1: shortened, or moved back",
         Smf(0, 16,
             {Cat({longWait, Vlq(268435453), {0x90, 60, 64, 15, 0x90, 62, 64, 95, 0x80, 60, 0}})}),
         {"|0|0"},
         {"60@2147483638+9 c0 t0", "62@2147483646+1 c0 t0"},
         "meta=7"},
    };
    for (const ImportCase& c : cases) {
        const Imported got = Import(c.file);
        EXPECT_EQ(got.rows, c.rows) << c.what;
        EXPECT_EQ(got.notes, c.notes) << c.what;
        EXPECT_EQ(got.dropped, c.dropped) << c.what;
    }
}

// Notes at the far end of the song, saved and opened again, come back as they were.
TEST(TolerantImport, NotesNearTheLastPositionSaveAndOpenTheSame) {
    const Bytes longWait = Repeat({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}, 7);
    const TolerantImport song = ImportSmf(ReadSmf(
        Smf(0, 16,
            {Cat({longWait, Vlq(268435453), {0x90, 60, 64, 15, 0x90, 62, 64, 95, 0x80, 60, 0}})})));
    ByteStream saved;
    Song exported;
    exported.Tracks = song.Tracks;
    exported.Notes = song.Notes;
    ExportSong(exported).SaveToStream(saved);
    saved.Seek(0);
    TMidi midi;
    midi.LoadFromStream(saved);
    Song again;
    ImportSong(midi, again, nullptr);
    const NoteList& reopened = again.Notes;
    ASSERT_EQ(reopened.size(), song.Notes.size());
    for (std::size_t i = 0; i < reopened.size(); ++i) {
        EXPECT_EQ(reopened[i].Pos, song.Notes[i].Pos) << i;
        EXPECT_EQ(reopened[i].Len, song.Notes[i].Len) << i;
        EXPECT_EQ(reopened[i].NoteNum, song.Notes[i].NoteNum) << i;
    }
}

TEST(TolerantImport, Positions) {
    struct Case {
        std::uint64_t tick;
        std::uint16_t division;
        std::int32_t pos;
    };
    const Case cases[] = {
        {0, 16, 0},
        {1, 3, 5},
        {3, 3, 16},
        {48, 96, 8},
        {47, 96, 8}, // 7.83 rounds up
        {14, 0xE728, 0},
        {15, 0xE728, 1},
        {24, 0xE801, 33}, // 24 frames of 1 tick: one second
        {0x7FFFFFFF, 16, MaxPos},
        {std::uint64_t{1} << 40, 1, MaxPos},
        {~std::uint64_t{0}, 0xFF01, MaxPos},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImportPosition(c.tick, c.division), c.pos) << c.tick << " / " << c.division;
}

TEST(ImportTexts, GroupedNumbers) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1 000"}, {1204, "1 204"}, {1000000, "1 000 000"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(GroupedNumber(value), text);
}

TEST(ImportTexts, Summary) {
    DroppedCounts dropped;
    dropped[DroppedKind::Controllers] = 1204;
    dropped[DroppedKind::PitchBends] = 56;
    dropped[DroppedKind::TempoChanges] = 3;
    dropped[DroppedKind::SysEx] = 1;
    EXPECT_EQ(ImportSummaryText(12, 15230, dropped), "Importé : 12 tracks, 15 230 notes.\n"
                                                     "Non conservés :\n"
                                                     "1 204 contrôleurs\n"
                                                     "56 pitch bends\n"
                                                     "1 message système exclusif\n"
                                                     "3 changements de tempo");
    EXPECT_EQ(ImportSummaryText(1, 1, DroppedCounts{}), "Importé : 1 track, 1 note.");
}

TEST(ImportTexts, Refusal) {
    EXPECT_EQ(ImportRefusalText(SmfRefusal::DataByteWithoutStatus, 27),
              "Le fichier n'a pas pu être importé.\n"
              "Un octet de données se trouve là où un octet de statut est attendu (position 27 "
              "dans le fichier).");
    EXPECT_EQ(ImportRefusalText(SmfRefusal::ZeroDivision, 12),
              "Le fichier n'a pas pu être importé.\n"
              "La division du temps vaut 0 (position 12 dans le fichier).");
}

} // namespace
} // namespace kadrel::test
