#include "SmfBytes.h"
#include "midi/Midi.h"
#include "util/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kadrel {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Tag;

const Bytes Header1Track = Cat({Tag("MThd"), {0, 0, 0, 6, 0, 1, 0, 1, 0, 0x10}});

using test::Saved;

TMidi Loaded(const Bytes& bytes) {
    ByteStream stream(bytes);
    TMidi midi;
    midi.LoadFromStream(stream);
    return midi;
}

// A header announcing one track, then a track chunk whose length field is right for `events`.
Bytes OneTrackFile(const Bytes& events) {
    const auto n = static_cast<std::uint8_t>(events.size());
    return Cat({Header1Track, Tag("MTrk"), {0, 0, 0, n}, events});
}

std::string LoadError(const Bytes& bytes) {
    try {
        Loaded(bytes);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// The kept events of a track as text, with absolute times: "on 60 v127 c0 @16".
std::vector<std::string> Describe(const TMidiTrack& track) {
    std::vector<std::string> out;
    std::uint64_t time = 0;
    for (const auto& e : track.Events) {
        time += e->DeltaTime.GetValue();
        const std::string at = " c" + std::to_string(e->Channel) + " @" + std::to_string(time);
        if (auto* on = dynamic_cast<TMidiNoteONEvent*>(e.get()))
            out.push_back("on " + std::to_string(on->Note) + " v" + std::to_string(on->Velocity) +
                          at);
        else if (auto* off = dynamic_cast<TMidiNoteOFFEvent*>(e.get()))
            out.push_back("off " + std::to_string(off->Note) + at);
        else if (auto* patch = dynamic_cast<TMidiChangePatchEvent*>(e.get()))
            out.push_back("patch " + std::to_string(patch->Patch) + at);
        else
            out.push_back("other");
    }
    return out;
}

std::unique_ptr<TMidiTrack> ThreeEventTrack() {
    auto track = std::make_unique<TMidiTrack>();
    track->Events.push_back(std::make_unique<TMidiChangePatchEvent>());
    auto on = std::make_unique<TMidiNoteONEvent>();
    on->Note = 60;
    on->Velocity = 127;
    track->Events.push_back(std::move(on));
    auto off = std::make_unique<TMidiNoteOFFEvent>();
    off->DeltaTime.SetValue(16);
    off->Note = 60;
    track->Events.push_back(std::move(off));
    return track;
}

TEST(MidiFileWrite, EmptySongIsTheFourteenByteHeader) {
    TMidi midi;
    midi.Format = 1;
    midi.Division = 16;
    EXPECT_EQ(Hex(Saved(midi)), "4D 54 68 64 00 00 00 06 00 01 00 00 00 10");
}

TEST(MidiFileWrite, NewFileHasFormat0Division0) {
    const TMidi midi;
    EXPECT_EQ(midi.Format, 0);
    EXPECT_EQ(midi.Division, 0);
    EXPECT_TRUE(midi.Tracks.empty());
}

TEST(MidiFileWrite, TrackWithoutEventsHoldsOnlyTheEndOfTrack) {
    const TMidiTrack track;
    ByteStream stream;
    track.SaveToStream(stream);
    EXPECT_EQ(Hex(stream.Bytes()), "4D 54 72 6B 00 00 00 04 00 FF 2F 00");
}

TEST(MidiFileWrite, ThreeEventTrackIsNineteenBytesAndIsUnchangedBySaving) {
    auto track = ThreeEventTrack();
    EXPECT_EQ(track->DataSize(), 11u);
    ByteStream stream;
    track->SaveToStream(stream);
    EXPECT_EQ(Hex(stream.Bytes()),
              "4D 54 72 6B 00 00 00 0F 00 C0 00 00 90 3C 7F 10 80 3C 00 00 FF 2F 00");
    EXPECT_EQ(track->Events.size(), 3u);
    EXPECT_EQ(track->DataSize(), 11u);
}

TEST(MidiFileWrite, TrackCountIsWrittenAsItsLow16Bits) {
    TMidi midi;
    for (int i = 0; i < 65537; ++i)
        midi.Tracks.push_back(std::make_unique<TMidiTrack>());
    const Bytes bytes = Saved(midi);
    EXPECT_EQ(bytes[10], 0);
    EXPECT_EQ(bytes[11], 1);
    EXPECT_EQ(bytes.size(), 14u + 65537u * 12u);
}

TEST(MidiFileRead, ThreeEventTrackReadsBackWithoutItsEndOfTrack) {
    const Bytes file = OneTrackFile(
        {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x7F, 0x10, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    const TMidi midi = Loaded(file);
    EXPECT_EQ(midi.Format, 1);
    EXPECT_EQ(midi.Division, 16);
    ASSERT_EQ(midi.Tracks.size(), 1u);
    EXPECT_THAT(Describe(*midi.Tracks[0]),
                ::testing::ElementsAre("patch 0 c0 @0", "on 60 v127 c0 @0", "off 60 c0 @16"));
    EXPECT_EQ(Saved(midi), file);
}

TEST(MidiFileRead, FormatValues) {
    // 0 and 2 are kept; 1 and anything else become 1, which is what is written back.
    const std::pair<std::uint16_t, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 1}, {0xFFFF, 1}};
    for (const auto& [stored, expected] : cases) {
        const Bytes file = test::Header(stored, 0, 0x60);
        const TMidi midi = Loaded(file);
        EXPECT_EQ(midi.Format, expected) << stored;
        EXPECT_EQ(Saved(midi)[9], expected) << stored;
    }
}

TEST(MidiFileRead, DivisionIsKeptAsStored) {
    const TMidi midi = Loaded(Cat({Tag("MThd"), {0, 0, 0, 6, 0, 1, 0, 0, 0xE7, 0x28}}));
    EXPECT_EQ(midi.Division, 0xE728); // a time-code division is not interpreted
    EXPECT_EQ(Hex(Saved(midi)), "4D 54 68 64 00 00 00 06 00 01 00 00 E7 28");
}

TEST(MidiFileRead, RefusedFiles) {
    const std::string invalid = "Invalid MIDI file format.";
    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"wrong header tag", Cat({Tag("MThx"), {0, 0, 0, 6, 0, 1, 0, 0, 0, 0x10}})},
        // header length 7 is refused even when the chunk really is 7 bytes
        {"header length 7", Cat({Tag("MThd"), {0, 0, 0, 7, 0, 1, 0, 0, 0, 0x10, 0}})},
        {"header cut short", Cat({Tag("MThd"), {0, 0}})},
        {"control change", OneTrackFile({0x00, 0xB0, 0x07, 0x64, 0x00, 0xFF, 0x2F, 0x00})},
        {"pitch bend", OneTrackFile({0x00, 0xE0, 0x00, 0x40, 0x00, 0xFF, 0x2F, 0x00})},
        {"key pressure", OneTrackFile({0x00, 0xA0, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00})},
        {"channel pressure", OneTrackFile({0x00, 0xD0, 0x40, 0x00, 0xFF, 0x2F, 0x00})},
        {"system exclusive", OneTrackFile({0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00})},
        {"running status",
         OneTrackFile({0x00, 0x90, 0x3C, 0x7F, 0x10, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})},
        {"two tracks announced, one present", Cat({Tag("MThd"),
                                                   {0, 0, 0, 6, 0, 1, 0, 2, 0, 0x10},
                                                   Tag("MTrk"),
                                                   {0, 0, 0, 4, 0, 0xFF, 0x2F, 0}})},
        {"other chunk between tracks", Cat({Tag("MThd"),
                                            {0, 0, 0, 6, 0, 1, 0, 2, 0, 0x10},
                                            Tag("MTrk"),
                                            {0, 0, 0, 4, 0, 0xFF, 0x2F, 0},
                                            Tag("XFIH"),
                                            {0, 0, 0, 0},
                                            Tag("MTrk"),
                                            {0, 0, 0, 4, 0, 0xFF, 0x2F, 0}})},
        // a chunk length beyond its events leaves bytes that the next track takes for its tag
        {"chunk length too large before another track", Cat({Tag("MThd"),
                                                             {0, 0, 0, 6, 0, 1, 0, 2, 0, 0x10},
                                                             Tag("MTrk"),
                                                             {0, 0, 0, 6, 0, 0xFF, 0x2F, 0, 0, 0},
                                                             Tag("MTrk"),
                                                             {0, 0, 0, 4, 0, 0xFF, 0x2F, 0}})},
        {"delta time of eight continuing bytes",
         OneTrackFile({0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x7F})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadError(c.file), invalid) << c.what;
}

TEST(MidiFileRead, AcceptedOddities) {
    struct Case {
        const char* what;
        Bytes file;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"track name skipped, notes kept",
         OneTrackFile({0x00, 0xFF, 0x03, 0x04, 'L',  'e',  'a',  'd',  0x00, 0x90,
                       0x3C, 0x7F, 0x08, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}),
         {"on 60 v127 c0 @0", "off 60 c0 @8"}},
        // a marker at tick 100 and a note 20 ticks later: the note stays at 120
        {"skipped meta keeps its time",
         OneTrackFile({0x64, 0xFF, 0x06, 0x01, 'A', 0x14, 0x91, 0x40, 0x50, 0x10, 0x81, 0x40, 0x00,
                       0x00, 0xFF, 0x2F, 0x00}),
         {"on 64 v80 c1 @120", "off 64 c1 @136"}},
        {"several skipped metas add up",
         OneTrackFile({0x0A, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x05, 0xFF, 0x58, 0x04,
                       6,    3,    24,   8,    0x01, 0xC3, 0x05, 0x00, 0xFF, 0x2F, 0x00}),
         {"patch 5 c3 @16"}},
        {"note-on of velocity 0 stays a note-on",
         OneTrackFile({0x00, 0x90, 0x3C, 0x7F, 0x10, 0x90, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}),
         {"on 60 v127 c0 @0", "on 60 v0 c0 @16"}},
        {"last track without end of track",
         OneTrackFile({0x00, 0x95, 0x3C, 0x7F, 0x10, 0x85, 0x3C, 0x00}),
         {"on 60 v127 c5 @0", "off 60 c5 @16"}},
        {"five-byte delta time",
         OneTrackFile({0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x01, 0x00, 0xFF, 0x2F, 0x00}),
         {"patch 1 c0 @4294967295"}},
        // the chunk length is not used: the events decide where the track ends
        {"chunk length too small",
         Cat({Header1Track,
              Tag("MTrk"),
              {0, 0, 0, 1},
              {0x00, 0x90, 0x3C, 0x7F, 0x00, 0xFF, 0x2F, 0x00}}),
         {"on 60 v127 c0 @0"}},
        {"extra bytes after the last track are not read",
         Cat({OneTrackFile({0x00, 0xC2, 0x07, 0x00, 0xFF, 0x2F, 0x00}), {0xDE, 0xAD}}),
         {"patch 7 c2 @0"}},
        {"end of track with a wrong length byte still ends the track",
         Cat({Header1Track, Tag("MTrk"), {0, 0, 0, 4}, {0x00, 0xFF, 0x2F, 0x05}}),
         {}},
        // files cut short inside an event keep what came before and drop the event
        {"cut after a delta time", OneTrackFile({0x00, 0xC0, 0x01, 0x05}), {"patch 1 c0 @0"}},
        {"cut inside a delta time", OneTrackFile({0x00, 0xC0, 0x01, 0x85}), {"patch 1 c0 @0"}},
        {"cut after a status byte",
         OneTrackFile({0x00, 0xC0, 0x01, 0x00, 0x90}),
         {"patch 1 c0 @0"}},
        {"cut inside note data",
         OneTrackFile({0x00, 0xC0, 0x01, 0x00, 0x90, 0x3C}),
         {"patch 1 c0 @0"}},
        {"cut inside a meta event",
         OneTrackFile({0x00, 0xC0, 0x01, 0x00, 0xFF}),
         {"patch 1 c0 @0"}},
        {"meta length beyond the data",
         OneTrackFile({0x00, 0xC0, 0x01, 0x00, 0xFF, 0x01, 0x7F, 'a'}),
         {"patch 1 c0 @0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMidi midi;
        ASSERT_NO_THROW(midi = Loaded(c.file));
        ASSERT_EQ(midi.Tracks.size(), 1u);
        EXPECT_EQ(Describe(*midi.Tracks[0]), c.events);
    }
}

TEST(MidiFileRead, ZeroTracksLoadsWhateverFollows) {
    const TMidi midi =
        Loaded(Cat({Tag("MThd"), {0, 0, 0, 6, 0, 1, 0, 0, 0, 0x10}, {'j', 'u', 'n', 'k'}}));
    EXPECT_TRUE(midi.Tracks.empty());
}

TEST(MidiFileRead, ChunkLengthTooLargeOnTheLastTrackLoads) {
    const Bytes file = Cat({Header1Track,
                            Tag("MTrk"),
                            {0, 0, 0, 9},
                            {0x00, 0xC0, 0x03, 0x00, 0xFF, 0x2F, 0x00, 0xAA, 0xBB}});
    const TMidi midi = Loaded(file);
    ASSERT_EQ(midi.Tracks.size(), 1u);
    EXPECT_EQ(Describe(*midi.Tracks[0]), std::vector<std::string>{"patch 3 c0 @0"});
}

TEST(MidiFileRead, AFailedLoadKeepsTheTracksReadSoFar) {
    const Bytes file = Cat({Tag("MThd"),
                            {0, 0, 0, 6, 0, 1, 0, 2, 0, 0x10},
                            Tag("MTrk"),
                            {0, 0, 0, 7},
                            {0x00, 0xC0, 0x03, 0x00, 0xFF, 0x2F, 0x00},
                            Tag("MTrk"),
                            {0, 0, 0, 4},
                            {0x00, 0xB0, 0x07, 0x10}});
    ByteStream stream(file);
    TMidi midi;
    EXPECT_THROW(midi.LoadFromStream(stream), Error);
    ASSERT_EQ(midi.Tracks.size(), 2u);
    EXPECT_EQ(Describe(*midi.Tracks[0]), std::vector<std::string>{"patch 3 c0 @0"});
    EXPECT_TRUE(midi.Tracks[1]->Events.empty());
}

TEST(MidiFileRead, CarriedDeltaTimeSaturatesInsteadOfWrapping) {
    const Bytes file = OneTrackFile(
        {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x01});
    const TMidi midi = Loaded(file);
    ASSERT_EQ(midi.Tracks[0]->Events.size(), 1u);
    EXPECT_EQ(midi.Tracks[0]->Events[0]->DeltaTime.GetValue(), 0xFFFFFFFFu);
}

} // namespace
} // namespace kadrel
