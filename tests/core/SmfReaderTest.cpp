#include "midi/SmfReader.h"
#include "core/SmfBytes.h"
#include "midi/SmfWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kadrel::test {
namespace {

std::string HexByte(std::uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

// "f<format> d<division>", then " | " and the events of each track: "+delta:" and the status
// (prefixed by r when it was left out), then the data bytes, or the payload in brackets.
std::string Brief(const SmfFile& file) {
    std::string s = "f" + std::to_string(file.Format) + " d" + std::to_string(file.Division);
    for (const SmfTrack& track : file.Tracks) {
        s += " |";
        for (std::size_t i = 0; i < track.Events.size(); ++i) {
            const SmfEvent& e = track.Events[i];
            s += (i == 0 ? " +" : ", +") + std::to_string(e.Delta) + ":";
            if (e.IsChannel()) {
                s += (e.Flags & SmfEvent::RunningStatusFlag) ? "r" : "";
                s += HexByte(e.Status) + " " + HexByte(e.Data1);
                if (e.Kind() != 0xC0 && e.Kind() != 0xD0)
                    s += " " + HexByte(e.Data2);
                continue;
            }
            s += HexByte(e.Status) + (e.IsMeta() ? HexByte(e.Data1) : "") + "[";
            const auto payload = file.Payload(track, e);
            for (std::size_t k = 0; k < payload.size(); ++k)
                s += (k == 0 ? "" : " ") + HexByte(payload[k]);
            s += "]";
        }
    }
    return s;
}

// A RIFF RMID file holding a LIST chunk of odd length (padded) and then the MIDI data.
Bytes Rmid(const Bytes& smf) {
    const Bytes body = Cat({Tag("RMID"),
                            Tag("LIST"),
                            LittleEndian(3),
                            {1, 2, 3, 0},
                            Tag("data"),
                            LittleEndian(static_cast<std::uint32_t>(smf.size())),
                            smf});
    return Cat({Tag("RIFF"), LittleEndian(static_cast<std::uint32_t>(body.size())), body});
}

struct ReadCase {
    const char* what;
    Bytes file;
    const char* read;
};

const std::vector<ReadCase>& ReadCases() {
    static const std::vector<ReadCase> cases = {
        {"format 0, three channels and running status",
         Smf(0, 96, {{0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x40, 0x00, 0x3E, 0x40,
                      0x00, 0x91, 0x30, 0x40, 0x05, 0x92, 0x24, 0x64, 0x10, 0x90,
                      0x3C, 0x00, 0x00, 0x3E, 0x00, 0x00, 0xFF, 0x2F, 0x00}}),
         "f0 d96 | +0:C0 05, +0:90 3C 40, +0:r90 3E 40, +0:91 30 40, +5:92 24 64, +16:90 3C 00, "
         "+0:r90 3E 00, +0:FF2F[]"},
        {"every kind of channel message",
         Smf(0, 96, {{0, 0xA0, 0x3C, 0x10, 0, 0xB1, 0x07, 0x64, 0,    0xD2, 0x30,
                      0, 0xE3, 0x00, 0x40, 0, 0xC4, 0x7F, 0,    0x80, 0x3C, 0x00}}),
         "f0 d96 | +0:A0 3C 10, +0:B1 07 64, +0:D2 30, +0:E3 00 40, +0:C4 7F, +0:80 3C 00"},
        {"sysex and meta events do not cancel the running status",
         Smf(0, 96, {{0, 0x90, 0x3C, 0x40, 0,    0xF0, 0x02, 0x7E, 0xF7, 0,    0x3E, 0x40,
                      0, 0xFF, 0x01, 0x01, 0x41, 0,    0x40, 0x40, 0,    0xF7, 0x01, 0xF7}}),
         "f0 d96 | +0:90 3C 40, +0:F0[7E F7], +0:r90 3E 40, +0:FF01[41], +0:r90 40 40, "
         "+0:F7[F7]"},
        {"a delta time of four bytes", Smf(0, 96, {{0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x00}}),
         "f0 d96 | +268435455:C0 00"},
        {"header length 8: the extra bytes are skipped",
         Cat({Chunk("MThd", {0, 1, 0, 1, 0, 0x60, 0xAA, 0xBB}), Chunk("MTrk", {0, 0xC0, 1})}),
         "f1 d96 | +0:C0 01"},
        {"a chunk of another type is skipped",
         Cat({Header(1, 2, 96), Chunk("MTrk", {0, 0xC0, 1}), Chunk("XFIH", {1, 2, 3}),
              Chunk("MTrk", {0, 0xC1, 2})}),
         "f1 d96 | +0:C0 01 | +0:C1 02"},
        {"fewer tracks than declared: the ones present",
         Cat({Header(1, 3, 96), Chunk("MTrk", {0, 0xC0, 1})}), "f1 d96 | +0:C0 01"},
        {"more track chunks than declared: the declared ones",
         Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0xC0, 1}), Chunk("MTrk", {0, 0xC1, 2})}),
         "f0 d96 | +0:C0 01"},
        {"a track length past the end of the file: read to the end",
         Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0xC0, 1, 0, 0xC1, 2}, 0xFFFFFFFF)}),
         "f0 d96 | +0:C0 01, +0:C1 02"},
        {"events cut short by the end of their chunk are dropped",
         Smf(1, 96,
             {{0, 0xC0, 1, 0, 0x90, 0x3C},
              {0, 0xC0, 2, 0, 0xF0, 5, 1, 2},
              {0, 0xC0, 3, 0x81},
              {0, 0xC0, 4, 0, 0xFF},
              {0, 0xC0, 5, 0, 0xFF, 0x01, 0x81}}),
         "f1 d96 | +0:C0 01 | +0:C0 02 | +0:C0 03 | +0:C0 04 | +0:C0 05"},
        {"nothing after the end of track is read",
         Smf(0, 96, {{0, 0xC0, 1, 0, 0xFF, 0x2F, 0, 0, 0xC0, 2}}), "f0 d96 | +0:C0 01, +0:FF2F[]"},
        {"a status byte interrupting a message drops it and keeps its time",
         Smf(0, 96, {{5, 0x90, 0x3C, 0x90, 0x3E, 0x40, 0, 0x3F, 0x40}}),
         "f0 d96 | +5:90 3E 40, +0:r90 3F 40"},
        {"RIFF RMID wrapper", Rmid(Smf(0, 96, {{0, 0xFF, 0x03, 0x02, 'A', 'B', 0, 0xC0, 1}})),
         "f0 d96 | +0:FF03[41 42], +0:C0 01"},
        {"time-code division", Smf(0, 0xE728, {{0, 0xC0, 1}}), "f0 d59176 | +0:C0 01"},
        {"format 2, no tracks", Smf(2, 1, {}), "f2 d1"},
    };
    return cases;
}

TEST(SmfReader, ReadsWhatRealFilesHold) {
    for (const ReadCase& c : ReadCases())
        EXPECT_EQ(Brief(ReadSmf(c.file)), c.read) << c.what;
}

// What is read, written back by the small writer, reads the same, running status included.
TEST(SmfReader, WrittenBackReadsTheSame) {
    for (const ReadCase& c : ReadCases()) {
        const SmfFile first = ReadSmf(c.file);
        const Bytes written = WriteSmf(first);
        EXPECT_EQ(Brief(ReadSmf(written)), Brief(first)) << c.what;
    }
}

// A file whose bytes were all kept is written back as it was; Always leaves out every status
// that repeats, across sysex events too.
TEST(SmfWriter, WritesTheFileBack) {
    const Bytes running =
        Smf(0, 96, {{0, 0x90, 0x3C, 0x40, 0,    0x3E, 0x40, 0,    0xF0, 0x01, 0xF7,
                     0, 0x40, 0x40, 0x81, 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00}});
    const Bytes everyStatus =
        Smf(0, 96, {{0, 0x90, 0x3C, 0x40, 0,    0x90, 0x3E, 0x40, 0,    0xF0, 0x01, 0xF7,
                     0, 0x90, 0x40, 0x40, 0x81, 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00}});
    struct Case {
        const char* what;
        Bytes file;
        SmfRunningStatus mode;
        Bytes written;
    } cases[] = {
        {"running status as read", running, SmfRunningStatus::AsRead, running},
        {"every status as read", everyStatus, SmfRunningStatus::AsRead, everyStatus},
        {"running status always", everyStatus, SmfRunningStatus::Always, running},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hex(WriteSmf(ReadSmf(c.file), c.mode)), Hex(c.written)) << c.what;
}

// "ID@before[data]" for each chunk kept aside, then "cut|interrupted tTrack @offset" for each drop.
std::string Aside(const SmfFile& file) {
    std::string s;
    for (const SmfChunk& c : file.OtherChunks) {
        s += std::string(c.Id.begin(), c.Id.end()) + "@" + std::to_string(c.BeforeTrack) + "[";
        for (std::uint8_t b : file.Data(c))
            s += HexByte(b);
        s += "] ";
    }
    for (const SmfDrop& d : file.Dropped)
        s += std::string(d.Kind == SmfDropKind::CutShort ? "cut" : "interrupted") + " t" +
             std::to_string(d.Track) + " @" + std::to_string(d.Offset) + " ";
    return s;
}

TEST(SmfReader, KeepsOtherChunksAsideAndTellsWhatItDropped) {
    const struct {
        const char* what;
        Bytes file;
        const char* aside;
    } cases[] = {
        {"chunks before, between and after the tracks; a track chunk beyond the declared ones",
         Cat({Header(1, 1, 96),
              Chunk("XFIH", {1, 2}),
              Chunk("MTrk", {0, 0xC0, 1}),
              Chunk("MTrk", {0, 0xC1, 2}),
              Chunk("ABCD", {}),
              {'M', 'T'}}),
         "XFIH@0[0102] MTrk@1[00C102] ABCD@1[] "},
        {"a chunk cut by the end of the file keeps what is there",
         Cat({Header(1, 0, 96), Chunk("XFIH", {1, 2}, 9)}), "XFIH@0[0102] "},
        {"a message cut by the end of its chunk: where its delta time starts",
         Smf(0, 96, {{0, 0xC0, 1, 0, 0x90, 0x3C}}), "cut t0 @25 "},
        {"a dangling delta time", Smf(0, 96, {{0, 0xC0, 1, 0x81}}), "cut t0 @25 "},
        {"a meta event cut in the second track", Smf(1, 96, {{0, 0xC0, 1}, {0, 0xFF, 0x01, 0x81}}),
         "cut t1 @33 "},
        {"a status byte where a data byte belongs: where that status byte is",
         Smf(0, 96, {{5, 0x90, 0x3C, 0x90, 0x3E, 0x40}}), "interrupted t0 @25 "},
        {"what follows the end of track is not looked at",
         Smf(0, 96, {{0, 0xFF, 0x2F, 0, 0, 0x90}}), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Aside(ReadSmf(c.file)), c.aside) << c.what;
}

TEST(SmfReader, RefusesWithReasonAndOffset) {
    struct Case {
        const char* what;
        Bytes file;
        SmfRefusal reason;
        std::size_t offset;
    };
    const Case cases[] = {
        {"empty file", {}, SmfRefusal::NoHeader, 0},
        {"no MThd", Cat({Chunk("MTrk", {0, 0xC0, 0})}), SmfRefusal::NoHeader, 0},
        {"RIFF RMID without data", Cat({Tag("RIFF"), LittleEndian(4), Tag("RMID")}),
         SmfRefusal::NoHeader, 12},
        {"header length 5", Chunk("MThd", {0, 0, 0, 1, 0}), SmfRefusal::HeaderTooShort, 4},
        {"header cut inside its length", Cat({Tag("MThd"), {0, 0}}), SmfRefusal::HeaderCutShort, 6},
        {"header cut inside its fields", Cat({Tag("MThd"), {0, 0, 0, 6, 0, 1}}),
         SmfRefusal::HeaderCutShort, 10},
        {"division 0", Smf(1, 0, {}), SmfRefusal::ZeroDivision, 12},
        {"time code with 0 ticks per frame", Smf(1, 0xE700, {}), SmfRefusal::ZeroDivision, 13},
        {"data byte first", Smf(0, 96, {{0, 0x3C, 0x40}}), SmfRefusal::DataByteWithoutStatus, 23},
        {"running status after a meta event only", Smf(0, 96, {{0, 0xFF, 0x01, 0, 0, 0x3C, 0x40}}),
         SmfRefusal::DataByteWithoutStatus, 27},
        {"running status after an interrupted message",
         Smf(0, 96, {{0, 0x90, 0x3C, 0xFF, 0x01, 0x00, 0, 0x3C, 0x40}}),
         SmfRefusal::DataByteWithoutStatus, 29},
        {"data byte in the second track", Smf(1, 96, {{0, 0xC0, 1}, {0, 0x3C}}),
         SmfRefusal::DataByteWithoutStatus, 34},
        {"status F2", Smf(0, 96, {{0, 0xF2, 1, 2}}), SmfRefusal::SystemStatusInTrack, 23},
        {"status F8", Smf(0, 96, {{0, 0xF8}}), SmfRefusal::SystemStatusInTrack, 23},
        {"status FE", Smf(0, 96, {{0, 0xFE}}), SmfRefusal::SystemStatusInTrack, 23},
        {"delta time of five bytes", Smf(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01, 0xC0, 0}}),
         SmfRefusal::QuantityTooLong, 26},
        {"sysex length of five bytes", Smf(0, 96, {{0, 0xF0, 0x81, 0x81, 0x81, 0x81, 0x01}}),
         SmfRefusal::QuantityTooLong, 28},
        {"meta length of five bytes", Smf(0, 96, {{0, 0xFF, 1, 0x81, 0x81, 0x81, 0x81, 0x01}}),
         SmfRefusal::QuantityTooLong, 29},
    };
    for (const Case& c : cases) {
        try {
            ReadSmf(c.file);
            ADD_FAILURE() << c.what << ": read";
        } catch (const SmfReadError& e) {
            EXPECT_EQ(e.Reason(), c.reason) << c.what;
            EXPECT_EQ(e.Offset(), c.offset) << c.what;
        }
    }
}

} // namespace
} // namespace kadrel::test
