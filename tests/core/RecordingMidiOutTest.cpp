#include "midi/RecordingMidiOut.h"
#include "midi/MidiOutput.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace kadrel {
namespace {

using Kind = RecordedCall::Kind;
using testing::ElementsAre;
using testing::IsEmpty;

TEST(RecordingMidiOut, StampsEveryMessageWithTheClockTime) {
    ManualClock clock;
    clock.Set(1000);
    RecordingMidiOut out(&clock);
    TMidiOutput port(0, true, out);
    port.NoteOn(0, 60, 127);
    clock.Advance(30);
    port.NoteOff(0, 60);
    port.NoteOn(0, 62, 127);
    clock.Advance(250);
    port.NoteOff(0, 62);
    EXPECT_THAT(out.Messages(),
                ElementsAre(RecordedMessage{1000, 0x007F3C90}, RecordedMessage{1030, 0x00003C80},
                            RecordedMessage{1030, 0x007F3E90}, RecordedMessage{1280, 0x00003E80}));
}

TEST(RecordingMidiOut, RecordsEveryCallWithItsResult) {
    ManualClock clock;
    RecordingMidiOut out(&clock);
    MidiOutHandle handle = 0;
    ASSERT_EQ(out.Open(9, handle), 0u);
    clock.Set(5);
    EXPECT_EQ(out.ShortMsg(handle, 0x0000407Bu), 0u);
    clock.Set(6);
    EXPECT_EQ(out.Close(handle), 0u);
    EXPECT_THAT(out.Calls(), ElementsAre(RecordedCall{Kind::Open, 0, 9, handle, 0, 0},
                                         RecordedCall{Kind::ShortMsg, 5, 0, handle, 0x0000407Bu, 0},
                                         RecordedCall{Kind::Close, 6, 0, handle, 0, 0}));
}

TEST(RecordingMidiOut, RefusalsAreAnsweredWithTheirCodeUntilLifted) {
    RecordingMidiOut out;
    MidiOutHandle handle = 0;
    out.RefuseOpen(2);
    EXPECT_EQ(out.Open(0, handle), 2u);
    EXPECT_EQ(out.OpenCount(), 0u);
    out.RefuseOpen(0);
    ASSERT_EQ(out.Open(0, handle), 0u);

    out.RefuseSend(67);
    EXPECT_EQ(out.ShortMsg(handle, 0x90), 67u);
    EXPECT_EQ(out.ShortMsg(handle, 0x91), 67u);
    out.RefuseSend(0);
    EXPECT_EQ(out.ShortMsg(handle, 0x92), 0u);
    // Refused messages are in the calls, not among the messages the device got.
    EXPECT_THAT(out.MessageValues(), ElementsAre(0x92u));

    out.RefuseClose(1);
    EXPECT_EQ(out.Close(handle), 1u);
    EXPECT_TRUE(out.IsOpen(handle));
    out.RefuseClose(0);
    EXPECT_EQ(out.Close(handle), 0u);
    EXPECT_FALSE(out.IsOpen(handle));
    EXPECT_EQ(out.Calls().size(), 7u);
}

TEST(RecordingMidiOut, RefusesHandlesThatAreNotOpen) {
    RecordingMidiOut out;
    MidiOutHandle handle = 0;
    ASSERT_EQ(out.Open(0, handle), 0u);
    ASSERT_EQ(out.Close(handle), 0u);
    EXPECT_EQ(out.ShortMsg(handle, 0x90), MidiResult::InvalidHandle);
    EXPECT_EQ(out.Close(handle), MidiResult::InvalidHandle);
    EXPECT_EQ(out.ShortMsg(0, 0x90), MidiResult::InvalidHandle);
    EXPECT_THAT(out.Messages(), IsEmpty());
    // A new open never hands out the old handle again.
    MidiOutHandle again = 0;
    ASSERT_EQ(out.Open(0, again), 0u);
    EXPECT_NE(again, handle);
}

TEST(RecordingMidiOut, ClearForgetsTheRecordButNotTheState) {
    RecordingMidiOut out;
    MidiOutHandle handle = 0;
    ASSERT_EQ(out.Open(0, handle), 0u);
    ASSERT_EQ(out.ShortMsg(handle, 0x90), 0u);
    out.RefuseSend(4);
    out.Clear();
    EXPECT_THAT(out.Messages(), IsEmpty());
    EXPECT_THAT(out.Calls(), IsEmpty());
    EXPECT_TRUE(out.IsOpen(handle));
    EXPECT_EQ(out.ShortMsg(handle, 0x90), 4u);
}

TEST(RecordingMidiOut, SetClockSwitchesClocksAndNullGoesBackToSteadyTime) {
    ManualClock early;
    early.Set(7);
    RecordingMidiOut out;
    MidiOutHandle handle = 0;
    ASSERT_EQ(out.Open(0, handle), 0u);
    out.SetClock(&early);
    ASSERT_EQ(out.ShortMsg(handle, 0x90), 0u);
    out.SetClock(nullptr);
    const std::uint32_t before = SteadyClock().NowMs();
    ASSERT_EQ(out.ShortMsg(handle, 0x91), 0u);
    const std::uint32_t after = SteadyClock().NowMs();
    ASSERT_EQ(out.Messages().size(), 2u);
    EXPECT_EQ(out.Messages()[0].TimeMs, 7u);
    // Unsigned differences: a time before `before` wraps around and fails.
    EXPECT_LE(out.Messages()[1].TimeMs - before, after - before);
}

TEST(RecordingMidiOut, PrintsMessagesAndCallsReadably) {
    std::ostringstream text;
    text << RecordedMessage{30, 0x007F3C99} << ' '
         << RecordedCall{Kind::ShortMsg, 30, 0, 1, 0x000005C2, 0} << ' '
         << RecordedCall{Kind::Open, 0, 3, 0, 0, 2};
    EXPECT_EQ(text.str(), "{30 ms, 0x007F3C99} {ShortMsg at 30 ms, handle 1, 0x000005C2, result 0}"
                          " {Open at 0 ms, device 3, handle 0, result 2}");
}

} // namespace
} // namespace kadrel
