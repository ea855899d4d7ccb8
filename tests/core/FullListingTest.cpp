#include "core/SmfBytes.h"
#include "disasm/Disassembler.h"
#include "disasm/ListingHex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kadrel::test {
namespace {

using Lines = std::vector<std::string>;

std::string Join(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string FullListing(const Bytes& file) {
    return DisassembleToString(file, "t.mid", ListingWalkKind::Full);
}

TEST(FullListing, EveryEventOfEveryChunk) {
    const Bytes file = Cat(
        {Smf(1, 96, {{0,    0x90, 0x3C, 0x40, 0,    0x3E, 0x40, 0,    0xB0, 0x07, 0x64, 0,    0xE0,
                      0x00, 0x40, 0,    0xA0, 0x3C, 0x10, 0,    0xD0, 0x30, 0,    0xF0, 0x03, 0x7E,
                      0x7F, 0xF7, 0,    0xFF, 0x01, 0x02, 'H',  'i',  0,    0xFF, 0x2F, 0x00}}),
         Chunk("XFIH", {1, 2, 3})});
    EXPECT_EQ(
        FullListing(file),
        Join({"Disassembling of t.mid",
              "By Kadrel",
              "",
              "File Header",
              "===========",
              "4D 54 68 64       \"MThd\"",
              "00 00 00 06       Size of header: 6",
              "00 01             File Format: synchronous multiple tracks",
              "00 01             Number of tracks: 1",
              "00 60             Number of delta-time ticks per quarter note: 96",
              "",
              "Track 1",
              "=======",
              "4D 54 72 6B       \"MTrk\"",
              "00 00 00 26       Size of track: 38",
              "",
              "00                Event Delta-Time: 0",
              "90                Note ON on channel 0",
              "3C 40             Note: 60; Velocity: 64",
              "",
              "00                Event Delta-Time: 0",
              "3E 40             Running status, Note ON on channel 0: Note: 62; Velocity: 64",
              "",
              "00                Event Delta-Time: 0",
              "B0                Controller change on channel 0",
              "07 64             Controller: 7; New value: 100",
              "",
              "00                Event Delta-Time: 0",
              "E0                Pitch bend on channel 0",
              "00 40             Value: 8192",
              "",
              "00                Event Delta-Time: 0",
              "A0                Key pressure on channel 0",
              "3C 10             Note: 60; Pressure: 16",
              "",
              "00                Event Delta-Time: 0",
              "D0                Channel pressure on channel 0",
              "30                Pressure: 48",
              "",
              "00                Event Delta-Time: 0",
              "F0 03             System exclusive (size: 3)",
              "7E 7F F7          Data",
              "",
              "00                Event Delta-Time: 0",
              "FF 01 02          Text (size: 2)",
              "48 69             \"Hi\"",
              "",
              "00                Event Delta-Time: 0",
              "FF 2F 00          End of track",
              "",
              "* Logical End *",
              "Chunk of another type",
              "58 46 49 48       \"XFIH\" (chunk skipped)",
              "00 00 00 03       Size of chunk: 3",
              "",
              "01 02 03          Skipped",
              "",
              "* End Of File *"}));
}

// Where the checked walk would stop, or the file is no plain MIDI file: the lines that follow
// one another there. Track events start at offset 22.
TEST(FullListing, GoesOnWhereTheCheckedWalkStops) {
    struct Case {
        const char* what;
        Bytes file;
        Lines lines;
    };
    const Bytes smf = Smf(0, 96, {{0, 0xC0, 5}});
    const Case cases[] = {
        {"data byte without running status",
         Smf(0, 96, {{0, 0x3C, 0x40}}),
         {"00                Event Delta-Time: 0", "Data byte without running status at offset #23",
          "3C 40             Not read"}},
        {"system status byte",
         Smf(0, 96, {{0, 0xF2, 1, 2}}),
         {"System status byte in a track at offset #23", "F2 01 02          Not read"}},
        {"delta time of five bytes",
         Smf(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01, 0xC0, 0}}),
         {"Delta-Time longer than four bytes at offset #26", "81 81 81 81 01 C0 Not read",
          "00                Not read", "", "No end of track in this chunk"}},
        {"a status byte interrupts a message",
         Smf(0, 96, {{5, 0x90, 0x3C, 0x90, 0x3E, 0x40}}),
         {"05                Event Delta-Time: 5", "90                Note ON on channel 0",
          "3C                Incomplete data, event dropped",
          "Status byte instead of a data byte at offset #25", "",
          "90                Note ON on channel 0", "3E 40             Note: 62; Velocity: 64"}},
        {"event cut short by the end of its chunk",
         Smf(0, 96, {{0, 0x90, 0x3C}}),
         {"90                Note ON on channel 0",
          "3C                Event cut short by the end of the track"}},
        {"meta event of an unknown type",
         Smf(0, 96, {{0, 0xFF, 0x60, 1, 7}}),
         {"FF 60 01          Unknown meta-event of type 96 (size: 1)", "07                Data"}},
        {"tempo of another size",
         Smf(0, 96, {{0, 0xFF, 0x51, 2, 7, 0xA1}}),
         {"FF 51 02          Tempo setting (size: 2)", "07 A1             Data"}},
        {"long meta length",
         Smf(0, 96, {{0, 0xFF, 0x01, 0x81, 0x00, 'a'}}),
         {"FF 01 81 00       Text (size: 128)",
          "61                Event cut short by the end of the track"}},
        {"control characters of a name",
         Smf(0, 96, {{0, 0xFF, 0x03, 3, 'a', '\r', '\n'}}),
         {"FF 03 03          Track name (size: 3)", "61 0D 0A          \"a..\""}},
        {"bytes after the end of track",
         Smf(0, 96, {{0, 0xFF, 0x2F, 0, 1, 2}}),
         {"FF 2F 00          End of track", "",
          "01 02             After the end of track, not read"}},
        {"time-code division",
         Smf(0, 0xE728, {}),
         {"E7 28             Time code: 25 frames per second, 40 ticks per frame"}},
        {"format 5", Header(5, 0, 96), {"00 05             File Format: unknown (5)"}},
        {"header of 8 bytes",
         Chunk("MThd", {0, 1, 0, 0, 0, 0x60, 0xAA, 0xBB}),
         {"00 00 00 08       Size of header: 8",
          "00 01             File Format: synchronous multiple tracks",
          "00 00             Number of tracks: 0",
          "00 60             Number of delta-time ticks per quarter note: 96",
          "AA BB             Extra header bytes"}},
        {"a track past the end of the file",
         Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0xC0, 1}, 9)}),
         {"00 00 00 09       Size of track: 9", "The chunk is cut short by the end of the file"}},
        {"tracks beyond the declared number",
         Cat({Header(0, 1, 96), Chunk("MTrk", EndOfTrack), Chunk("MTrk", EndOfTrack)}),
         {"* Logical End *", "Track 2", "=======", "4D 54 72 6B       \"MTrk\""}},
        {"not a MIDI file",
         Bytes{'h', 'e', 'l', 'l', 'o'},
         {"No MThd header: the bytes are listed as chunks",
          "68 65 6C 6C 6F    Too few bytes for a chunk", "* End Of File *"}},
        {"RIFF RMID wrapper",
         Cat({Tag("RIFF"),
              LittleEndian(static_cast<std::uint32_t>(24 + smf.size())),
              Tag("RMID"),
              Tag("LIST"),
              LittleEndian(3),
              {1, 2, 3, 0},
              Tag("data"),
              LittleEndian(static_cast<std::uint32_t>(smf.size())),
              smf}),
         {"52 49 46 46       \"RIFF\"", "31 00 00 00       Size of RIFF chunk: 49",
          "52 4D 49 44       \"RMID\"", "", "4C 49 53 54       \"LIST\" (chunk skipped)",
          "03 00 00 00       Size of chunk: 3", "", "01 02 03          Skipped",
          "00                Padding byte", "", "64 61 74 61       \"data\"",
          "19 00 00 00       Size of chunk: 25", "", "File Header"}},
    };
    for (const Case& c : cases) {
        const std::string listing = FullListing(c.file);
        EXPECT_NE(listing.find("\r\n" + Join(c.lines)), std::string::npos) << c.what << "\n"
                                                                           << listing;
        EXPECT_EQ(HexColumnBytes(listing), c.file) << c.what;
    }
}

} // namespace
} // namespace kadrel::test
