#include "disasm/DisasmCommand.h"
#include "disasm/Disassembler.h"
#include "disasm/ListingHex.h"
#include "disasm/ListingWriter.h"
#include "midi/ByteStream.h"
#include "util/TextUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The lines, each ended by CR LF.
std::string Join(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Lines Heading = {"Disassembling of t.mid", "By Kadrel", ""};

std::string FullListingOf(const Bytes& bytes) {
    return kadrel::DisassembleToString(bytes, "t.mid", kadrel::ListingWalkKind::Full);
}

std::string ListingOf(const Bytes& bytes) {
    // Every file listed here checks the full walk too: its hex column is the file, byte for byte.
    EXPECT_EQ(kadrel::HexColumnBytes(FullListingOf(bytes)), bytes);
    return kadrel::DisassembleToString(bytes, "t.mid");
}

// A header chunk of format 0, the given number of tracks and 96 ticks per quarter note.
Bytes Header(std::uint8_t tracks) {
    return Text("MThd") + Bytes{0, 0, 0, 6, 0, 0, 0, tracks, 0x00, 0x60};
}

const Lines HeaderLines = {
    "File Header",
    "===========",
    "4D 54 68 64       \"MThd\"",
    "00 00 00 06       Size of header: 6",
    "00 00             File Format: single track",
    "00 01             Number of tracks: 1",
    "00 60             Number of delta-time ticks per quarter note: 96",
    "",
};

// A track chunk holding events, with their size in its header.
Bytes Track(const Bytes& events) {
    const auto n = static_cast<std::uint8_t>(events.size());
    return Text("MTrk") + Bytes{0, 0, 0, n} + events;
}

const Bytes EndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

const Lines EndLines = {"00                Event Delta-Time: 0", "FF 2F 00          End of track",
                        "", "* Logical End *", "* End Of File *"};

// The lines of track 1 up to its first event, for a chunk of size bytes of events.
Lines TrackHead(int size) {
    char sizeLine[64];
    std::snprintf(sizeLine, sizeof sizeLine, "00 00 00 %02X       Size of track: %d", size, size);
    return {"Track 1", "=======", "4D 54 72 6B       \"MTrk\"", sizeLine, ""};
}

TEST(Disassemble, ExampleSongIsListedExactly) {
    const Bytes song = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01,
                        0x00, 0x01, 0x00, 0x10, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00,
                        0x00, 0x0F, 0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x7F, 0x10,
                        0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    const std::string expected =
        "Disassembling of C:\\Songs\\one.mid\r\n"
        "By Kadrel\r\n"
        "\r\n"
        "File Header\r\n"
        "===========\r\n"
        "4D 54 68 64       \"MThd\"\r\n"
        "00 00 00 06       Size of header: 6\r\n"
        "00 01             File Format: synchronous multiple tracks\r\n"
        "00 01             Number of tracks: 1\r\n"
        "00 10             Number of delta-time ticks per quarter note: 16\r\n"
        "\r\n"
        "Track 1\r\n"
        "=======\r\n"
        "4D 54 72 6B       \"MTrk\"\r\n"
        "00 00 00 0F       Size of track: 15\r\n"
        "\r\n"
        "00                Event Delta-Time: 0\r\n"
        "C0                Program change on channel 0\r\n"
        "00                New program: 0\r\n"
        "\r\n"
        "00                Event Delta-Time: 0\r\n"
        "90                Note ON on channel 0\r\n"
        "3C 7F             Note: 60; Velocity: 127\r\n"
        "\r\n"
        "10                Event Delta-Time: 16\r\n"
        "80                Note OFF on channel 0\r\n"
        "3C 00             Note: 60; Velocity: 0\r\n"
        "\r\n"
        "00                Event Delta-Time: 0\r\n"
        "FF 2F 00          End of track\r\n"
        "\r\n"
        "* Logical End *\r\n"
        "* End Of File *\r\n";
    EXPECT_EQ(kadrel::DisassembleToString(song, "C:\\Songs\\one.mid"), expected);
    EXPECT_EQ(
        kadrel::DisassembleToString(song, "C:\\Songs\\one.mid", kadrel::ListingWalkKind::Full),
        expected);
}

struct FileCase {
    const char* name;
    Bytes bytes;
    Lines lines; // after the heading
};

// Files that end or go wrong in the header or around the track chunks.
TEST(Disassemble, FileStructure) {
    const Lines tag = {"File Header", "===========", "4D 54 68 64       \"MThd\""};
    const Lines upToCount =
        tag + Lines{"00 00 00 06       Size of header: 6",
                    "00 01             File Format: synchronous multiple tracks"};
    const Bytes format1 = Text("MThd") + Bytes{0, 0, 0, 6, 0, 1};
    const FileCase cases[] = {
        {"empty file", {}, {"Unexpected end of file at offset #0"}},
        {"shorter than a tag", Text("MTh"), {"Unexpected byte at offset #3"}},
        {"wrong tag", Text("RIFF") + Bytes{0, 0, 0, 6}, {"Unexpected byte at offset #4"}},
        {"header length 7", Text("MThd") + Bytes{0, 0, 0, 7},
         tag + Lines{"Unexpected byte at offset #8"}},
        {"header length byte 2 wrong", Text("MThd") + Bytes{0, 1, 0, 6},
         tag + Lines{"Unexpected byte at offset #6"}},
        {"end inside header length", Text("MThd") + Bytes{0, 0},
         tag + Lines{"Unexpected end of file at offset #6"}},
        {"format 00 03", Text("MThd") + Bytes{0, 0, 0, 6, 0, 3, 0, 1, 0, 16},
         tag + Lines{"00 00 00 06       Size of header: 6", "Unexpected byte at offset #10"}},
        {"format 01 00", Text("MThd") + Bytes{0, 0, 0, 6, 1, 0},
         tag + Lines{"00 00 00 06       Size of header: 6", "Unexpected byte at offset #9"}},
        {"format 2", Text("MThd") + Bytes{0, 0, 0, 6, 0, 2},
         tag + Lines{"00 00 00 06       Size of header: 6",
                     "00 02             File Format: asynchronous multiple tracks",
                     "Unexpected end of file at offset #10"}},
        // the missing byte of a cut field counts as 0 and is not shown
        {"track count cut short", format1 + Bytes{0x01},
         upToCount + Lines{"01                Number of tracks: 256",
                           "Unexpected end of file at offset #11"}},
        {"division cut short", format1 + Bytes{0, 1, 0x01},
         upToCount + Lines{"00 01             Number of tracks: 1",
                           "01                Number of delta-time ticks per quarter note: 256", "",
                           "Unexpected end of file at offset #13"}},
        {"division with top bit set is a plain number", format1 + Bytes{0, 0, 0xE7, 0x28},
         upToCount + Lines{"00 00             Number of tracks: 0",
                           "E7 28             Number of delta-time ticks per quarter note: 59176",
                           "", "Unexpected end of file at offset #14"}},
        {"zero tracks and nothing else", format1 + Bytes{0, 0, 0, 16},
         upToCount + Lines{"00 00             Number of tracks: 0",
                           "00 10             Number of delta-time ticks per quarter note: 16", "",
                           "Unexpected end of file at offset #14"}},
        {"zero tracks with a chunk", format1 + Bytes{0, 0, 0, 16} + Track(EndOfTrack),
         upToCount + Lines{"00 00             Number of tracks: 0",
                           "00 10             Number of delta-time ticks per quarter note: 16", "",
                           "Unexpected byte at offset #18"}},
        {"wrong track tag", Header(1) + Text("MTrx") + EndOfTrack,
         HeaderLines + Lines{"Unexpected byte at offset #18"}},
        {"end right after the track tag", Header(1) + Text("MTrk"),
         HeaderLines + Lines{"Track 1", "=======", "4D 54 72 6B       \"MTrk\"",
                             "                  Size of track: 0", "",
                             "Unexpected end of file at offset #18"}},
        {"track size cut short", Header(1) + Text("MTrk") + Bytes{0, 1},
         HeaderLines + Lines{"Track 1", "=======", "4D 54 72 6B       \"MTrk\"",
                             "00 01             Size of track: 65536", "",
                             "Unexpected end of file at offset #20"}},
        {"size of track is only shown",
         Header(1) + Text("MTrk") + Bytes{0xFF, 0xFF, 0xFF, 0xFF} + EndOfTrack,
         HeaderLines +
             Lines{"Track 1", "=======", "4D 54 72 6B       \"MTrk\"",
                   "FF FF FF FF       Size of track: 4294967295", ""} +
             EndLines},
        {"trailing byte after the logical end", Header(1) + Track(EndOfTrack) + Bytes{0x00},
         HeaderLines + TrackHead(4) +
             Lines{"00                Event Delta-Time: 0", "FF 2F 00          End of track", "",
                   "* Logical End *", "Unexpected byte after logical end at offset #26"}},
        {"missing track", Header(2) + Track(EndOfTrack),
         Lines(HeaderLines.begin(), HeaderLines.begin() + 5) +
             Lines{"00 02             Number of tracks: 2",
                   "00 60             Number of delta-time ticks per quarter note: 96", ""} +
             TrackHead(4) +
             Lines{"00                Event Delta-Time: 0", "FF 2F 00          End of track", "",
                   "Unexpected end of file at offset #26"}},
    };
    for (const FileCase& c : cases)
        EXPECT_EQ(ListingOf(c.bytes), Join(Heading + c.lines)) << c.name;
}

struct EventCase {
    const char* name;
    Bytes events; // the whole track's events
    Lines lines;  // from the first event on
};

// One track of events: complete ones followed by the end of the track and of the file, and
// ones that stop the walk. Track events start at offset 22.
TEST(Disassemble, Events) {
    const EventCase cases[] = {
        {"note on and off",
         {0x00, 0x93, 0x3C, 0x00, 0x00, 0x8F, 0x3C, 0x40},
         {"00                Event Delta-Time: 0", "93                Note ON on channel 3",
          "3C 00             Note: 60; Velocity: 0", "", "00                Event Delta-Time: 0",
          "8F                Note OFF on channel 15", "3C 40             Note: 60; Velocity: 64",
          ""}},
        {"controller change",
         {0x7F, 0xB2, 0x07, 0x64},
         {"7F                Event Delta-Time: 127",
          "B2                Controller change on channel 2",
          "07 64             Controller: 7; New value: 100", ""}},
        {"program change to 5",
         {0x00, 0xC3, 0x05},
         {"00                Event Delta-Time: 0", "C3                Program change on channel 3",
          "05                New program: 5", ""}},
        {"delta time 81 00",
         {0x81, 0x00, 0xC0, 0x00},
         {"81 00             Event Delta-Time: 128",
          "C0                Program change on channel 0", "00                New program: 0", ""}},
        {"four-byte delta time",
         {0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x00},
         {"FF FF FF 7F       Event Delta-Time: 268435455",
          "C0                Program change on channel 0", "00                New program: 0", ""}},
        // six bytes make 17 characters and get one blank; seven are not padded at all
        {"long delta times",
         {0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0xC0, 0x00, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01,
          0xC0, 0x00},
         {"80 80 80 80 80 00 Event Delta-Time: 0", "C0                Program change on channel 0",
          "00                New program: 0", "", "80 80 80 80 80 80 01Event Delta-Time: 1",
          "C0                Program change on channel 0", "00                New program: 0", ""}},
        {"track name of 13 bytes",
         Bytes{0x00, 0xFF, 0x03, 0x0D} + Text("Hello, World!"),
         {"00                Event Delta-Time: 0", "FF 03 0D          Track name (size: 13)",
          "48 65 6C 6C 6F 2C \"Hello,\"", "20 57 6F 72 6C 64 \" World\"", "21                \"!\"",
          ""}},
        {"empty track name",
         {0x00, 0xFF, 0x03, 0x00},
         {"00                Event Delta-Time: 0", "FF 03 00          Track name (size: 0)", ""}},
        {"time signature 06 03 18 08",
         {0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0x18, 0x08},
         {"00                Event Delta-Time: 0", "FF 58 04          Time Signature event",
          "06 03             Signature: 6 / 8",
          "18                Number of ticks in metronome click: 24",
          "08                Number of 32nd notes to the quarter note: 8", ""}},
        {"time signature exponent 62",
         {0x00, 0xFF, 0x58, 0x04, 0x04, 0x3E, 0x18, 0x08},
         {"00                Event Delta-Time: 0", "FF 58 04          Time Signature event",
          "04 3E             Signature: 4 / 4611686018427387904",
          "18                Number of ticks in metronome click: 24",
          "08                Number of 32nd notes to the quarter note: 8", ""}},
        {"tempo 07 A1 20",
         {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
         {"00                Event Delta-Time: 0", "FF 51 03          Tempo setting",
          "07 A1 20          Tempo: 500000", ""}},
        {"key signature F9 01",
         {0x00, 0xFF, 0x59, 0x02, 0xF9, 0x01},
         {"00                Event Delta-Time: 0", "FF 59 02          Key Signature",
          "F9                7 flats", "01                Minor", ""}},
        {"key signature FE 00",
         {0x00, 0xFF, 0x59, 0x02, 0xFE, 0x00},
         {"00                Event Delta-Time: 0", "FF 59 02          Key Signature",
          "FE                unknown", "00                Major", ""}},
        {"key signature 07 02 and 00 00",
         {0x00, 0xFF, 0x59, 0x02, 0x07, 0x02, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00},
         {"00                Event Delta-Time: 0", "FF 59 02          Key Signature",
          "07                7 sharps", "02                unknown", "",
          "00                Event Delta-Time: 0", "FF 59 02          Key Signature",
          "00                Key of C", "00                Major", ""}},
        {"unknown system event takes eleven bytes",
         {0x00, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
         {"00                Event Delta-Time: 0",
          "FE                Unknown event, guessed size, channel (if used) is 14",
          "01 02 03 04 05 06 unknown", "07 08 09 0A 0B    unknown", ""}},
    };
    for (const EventCase& c : cases) {
        const Bytes events = c.events + EndOfTrack;
        const std::string listing = ListingOf(Header(1) + Track(events));
        EXPECT_EQ(listing, Join(Heading + HeaderLines + TrackHead(static_cast<int>(events.size())) +
                                c.lines + EndLines))
            << c.name;
        // What the checked walk lists to the end, the full walk lists the same way; it reads
        // delta times of five bytes or more and unknown status bytes otherwise.
        const std::string name = c.name;
        if (name != "long delta times" && name != "unknown system event takes eleven bytes") {
            EXPECT_EQ(FullListingOf(Header(1) + Track(events)), listing) << c.name;
        }
    }
}

// Events that end the walk, in a file that may end right after them (no end of track).
TEST(Disassemble, EventsThatStopTheWalk) {
    const Lines noteOn = {"00                Event Delta-Time: 0",
                          "90                Note ON on channel 0",
                          "3C 7F             Note: 60; Velocity: 127", ""};
    const Lines tempoHead = {"00                Event Delta-Time: 0",
                             "FF 51 03          Tempo setting"};
    const Lines nameHead = {"00                Event Delta-Time: 0",
                            "FF 03 0D          Track name (size: 13)"};
    const EventCase cases[] = {
        {"nine delta-time bytes",
         {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0xC0, 0x00},
         {"Delta-Time is too long at offset #31"}},
        {"eight delta-time bytes then the end",
         {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
         {"Unexpected end of file at offset #30"}},
        {"running status",
         {0x00, 0x90, 0x3C, 0x7F, 0x10, 0x3C, 0x00},
         noteOn + Lines{"10                Event Delta-Time: 16", "Unknown event at offset #28"}},
        {"key pressure",
         {0x00, 0xA0, 0x3C, 0x40},
         {"00                Event Delta-Time: 0", "Unknown event at offset #24"}},
        {"channel pressure",
         {0x00, 0xD5, 0x40},
         {"00                Event Delta-Time: 0", "Unknown event at offset #24"}},
        {"pitch bend",
         {0x00, 0xEF, 0x00, 0x40},
         {"00                Event Delta-Time: 0", "Unknown event at offset #24"}},
        {"text meta event",
         {0x00, 0xFF, 0x01, 0x01, 0x41},
         {"00                Event Delta-Time: 0", "Unknown meta-event at offset #25"}},
        {"lyric meta event",
         {0x00, 0xFF, 0x05, 0x00},
         {"00                Event Delta-Time: 0", "Unknown meta-event at offset #25"}},
        {"marker meta event",
         {0x00, 0xFF, 0x06, 0x00},
         {"00                Event Delta-Time: 0", "Unknown meta-event at offset #25"}},
        {"sequencer meta event",
         {0x00, 0xFF, 0x7F, 0x00},
         {"00                Event Delta-Time: 0", "Unknown meta-event at offset #25"}},
        {"end of track of length 1",
         {0x00, 0xFF, 0x2F, 0x01, 0x00},
         {"00                Event Delta-Time: 0", "Unexpected parameter size at offset #26"}},
        {"tempo of length 4",
         {0x00, 0xFF, 0x51, 0x04},
         {"00                Event Delta-Time: 0", "Unexpected parameter size at offset #26"}},
        {"time signature of length 3",
         {0x00, 0xFF, 0x58, 0x03},
         {"00                Event Delta-Time: 0", "Unexpected parameter size at offset #26"}},
        {"key signature of length 1",
         {0x00, 0xFF, 0x59, 0x01},
         {"00                Event Delta-Time: 0", "Unexpected parameter size at offset #26"}},
        // a denominator beyond 2^62 is shown exactly and ends the walk
        {"time signature exponent 63",
         {0x00, 0xFF, 0x58, 0x04, 0x04, 0x3F, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00},
         {"00                Event Delta-Time: 0", "FF 58 04          Time Signature event",
          "04 3F             Signature: 4 / 9223372036854775808"}},
        {"time signature exponent 255",
         {0x00, 0xFF, 0x58, 0x04, 0x04, 0xFF, 0x18, 0x08},
         {"00                Event Delta-Time: 0", "FF 58 04          Time Signature event",
          "04 FF             Signature: 4 / "
          "57896044618658097711785492504343953926634992332820282019728792003956564819968"}},
        // cut short by the end of the file: only the bytes that exist are shown
        {"end after a status byte",
         {0x00, 0x90},
         {"00                Event Delta-Time: 0", "90                Note ON on channel 0",
          "Unexpected end of file at offset #24"}},
        {"end inside note data",
         {0x00, 0x90, 0x3C},
         {"00                Event Delta-Time: 0", "90                Note ON on channel 0",
          "3C                Note: 60; Velocity: 0", "", "Unexpected end of file at offset #25"}},
        {"end inside a delta time",
         {0x00, 0x90, 0x3C, 0x7F, 0x81},
         noteOn + Lines{"Unexpected end of file at offset #27"}},
        {"end after a meta status",
         {0x00, 0xFF},
         {"00                Event Delta-Time: 0", "Unexpected end of file at offset #24"}},
        {"end inside tempo",
         {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1},
         tempoHead +
             Lines{"07 A1             Tempo: 499968", "", "Unexpected end of file at offset #28"}},
        {"end before tempo",
         {0x00, 0xFF, 0x51, 0x03},
         tempoHead +
             Lines{"                  Tempo: 0", "", "Unexpected end of file at offset #26"}},
        {"end inside key signature",
         {0x00, 0xFF, 0x59, 0x02, 0xF9},
         {"00                Event Delta-Time: 0", "FF 59 02          Key Signature",
          "F9                7 flats", "                  Major", "",
          "Unexpected end of file at offset #27"}},
        {"end inside time signature",
         {0x00, 0xFF, 0x58, 0x04, 0x06},
         {"00                Event Delta-Time: 0", "FF 58 04          Time Signature event",
          "06                Signature: 6 / 1", "Unexpected end of file at offset #27"}},
        {"end inside an unknown event",
         {0x00, 0xF0, 1, 2, 3},
         {"00                Event Delta-Time: 0",
          "F0                Unknown event, guessed size, channel (if used) is 0",
          "01 02 03          unknown", "                  unknown", "",
          "Unexpected end of file at offset #27"}},
        {"end inside a six-byte name line", Bytes{0x00, 0xFF, 0x03, 0x0D} + Text("Hel"),
         nameHead + Lines{"48 65 6C          \"Hel\"", "Unexpected end of file at offset #29"}},
        {"end inside the last name line", Bytes{0x00, 0xFF, 0x03, 0x0D} + Text("Hello, World"),
         nameHead + Lines{"48 65 6C 6C 6F 2C \"Hello,\"", "20 57 6F 72 6C 64 \" World\"",
                          "Unexpected end of file at offset #38"}},
    };
    for (const EventCase& c : cases) {
        const Bytes track = Track(c.events); // size as if the chunk held only these bytes
        EXPECT_EQ(
            ListingOf(Header(1) + track),
            Join(Heading + HeaderLines + TrackHead(static_cast<int>(c.events.size())) + c.lines))
            << c.name;
    }
}

// Track numbers of two digits take one more equals sign.
TEST(Disassemble, TrackTitles) {
    Bytes file = Text("MThd") + Bytes{0, 0, 0, 6, 0, 1, 0, 10, 0, 16};
    for (int k = 0; k < 10; ++k)
        file = file + Track(EndOfTrack);
    const std::string listing = ListingOf(file);
    EXPECT_NE(listing.find("\r\nTrack 9\r\n=======\r\n4D 54 72 6B"), std::string::npos);
    EXPECT_NE(listing.find("\r\nTrack 10\r\n========\r\n4D 54 72 6B"), std::string::npos);
    EXPECT_EQ(listing.substr(listing.size() - 36), "\r\n* Logical End *\r\n* End Of File *\r\n");
}

const char* const StopLines[] = {"Unexpected end of file at offset #",
                                 "Unexpected byte at offset #",
                                 "Unexpected parameter size at offset #",
                                 "Delta-Time is too long at offset #",
                                 "Unknown meta-event at offset #",
                                 "Unknown event at offset #",
                                 "Unexpected byte after logical end at offset #",
                                 "* End Of File *",
                                 "Signature: "};

// Damaged copies of a song always give a listing of whole lines that ends on a line saying why.
TEST(Disassemble, DamagedFilesEndOnAStopLine) {
    const Bytes song = Header(1) + Track(Bytes{0x00, 0xFF, 0x03, 0x02, 'A',  'B',  0x00, 0xFF, 0x58,
                                               0x04, 4,    2,    24,   8,    0x00, 0xFF, 0x51, 0x03,
                                               7,    0xA1, 0x20, 0x00, 0xFF, 0x59, 0x02, 0,    0,
                                               0x00, 0x90, 60,   100,  0x83, 0x00, 0x80, 60,   0} +
                                         EndOfTrack);
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = song;
        for (int n = 0; n < 1 + round % 4; ++n)
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        damaged.resize(random() % (damaged.size() + 1));
        const std::string listing = ListingOf(damaged);
        ASSERT_GE(listing.size(), 2u);
        ASSERT_EQ(listing.substr(listing.size() - 2), "\r\n");
        const auto start = listing.rfind("\r\n", listing.size() - 3) + 2;
        const std::string last = listing.substr(start, listing.size() - 2 - start);
        bool known = false;
        for (const char* stop : StopLines)
            known = known || last.find(stop) != std::string::npos;
        EXPECT_TRUE(known) << "round " << round << ": " << last;
    }
}

// Lines gathered in blocks of any size give the same text, file names longer than a block too.
TEST(ListingWriter, BlockSizeDoesNotChangeTheText) {
    const Bytes song =
        Header(1) + Track(Bytes{0x00, 0xFF, 0x03, 0x0D} + Text("Hello, World!") + EndOfTrack);
    const std::string name(5000, 'n');
    const std::string expected = kadrel::DisassembleToString(song, name);
    ASSERT_EQ(expected.substr(0, 5019), "Disassembling of " + name + "\r\n");
    for (std::size_t block : {1u, 7u, 64u, 4096u}) {
        kadrel::StringListingSink sink;
        kadrel::ListingWriter out(sink, block);
        kadrel::WriteListingHeading(out, name);
        kadrel::WalkListing(song, out);
        out.Flush();
        EXPECT_EQ(sink.text, expected) << block;
    }
}

// A folder of its own under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "kadrel-disasm-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CommandRun {
    int status;
    std::string out, err;
};

CommandRun Command(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = kadrel::RunDisasmCommand(args, out, err);
    return {status, out.str(), err.str()};
}

const Bytes SmallSong = Header(1) + Track(Bytes{0x00, 0xC0, 0x05} + EndOfTrack);

TEST(DisasmCommand, WritesTheListingBesideTheSourceByDefault) {
    TempFolder dir;
    WriteFile(dir / "x.mid", SmallSong);
    // the heading names the source exactly as given, double slash included
    const std::string given = dir.path + "//x.mid";
    const CommandRun run = Command({given});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(dir / "x.mid.txt"), kadrel::DisassembleToString(SmallSong, given));
}

TEST(DisasmCommand, AllBeforeTheSourceWritesTheFullListing) {
    TempFolder dir;
    // running status, which the checked walk stops at
    const Bytes song =
        Header(1) + Track(Bytes{0x00, 0x90, 0x3C, 0x40, 0x10, 0x3C, 0x00} + EndOfTrack);
    WriteFile(dir / "x.mid", song);
    EXPECT_EQ(Command({"--all", dir / "x.mid"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "x.mid.txt"),
              kadrel::DisassembleToString(song, dir / "x.mid", kadrel::ListingWalkKind::Full));
    EXPECT_NE(ReadFile(dir / "x.mid.txt").find("Running status, Note ON"), std::string::npos);
    EXPECT_EQ(Command({"--all", dir / "x.mid", dir / "y.txt"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "y.txt"), ReadFile(dir / "x.mid.txt"));
}

TEST(DisasmCommand, ListingOfAFileNamedTxtGetsASecondTxt) {
    TempFolder dir;
    WriteFile(dir / "x.txt", Text("hello"));
    EXPECT_EQ(Command({dir / "x.txt"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "x.txt.txt"), Join({"Disassembling of " + (dir / "x.txt"), "By Kadrel",
                                                 "", "Unexpected byte at offset #4"}));
}

TEST(DisasmCommand, ReplacesAnExistingListingWhole) {
    TempFolder dir;
    WriteFile(dir / "x.mid", SmallSong);
    WriteFile(dir / "out.txt", Bytes(100000, 'z'));
    EXPECT_EQ(Command({dir / "x.mid", dir / "out.txt"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out.txt"), kadrel::DisassembleToString(SmallSong, dir / "x.mid"));
}

TEST(DisasmCommand, ListingInPlaceOfItsSourceIsRefused) {
    TempFolder dir;
    WriteFile(dir / "x.mid", SmallSong);
    EXPECT_EQ(Command({dir / "x.mid", dir / "x.mid"}).status, 1);
    EXPECT_EQ(ReadFile(dir / "x.mid"), std::string(SmallSong.begin(), SmallSong.end()));
}

TEST(DisasmCommand, UnreadableSourceLeavesNoListing) {
    TempFolder dir;
    for (const std::string& source : {dir / "missing.mid", dir.path}) {
        const CommandRun run = Command({source});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "Impossible d'ouvrir le fichier " + source + "\n");
        EXPECT_FALSE(fs::exists(source + ".txt"));
    }
}

TEST(DisasmCommand, ListingThatCannotBeCreated) {
    TempFolder dir;
    WriteFile(dir / "x.mid", SmallSong);
    for (const std::string& listing : {dir / "no/such/folder.txt", dir.path}) {
        const CommandRun run = Command({dir / "x.mid", listing});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "Impossible de créer le fichier " + listing + "\n");
    }
    // a device is no file to replace: refused before anything is written to it
    if (fs::exists("/dev/full")) {
        const CommandRun run = Command({dir / "x.mid", "/dev/full"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "Impossible de créer le fichier /dev/full\n");
    }
}

TEST(DisasmCommand, WrongArguments) {
    const struct {
        std::vector<std::string> args;
        const char* problem;
    } wrong[] = {
        {{}, "il manque SOURCE"},        {{"a", "b", "c"}, "fichier en trop : c"},
        {{""}, "nom de fichier vide"},   {{"a.mid", ""}, "nom de fichier vide"},
        {{"--all"}, "il manque SOURCE"}, {{"--all", "a", "b", "c"}, "fichier en trop : c"},
    };
    for (const auto& c : wrong) {
        const CommandRun run = Command(c.args);
        EXPECT_EQ(run.status, 2) << c.problem;
        EXPECT_EQ(run.err, std::string("kadrel-disasm : ") + c.problem +
                               "\nUtilisation : kadrel-disasm [--all] SOURCE [LISTE]\n");
    }
    const CommandRun help = Command({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Utilisation : kadrel-disasm [--all] SOURCE [LISTE]\n", 0), 0u);
}

// The built tool itself, when it sits where the build puts it.
TEST(DisasmCommand, BuiltToolExitStatuses) {
    const std::string tool = kadrel::ProgramFolder() + "../kadrel-disasm";
    if (!fs::exists(tool))
        GTEST_SKIP() << "no " << tool;
    TempFolder dir;
    WriteFile(dir / "x.mid", SmallSong);
    const auto status = [&](const std::string& args) {
        const int raw = std::system((tool + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status("'" + (dir / "x.mid") + "'"), 0);
    EXPECT_EQ(ReadFile(dir / "x.mid.txt"), kadrel::DisassembleToString(SmallSong, dir / "x.mid"));
    EXPECT_EQ(status("'" + (dir / "none.mid") + "'"), 1);
    EXPECT_EQ(status(""), 2);
}

} // namespace
