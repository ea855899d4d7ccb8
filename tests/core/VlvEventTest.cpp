#include "Bytes.h"
#include "midi/MidiEvent.h"
#include "midi/Vlv.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace kadrel {
namespace {

using test::Bytes;
using test::Hex;

Bytes Stored(const vlv& v) {
    return Bytes(v.Bytes.data(), v.Bytes.data() + v.ByteCount());
}

TEST(Vlv, NewQuantityIsOneZeroByte) {
    const vlv v;
    EXPECT_EQ(v.ByteCount(), 1);
    EXPECT_EQ(v.GetValue(), 0u);
    EXPECT_EQ(Hex(Stored(v)), "00");
}

TEST(Vlv, SetValueGivesTheShortestEncodingAndGetValueGivesItBack) {
    struct Case {
        std::uint32_t value;
        const char* bytes;
    };
    const Case cases[] = {
        {0, "00"},
        {127, "7F"},
        {128, "81 00"},
        {8192, "C0 00"},
        {16383, "FF 7F"},
        {16384, "81 80 00"},
        {2097151, "FF FF 7F"},
        {2097152, "81 80 80 00"},
        {0x0FFFFFFF, "FF FF FF 7F"},
        {268435456, "81 80 80 80 00"},
        {0xFFFFFFFF, "8F FF FF FF 7F"},
        {0x80000000, "88 80 80 80 00"},
    };
    for (const auto& c : cases) {
        vlv v;
        v.SetValue(c.value);
        EXPECT_EQ(Hex(Stored(v)), c.bytes) << c.value;
        EXPECT_EQ(v.GetValue(), c.value) << c.value;
    }
}

TEST(Vlv, SetBytesStopsAfterTheFirstByteWithBit7Clear) {
    vlv v;
    v.SetBytes({0x81, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(v.ByteCount(), 2);
    EXPECT_EQ(v.GetValue(), 128u);

    v.SetBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(v.ByteCount(), 8);
    (void)v.GetValue(); // any value will do for malformed data, but it must not fail

    v.SetBytes({0x05, 0x81, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(v.ByteCount(), 1);
    EXPECT_EQ(v.GetValue(), 5u);
}

TEST(Vlv, AFiveByteQuantityKeepsThirtyTwoBits) {
    vlv v;
    v.SetBytes({0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0});
    EXPECT_EQ(v.GetValue(), 0xFFFFFFFFu); // the leading byte's top 3 bits fall off
}

TEST(Vlv, AnEarlyFinalByteIsReportedAndThePartialValueReturned) {
    std::vector<std::string> reports;
    const auto previous =
        SetWeirdThingNotifier([&](const std::string& text) { reports.push_back(text); });
    vlv v;
    v.Bytes.clear();
    for (std::uint8_t b : {0x81, 0x05, 0x83})
        v.Bytes.push_back(b);
    // shifts count from the last stored byte: 0x01 << 14 | 0x05 << 7
    EXPECT_EQ(v.GetValue(), (1u << 14) | (5u << 7));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Weird thing hapenned: 1 / 2");

    v.SetValue(300);
    reports.clear();
    EXPECT_EQ(v.GetValue(), 300u);
    EXPECT_TRUE(reports.empty());
    SetWeirdThingNotifier(previous);
}

TEST(Vlv, SwapBytes) {
    EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
    EXPECT_EQ(SwapBytes32(SwapBytes32(0xDEADBEEFu)), 0xDEADBEEFu);
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes16(SwapBytes16(0xBEEF)), 0xBEEF);
}

TEST(MidiEvent, NewEventsHaveTheirKindAndZeroFields) {
    const TMidiEndOfTrackEvent end;
    const TMidiNoteONEvent on;
    const TMidiNoteOFFEvent off;
    const TMidiChangePatchEvent patch;
    EXPECT_EQ(end.Status, 0x2F);
    EXPECT_TRUE(end.IsMeta);
    EXPECT_EQ(on.Status, 0x90);
    EXPECT_FALSE(on.IsMeta);
    EXPECT_EQ(off.Status, 0x80);
    EXPECT_EQ(patch.Status, 0xC0);
    EXPECT_EQ(on.Note, 0);
    EXPECT_EQ(on.Velocity, 0);
    EXPECT_EQ(on.Channel, 0);
    EXPECT_EQ(on.DeltaTime.GetValue(), 0u);
}

TEST(MidiEvent, WrittenBytesAndSize) {
    TMidiNoteONEvent on;
    on.Channel = 9;
    on.Note = 60;
    on.Velocity = 127;
    EXPECT_EQ(Hex(test::Written(on)), "00 99 3C 7F");
    EXPECT_EQ(on.Size(), 4);

    TMidiNoteOFFEvent off;
    off.DeltaTime.SetValue(16);
    off.Note = 60;
    EXPECT_EQ(Hex(test::Written(off)), "10 80 3C 00");
    EXPECT_EQ(off.Size(), 4);

    TMidiChangePatchEvent patch;
    patch.DeltaTime.SetValue(200);
    patch.Patch = 5;
    patch.Channel = 2;
    EXPECT_EQ(Hex(test::Written(patch)), "81 48 C2 05");
    EXPECT_EQ(patch.Size(), 4);

    const TMidiEndOfTrackEvent end;
    EXPECT_EQ(Hex(test::Written(end)), "00 FF 2F 00");
    // its delta time counts too, as in the chunk length of an empty track (00 00 00 04)
    EXPECT_EQ(end.Size(), 4);

    TMidiNoteONEvent longDelta;
    longDelta.DeltaTime.SetValue(0xFFFFFFFF);
    EXPECT_EQ(longDelta.Size(), 8);
    EXPECT_EQ(Hex(test::Written(longDelta)), "8F FF FF FF 7F 90 00 00");
}

TEST(MidiEvent, FieldsAreWrittenUnmasked) {
    // Callers keep channels within 0..15 and data within 0..127; the writer does not hide
    // a caller's mistake by masking.
    TMidiNoteONEvent on;
    on.Channel = 17;
    on.Note = 200;
    on.Velocity = 128;
    EXPECT_EQ(Hex(test::Written(on)), "00 91 C8 80");
}

TEST(MidiEvent, ReadFromStreamReadsOnlyTheDataBytes) {
    ByteStream offData(Bytes{0x3C, 0x40, 0x77});
    TMidiNoteOFFEvent off;
    off.ReadFromStream(offData);
    EXPECT_EQ(off.Note, 0x3C);
    EXPECT_EQ(offData.Position(), 2u); // the release velocity is consumed and dropped
    EXPECT_EQ(Hex(test::Written(off)), "00 80 3C 00");

    ByteStream onData(Bytes{0x40, 0x00});
    TMidiNoteONEvent on;
    on.ReadFromStream(onData);
    EXPECT_EQ(on.Note, 0x40);
    EXPECT_EQ(on.Velocity, 0);

    ByteStream patchData(Bytes{0x05, 0x06});
    TMidiChangePatchEvent patch;
    patch.ReadFromStream(patchData);
    EXPECT_EQ(patch.Patch, 5);
    EXPECT_EQ(patchData.Position(), 1u);

    ByteStream endData(Bytes{0x00, 0x4D});
    TMidiEndOfTrackEvent end;
    end.ReadFromStream(endData);
    EXPECT_EQ(endData.Position(), 1u);
}

TEST(MidiEvent, AReadAtTheEndOfTheDataLeavesTheFieldsAsTheyWere) {
    ByteStream oneByte(Bytes{0x3C});
    TMidiNoteONEvent on;
    on.Velocity = 99;
    on.ReadFromStream(oneByte);
    EXPECT_EQ(on.Note, 0x3C);
    EXPECT_EQ(on.Velocity, 99);
    EXPECT_TRUE(oneByte.AtEnd());
}

} // namespace
} // namespace kadrel

namespace kadrel {
namespace {

TEST(MidiEvent, ManyEventsCreatedAndFreedInAnyOrderKeepTheirOwnFields) {
    // Enough events to fill many allocation slabs, freed in a scattered order and replaced,
    // so that a slab given back or reused too early would show up as a changed field.
    std::mt19937 random(3);
    std::vector<std::unique_ptr<TMidiNoteONEvent>> events;
    auto make = [&](std::size_t i) {
        auto e = std::make_unique<TMidiNoteONEvent>();
        e->Note = static_cast<std::uint8_t>(i % 128);
        e->Velocity = static_cast<std::uint8_t>((i / 128) % 128);
        e->DeltaTime.SetValue(static_cast<std::uint32_t>(i));
        return e;
    };
    for (std::size_t i = 0; i < 50000; ++i)
        events.push_back(make(i));
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (random() % 3 == 0)
                events[i] = make(i);
        for (std::size_t i = 0; i < events.size(); ++i) {
            ASSERT_EQ(events[i]->Note, i % 128);
            ASSERT_EQ(events[i]->Velocity, (i / 128) % 128);
            ASSERT_EQ(events[i]->DeltaTime.GetValue(), i);
        }
    }
}

} // namespace
} // namespace kadrel
