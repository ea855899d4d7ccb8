#include "midi/MidiOutput.h"
#include "ErrorOf.h"
#include "midi/RecordingMidiOut.h"
#include "util/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kadrel {
namespace {

using Kind = RecordedCall::Kind;
using testing::ElementsAre;
using testing::IsEmpty;

using test::ErrorOf;

std::vector<Kind> KindsOf(const std::vector<RecordedCall>& calls) {
    std::vector<Kind> kinds;
    for (const RecordedCall& call : calls) {
        kinds.push_back(call.What);
    }
    return kinds;
}

TEST(MidiErrorText, GivesTheTextOfEveryCode) {
    struct Case {
        std::uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {0, "No error"},
        {1, "Unspecified error"},
        {2, "Device ID out of range"},
        {3, "Driver failed enable"},
        {4, "Device already allocated"},
        {5, "Device handle is invalid"},
        {6, "No device driver present"},
        {7, "Memory allocation error"},
        {8, "Function isn't supported"},
        {9, "Error value out of range"},
        {10, "Invalid flag passed"},
        {11, "Invalid parameter passed"},
        {12, "Handle being used simultaneously on another thread (eg callback)"},
        {13, "Specified alias not found"},
        {14, "Bad registry database"},
        {15, "Registry key not found"},
        {16, "Registry read error"},
        {17, "Registry write error"},
        {18, "Registry delete error"},
        {19, "Registry value not found"},
        {20, "Driver does not call DriverCallback"},
        // Everything above 20 is unknown, the MIDI-specific codes from 64 up included.
        {21, "Unknown error"},
        {64, "Unknown error"},
        {67, "Unknown error"},
        {0xFFFFFFFFu, "Unknown error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MidiErrorText(c.code), c.text) << "code " << c.code;
    }
}

TEST(TMidiOutput, PacksChannelMessagesAsStatusPlusDataBytes) {
    struct Case {
        const char* name;
        std::function<void(TMidiOutput&)> send;
        std::uint32_t packed;
    };
    const Case cases[] = {
        {"note on ch 9 note 60 vel 127", [](TMidiOutput& p) { p.NoteOn(9, 60, 127); }, 0x007F3C99},
        {"note off ch 0 note 60", [](TMidiOutput& p) { p.NoteOff(0, 60); }, 0x00003C80},
        {"program change ch 2 program 5", [](TMidiOutput& p) { p.ChangePatch(2, 5); }, 0x000005C2},
        {"note off ch 3 note 64", [](TMidiOutput& p) { p.NoteOff(3, 64); }, 0x00004083},
        {"note on ch 15 note 0 vel 1", [](TMidiOutput& p) { p.NoteOn(15, 0, 1); }, 0x0001009F},
        {"program change ch 15 program 127", [](TMidiOutput& p) { p.ChangePatch(15, 127); },
         0x00007FCF},
        // Callers keep data bytes within 0..127; the port passes bit 7 on rather than hide a
        // caller's mistake.
        {"note on with note 200 vel 255", [](TMidiOutput& p) { p.NoteOn(0, 200, 255); },
         0x00FFC890},
        {"program change 128", [](TMidiOutput& p) { p.ChangePatch(1, 128); }, 0x000080C1},
        {"raw short message", [](TMidiOutput& p) { p.ShortMessage(0x12345678); }, 0x12345678},
    };
    for (const Case& c : cases) {
        RecordingMidiOut out;
        TMidiOutput port(0, true, out);
        c.send(port);
        EXPECT_THAT(out.MessageValues(), ElementsAre(c.packed)) << c.name;
    }
}

TEST(TMidiOutput, CreationOpensDeviceAtOnceWhenAsked) {
    RecordingMidiOut out;
    TMidiOutput port(3, true, out);
    EXPECT_TRUE(port.Opened());
    EXPECT_EQ(port.DeviceID(), 3u);
    ASSERT_EQ(out.Calls().size(), 1u);
    EXPECT_EQ(out.Calls()[0].What, Kind::Open);
    EXPECT_EQ(out.Calls()[0].DeviceId, 3u);
    EXPECT_EQ(port.Handle(), out.Calls()[0].Handle);
}

TEST(TMidiOutput, CreationWithoutOpenNowGivesClosedPortThatRefusesToSend) {
    RecordingMidiOut out;
    TMidiOutput port(0, false, out);
    EXPECT_FALSE(port.Opened());
    EXPECT_EQ(port.DeviceID(), 0u);
    EXPECT_EQ(ErrorOf([&] { port.NoteOn(0, 60, 127); }),
              "Couldn't send MIDI short message: output is closed.");
    EXPECT_THAT(out.Calls(), IsEmpty());
}

TEST(TMidiOutput, EveryOperationOnClosedPortFailsWithoutReachingTheDevice) {
    const std::function<void(TMidiOutput&)> operations[] = {
        [](TMidiOutput& p) { p.ShortMessage(0x00003C80); },
        [](TMidiOutput& p) { p.NoteOn(1, 60, 127); },
        [](TMidiOutput& p) { p.NoteOff(1, 60); },
        [](TMidiOutput& p) { p.ChangePatch(1, 5); },
        [](TMidiOutput& p) { p.AllNotesOff(1); },
    };
    for (const auto& operation : operations) {
        RecordingMidiOut out;
        TMidiOutput port(0, false, out);
        EXPECT_EQ(ErrorOf([&] { operation(port); }),
                  "Couldn't send MIDI short message: output is closed.");
        EXPECT_THAT(out.Calls(), IsEmpty());
    }
}

TEST(TMidiOutput, CreationWhoseOpenFailsThrowsTheOpenError) {
    RecordingMidiOut out;
    out.RefuseOpen(6);
    EXPECT_EQ(ErrorOf([&] { TMidiOutput port(0, true, out); }),
              "Couldn't open MIDI output: error 6 (No device driver present)");
    // Only the refused open: the half-made port had nothing to close.
    EXPECT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open));
}

TEST(TMidiOutput, RefusedOpenNamesCodeAndTextAndLeavesPortClosed) {
    struct Case {
        std::uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {2, "Couldn't open MIDI output: error 2 (Device ID out of range)"},
        {4, "Couldn't open MIDI output: error 4 (Device already allocated)"},
        {20, "Couldn't open MIDI output: error 20 (Driver does not call DriverCallback)"},
        {67, "Couldn't open MIDI output: error 67 (Unknown error)"},
        {4294967295u, "Couldn't open MIDI output: error 4294967295 (Unknown error)"},
    };
    for (const Case& c : cases) {
        RecordingMidiOut out;
        TMidiOutput port(7, false, out);
        out.RefuseOpen(c.code);
        EXPECT_EQ(ErrorOf([&] { port.Open(); }), c.text);
        EXPECT_FALSE(port.Opened()) << c.code;
        // Closed means closed: later notes fail as on a port that was never opened.
        EXPECT_EQ(ErrorOf([&] { port.NoteOn(0, 60, 127); }),
                  "Couldn't send MIDI short message: output is closed.");
        EXPECT_EQ(out.OpenCount(), 0u);
    }
}

TEST(TMidiOutput, RefusedReopenOfOpenPortLeavesItClosed) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    out.RefuseOpen(3);
    EXPECT_EQ(ErrorOf([&] { port.Open(); }),
              "Couldn't open MIDI output: error 3 (Driver failed enable)");
    EXPECT_FALSE(port.Opened());
    EXPECT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::Close, Kind::Open));
    EXPECT_EQ(out.OpenCount(), 0u);
}

TEST(TMidiOutput, PortCanBeOpenedAgainAfterRefusedOpen) {
    RecordingMidiOut out;
    out.RefuseOpen(2);
    TMidiOutput port(0, false, out);
    EXPECT_THROW(port.Open(), Error);
    out.RefuseOpen(0);
    port.Open();
    EXPECT_TRUE(port.Opened());
    port.NoteOn(0, 60, 127);
    EXPECT_THAT(out.MessageValues(), ElementsAre(0x007F3C90u));
}

TEST(TMidiOutput, InvalidChannelIsRefusedBeforeTheOpenTestAndSendsNothing) {
    const std::function<void(TMidiOutput&, std::uint8_t)> operations[] = {
        [](TMidiOutput& p, std::uint8_t ch) { p.NoteOn(ch, 60, 127); },
        [](TMidiOutput& p, std::uint8_t ch) { p.NoteOff(ch, 60); },
        [](TMidiOutput& p, std::uint8_t ch) { p.ChangePatch(ch, 5); },
        [](TMidiOutput& p, std::uint8_t ch) { p.AllNotesOff(ch); },
    };
    const struct {
        std::uint8_t channel;
        const char* text;
    } channels[] = {{16, "Invalid MIDI channel: 16"}, {255, "Invalid MIDI channel: 255"}};
    for (bool open : {true, false}) {
        for (const auto& channel : channels) {
            for (const auto& operation : operations) {
                RecordingMidiOut out;
                TMidiOutput port(0, open, out);
                out.Clear();
                EXPECT_EQ(ErrorOf([&] { operation(port, channel.channel); }), channel.text)
                    << (open ? "open" : "closed");
                EXPECT_THAT(out.Calls(), IsEmpty());
                EXPECT_EQ(port.Opened(), open);
            }
        }
    }
}

TEST(TMidiOutput, AllNotesOffSends128NoteOffsInAscendingOrder) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    port.AllNotesOff(5);
    std::vector<std::uint32_t> expected;
    for (std::uint32_t note = 0; note < 128; ++note) {
        expected.push_back(0x85 + note * 256);
    }
    EXPECT_EQ(out.MessageValues(), expected);
}

TEST(TMidiOutput, AllNotesOffStopsAtTheFirstRefusal) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    out.RefuseSend(7);
    EXPECT_EQ(ErrorOf([&] { port.AllNotesOff(0); }),
              "Couldn't send MIDI short message: error 7 (Memory allocation error)");
    EXPECT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::ShortMsg));
    EXPECT_EQ(out.Calls()[1].Msg, 0x00000080u);
}

TEST(TMidiOutput, RefusedSendNamesCodeAndTextAndKeepsPortOpen) {
    struct Case {
        std::uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {5, "Couldn't send MIDI short message: error 5 (Device handle is invalid)"},
        {11, "Couldn't send MIDI short message: error 11 (Invalid parameter passed)"},
        {67, "Couldn't send MIDI short message: error 67 (Unknown error)"},
    };
    for (const Case& c : cases) {
        RecordingMidiOut out;
        TMidiOutput port(0, true, out);
        out.RefuseSend(c.code);
        EXPECT_EQ(ErrorOf([&] { port.ChangePatch(0, 1); }), c.text);
        EXPECT_TRUE(port.Opened());
        EXPECT_THAT(out.Messages(), IsEmpty());
        // The refusal is the service's, for this one message: the next one goes through.
        out.RefuseSend(0);
        port.ChangePatch(0, 2);
        EXPECT_THAT(out.MessageValues(), ElementsAre(0x000002C0u));
    }
}

TEST(TMidiOutput, MessagesGoToTheHandleThatOpenGave) {
    RecordingMidiOut out;
    TMidiOutput first(0, true, out);
    TMidiOutput second(0, true, out);
    first.NoteOn(0, 1, 2);
    second.NoteOn(0, 3, 4);
    ASSERT_EQ(out.Calls().size(), 4u);
    EXPECT_EQ(out.Calls()[2].Handle, first.Handle());
    EXPECT_EQ(out.Calls()[3].Handle, second.Handle());
    EXPECT_NE(first.Handle(), second.Handle());
}

TEST(TMidiOutput, CloseClosesTheOpenHandleOnce) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    const MidiOutHandle handle = port.Handle();
    port.Close();
    EXPECT_FALSE(port.Opened());
    EXPECT_FALSE(out.IsOpen(handle));
    ASSERT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::Close));
    EXPECT_EQ(out.Calls()[1].Handle, handle);
}

TEST(TMidiOutput, CloseOnClosedPortDoesNothing) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    port.Close();
    out.Clear();
    out.RefuseClose(1); // would fail if the service were asked
    EXPECT_NO_THROW(port.Close());
    TMidiOutput never(0, false, out);
    EXPECT_NO_THROW(never.Close());
    EXPECT_THAT(out.Calls(), IsEmpty());
}

TEST(TMidiOutput, RefusedCloseNamesCodeAndTextAndKeepsPortOpen) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    out.RefuseClose(67);
    EXPECT_EQ(ErrorOf([&] { port.Close(); }),
              "Couldn't close MIDI output: error 67 (Unknown error)");
    EXPECT_TRUE(port.Opened());
    // Still open, so it still sends.
    port.NoteOff(0, 60);
    EXPECT_THAT(out.MessageValues(), ElementsAre(0x00003C80u));
    out.RefuseClose(0);
    port.Close();
    EXPECT_FALSE(port.Opened());
}

TEST(TMidiOutput, OpenOnOpenPortClosesThenReopens) {
    RecordingMidiOut out;
    TMidiOutput port(4, true, out);
    const MidiOutHandle first = port.Handle();
    port.Open();
    EXPECT_TRUE(port.Opened());
    ASSERT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::Close, Kind::Open));
    EXPECT_EQ(out.Calls()[1].Handle, first);
    EXPECT_EQ(out.Calls()[2].DeviceId, 4u);
    EXPECT_EQ(port.Handle(), out.Calls()[2].Handle);
    EXPECT_EQ(out.OpenCount(), 1u);
}

TEST(TMidiOutput, OpenOnOpenPortWhoseCloseIsRefusedFailsWithTheCloseError) {
    RecordingMidiOut out;
    TMidiOutput port(0, true, out);
    const MidiOutHandle handle = port.Handle();
    out.RefuseClose(5);
    EXPECT_EQ(ErrorOf([&] { port.Open(); }),
              "Couldn't close MIDI output: error 5 (Device handle is invalid)");
    EXPECT_TRUE(port.Opened());
    EXPECT_EQ(port.Handle(), handle);
    EXPECT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::Close));
}

TEST(TMidiOutput, DestructionClosesAnOpenPort) {
    RecordingMidiOut out;
    MidiOutHandle handle = 0;
    {
        TMidiOutput port(0, true, out);
        handle = port.Handle();
    }
    EXPECT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::Close));
    EXPECT_FALSE(out.IsOpen(handle));
    { TMidiOutput closed(0, false, out); }
    EXPECT_EQ(out.Calls().size(), 2u);
}

TEST(TMidiOutput, DestructionSwallowsRefusedClose) {
    RecordingMidiOut out;
    {
        TMidiOutput port(0, true, out);
        out.RefuseClose(1);
    }
    ASSERT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::Close));
    EXPECT_EQ(out.Calls()[1].Result, 1u);
}

TEST(TMidiOutput, UsesTheInstalledDefaultService) {
    RecordingMidiOut out;
    {
        ScopedDefaultMidiOutService use(out);
        TMidiOutput port(0, true);
        port.NoteOn(0, 60, 127);
    }
    EXPECT_THAT(KindsOf(out.Calls()), ElementsAre(Kind::Open, Kind::ShortMsg, Kind::Close));
    // Once uninstalled, a port gets the service without devices.
    EXPECT_EQ(ErrorOf([] { TMidiOutput port(0, true); }),
              "Couldn't open MIDI output: error 6 (No device driver present)");
}

} // namespace
} // namespace kadrel
