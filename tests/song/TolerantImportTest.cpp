#include "song/TolerantImport.h"
#include "core/SmfBytes.h"
#include "midi/ByteStream.h"
#include "song/ImportTexts.h"
#include "song/NoteText.h"
#include "song/SongConversion.h"
#include "song/SongSave.h"

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
    std::vector<std::string> rows;  // "name|channel|program" and the program change's place
    std::vector<std::string> notes; // "number@pos+len cChannel tRow", velocity, end, orders
    std::string kept;               // each file track's kept events, "tick:status data", its end
};

std::string Hex2(unsigned b) {
    const char* digits = "0123456789ABCDEF";
    return {digits[b >> 4 & 15], digits[b & 15]};
}

std::string Order(std::uint32_t order) {
    return order == NoOrder ? "-" : std::to_string(order);
}

Imported Import(const Bytes& file) {
    const Song song = ImportSmf(ReadSmf(file)).Content;
    Imported out;
    for (const auto& t : song.Tracks)
        out.rows.push_back(t.Name + "|" + std::to_string(t.Channel) + "|" +
                           std::to_string(t.Program) + " f" + std::to_string(t.FileTrack) +
                           (t.ProgramOrder == NoOrder ? ""
                                                      : " pc" + std::to_string(t.ProgramTrack) +
                                                            "#" + std::to_string(t.ProgramOrder)));
    static const char* const ends[] = {"off", "on", "never"};
    for (const auto& n : song.Notes)
        out.notes.push_back(test::NoteText(n) + " v" + std::to_string(n.Velocity) + " " +
                            ends[static_cast<int>(n.End)] +
                            (n.End == NoteEnd::NoteOff ? std::to_string(n.EndVelocity) : "") +
                            " #" + Order(n.StartOrder) + "/" + Order(n.EndOrder) +
                            ((n.Flags & TMidiNote::StartRunningStatus) ? " rs" : "") +
                            ((n.Flags & TMidiNote::EndRunningStatus) ? " re" : ""));
    for (const FileTrack& t : song.FileTracks) {
        out.kept += "|";
        for (const KeptEvent& e : t.Events)
            out.kept += " " + std::to_string(e.Tick) + ":" +
                        ((e.Flags & KeptEvent::RunningStatus) ? "r" : "") + Hex2(e.Status) +
                        Hex2(e.Data1) + (e.Status < 0xF0 ? Hex2(e.Data2) : "") +
                        (e.PayloadLength ? "+" + std::to_string(e.PayloadLength) : "");
        out.kept += " end " + std::to_string(t.EndTick) + " ";
    }
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
    std::string kept;
};

TEST(TolerantImport, Rules) {
    const std::uint8_t big[] = {0xFF, 0xFF, 0xFF, 0x7F}; // the longest delta time, 2^28 - 1
    const Bytes longWait = Repeat({big[0], big[1], big[2], big[3], 0xFF, 0x01, 0x00}, 7);
    const ImportCase cases[] = {
        {"format 0 with three channels and running status: a row per channel, statuses as written",
         Smf(0, 16, {{0,    0xC0, 5,    0,  0x90, 60,   64,   0,  62,   64,   0,  0x91, 48,
                      64,   5,    0x92, 36, 100,  0x10, 0x90, 60, 0,    0,    62, 0,    0,
                      0x81, 48,   0,    0,  0xB0, 7,    100,  0,  0xFF, 0x2F, 0}}),
         {"|0|5 f0 pc0#0", "|1|0 f0", "|2|0 f0"},
         {"60@0+21 c0 t0 v64 on #1/5", "62@0+21 c0 t0 v64 on #2/6 rs re",
          "48@0+21 c1 t1 v64 off0 #3/7", "36@5+16 c2 t2 v100 never #4/-"},
         "| 0:C00500 21:B00764 end 21 "},
        {"programs of a setup track; one in a later track at the same tick does not count",
         Smf(1, 16,
             {{0, 0xFF, 0x51, 3, 7, 0xA1, 0x20, 0, 0xC0, 16, 0, 0xC1, 32, 0x20, 0xC0, 17},
              {0,    0xFF, 0x03, 5, 'P',  'i',  'a', 'n', 'o',  0,    0x90, 60, 64,
               0x10, 0x80, 60,   0, 0x10, 0x90, 62,  64,  0x10, 0x80, 62,   0},
              {0, 0xC0, 40, 0, 0x91, 48, 64, 0x20, 0x81, 48, 0},
              {0, 0x92, 36, 64, 0x10, 0xC2, 7, 0x10, 0x82, 36, 0},
              {0, 0x93, 36, 64, 0x10, 0x83, 36, 0}}),
         {"Piano|0|16 f1 pc0#1", "|1|32 f2 pc0#2", "|2|7 f3 pc3#1", "|3|0 f4"},
         {"60@0+16 c0 t0 v64 off0 #1/2", "62@32+16 c0 t0 v64 off0 #3/4",
          "48@0+32 c1 t1 v64 off0 #1/2", "36@0+32 c2 t2 v64 off0 #0/2",
          "36@0+16 c3 t3 v64 off0 #0/1"},
         "| 0:FF51+3 0:C01000 0:C12000 32:C01100 end 32 | 0:FF03+5 end 48 | 0:C02800 end 32 | "
         "16:C20700 end 32 | end 16 "},
        {"time-code division, 25 frames of 40 ticks: 1000 ticks a second",
         Smf(0, 0xE728, {{0,    0x90, 60, 64, 14, 0x90, 62, 64, 1, 0x90, 64, 64, 0x87,
                          0x59, 0x80, 60, 0,  0,  0x80, 62, 0,  0, 0x80, 64, 0}}),
         {"|0|0 f0"},
         {"60@0+1000 c0 t0 v64 off0 #0/3", "62@14+986 c0 t0 v64 off0 #1/4",
          "64@15+985 c0 t0 v64 off0 #2/5"},
         "| end 1000 "},
        {"division 3: the ticks as they are",
         Smf(0, 3, {{1, 0x90, 60, 64, 1, 0x80, 60, 0, 1, 0x90, 60, 64, 1, 0x80, 60, 0}}),
         {"|0|0 f0"},
         {"60@1+1 c0 t0 v64 off0 #0/1", "60@3+1 c0 t0 v64 off0 #2/3"},
         "| end 4 "},
        {"overlapping notes of one number: the oldest ends first",
         Smf(0, 16, {{0, 0x90, 60, 64, 8, 0x90, 60, 64, 8, 0x80, 60, 0, 8, 0x90, 60, 0}}),
         {"|0|0 f0"},
         {"60@0+16 c0 t0 v64 off0 #0/2", "60@8+16 c0 t0 v64 on #1/3"},
         "| end 24 "},
        {"unclosed notes never end and last to the end of their track",
         Smf(1, 16,
             {{0, 0x90, 60, 64, 0x10, 0x90, 62, 64, 0x20, 0xB0, 7, 100, 0x10, 0xFF, 0x2F, 0},
              {0x10, 0x90, 60, 64}}),
         {"|0|0 f0", "|0|0 f1"},
         {"60@0+64 c0 t0 v64 never #0/-", "62@16+48 c0 t0 v64 never #1/-",
          "60@16+0 c0 t1 v64 never #0/-"},
         "| 48:B00764 end 64 | end 16 "},
        {"stray note-offs are kept as events",
         Smf(0, 16,
             {{0, 0x80, 60, 0, 0, 0x90, 60, 0, 0, 0x90, 62, 64, 8, 0x80, 60, 0, 8, 0x80, 62, 0}}),
         {"|0|0 f0"},
         {"62@0+16 c0 t0 v64 off0 #2/4"},
         "| 0:803C00 0:903C00 8:803C00 end 16 "},
        {"a note ends only in its own track and channel",
         Smf(1, 16, {{0, 0x90, 60, 64, 0x10, 0x81, 60, 0, 0x20, 0xFF, 0x2F, 0}, {8, 0x80, 60, 0}}),
         {"|0|0 f0"},
         {"60@0+48 c0 t0 v64 never #0/-"},
         "| 16:813C00 end 48 | 8:803C00 end 8 "},
        {"names: the first track name, UTF-8 or else Latin-1",
         Smf(1, 16,
             {{0, 0xFF, 0x03, 5, 'C', 'a', 'f', 0xC3, 0xA9, 0, 0xFF, 0x03, 1, 'X', 0, 0x90, 60, 64},
              {0, 0xFF, 0x03, 4, 'C', 'a', 'f', 0xE9, 0, 0x91, 60, 64}}),
         {"Caf\xC3\xA9|0|0 f0", "Caf\xC3\xA9|1|0 f1"},
         {"60@0+0 c0 t0 v64 never #2/-", "60@0+0 c1 t1 v64 never #1/-"},
         "| 0:FF03+5 0:FF03+1 end 0 | 0:FF03+4 end 0 "},
        {"no note at all: an empty song",
         Smf(0, 16, {{0, 0xC0, 5, 0, 0xB0, 7, 100}}),
         {},
         {},
         "| 0:C00500 0:B00764 end 0 "},
        {"every kind of event is kept, in file order",
         Smf(0, 16, {{0,    0xB0, 1,    2,    0,    0xB0, 1,    3,    0, 0xE0, 0,    0x40, 0,
                      0xA0, 60,   1,    0,    0xD0, 5,    0,    0xF0, 1, 0xF7, 0,    0xF7, 1,
                      0xF7, 0,    0xFF, 0x51, 3,    7,    0xA1, 0x20, 0, 0xFF, 0x58, 4,    4,
                      2,    24,   8,    0,    0xFF, 0x01, 1,    'a',  0, 0xC0, 1,    0,    0xC0,
                      2,    0,    0x90, 60,   64,   0,    0xFF, 0x2F, 0}}),
         {"|0|2 f0 pc0#11"},
         {"60@0+0 c0 t0 v64 never #12/-"},
         "| 0:B00102 0:B00103 0:E00040 0:A03C01 0:D00500 0:F000+1 0:F700+1 0:FF51+3 0:FF58+4 "
         "0:FF01+1 0:C00100 0:C00200 end 0 "},
        {"notes that do not end by 2^31 - 1 stay events",
         Smf(0, 16,
             {Cat({longWait, Vlq(268435453), {0x90, 60, 64, 15, 0x90, 62, 64, 95, 0x80, 60, 0}})}),
         {"|0|0 f0"},
         {},
         "| 268435455:FF01 536870910:FF01 805306365:FF01 1073741820:FF01 1342177275:FF01 "
         "1610612730:FF01 1879048185:FF01 2147483638:903C40 2147483653:903E40 2147483748:803C00 "
         "end 2147483748 "},
    };
    for (const ImportCase& c : cases) {
        const Imported got = Import(c.file);
        EXPECT_EQ(got.rows, c.rows) << c.what;
        EXPECT_EQ(got.notes, c.notes) << c.what;
        EXPECT_EQ(got.kept, c.kept) << c.what;
    }
}

// Notes beyond the last position a note holds stay as the events they were, and are saved so.
TEST(TolerantImport, NotesNearTheLastPositionSaveAndOpenTheSame) {
    const Bytes longWait = Repeat({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}, 7);
    const Bytes file =
        Smf(0, 16,
            {Cat({longWait,
                  Vlq(268435453),
                  {0x90, 60, 64, 9, 0x90, 61, 64, 0, 0x80, 61, 0, 6, 0x90, 62, 64, 95, 0x80, 60, 0},
                  EndOfTrack})});
    const Song song = ImportSmf(ReadSmf(file)).Content;
    EXPECT_EQ(NoteTexts(song.Notes), (std::vector<std::string>{"61@2147483647+0 c0 t0"}));
    EXPECT_EQ(song.FileTracks.at(0).Events.size(), 10u);
    EXPECT_EQ(SongFileBytes(song), file);
    EXPECT_EQ(ImportSmf(ReadSmf(SongFileBytes(song))).Content, song);
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
    std::vector<SmfDrop> unread = {{SmfDropKind::CutShort, 3, 1234},
                                   {SmfDropKind::Interrupted, 0, 27}};
    EXPECT_EQ(
        ImportSummaryText(12, 15230, unread),
        "Importé : 12 tracks, 15 230 notes.\n"
        "Non lus :\n"
        "un événement coupé par la fin de son bloc (track 3, position 1234 dans le fichier)\n"
        "un message interrompu par un octet de statut (track 0, position 27 dans le fichier)");
    EXPECT_EQ(ImportSummaryText(1, 1, {}), "Importé : 1 track, 1 note.");
    unread.resize(1013, unread[1]);
    const std::string many = ImportSummaryText(0, 0, unread);
    EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 12) << many;
    EXPECT_TRUE(many.ends_with("\net 1 003 autres")) << many;
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
