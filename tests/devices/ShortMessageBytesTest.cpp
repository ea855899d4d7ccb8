#include "midi/devices/ShortMessageBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrel {
namespace {

TEST(UnpackShortMessage, SplitsMessagesIntoTheirWireBytes) {
    struct Case {
        std::uint32_t msg;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {0x007F3C99, {0x99, 0x3C, 0x7F}}, // note on
        {0x00003C80, {0x80, 0x3C, 0x00}}, // note off
        {0x00407FA3, {0xA3, 0x7F, 0x40}}, // key pressure
        {0x000007BF, {0xBF, 0x07, 0x00}}, // control change
        {0x000005C2, {0xC2, 0x05}},       // program change: one data byte
        {0x007F05C2, {0xC2, 0x05}},       // ... whatever the unused byte holds
        {0x000040D0, {0xD0, 0x40}},       // channel pressure
        {0x004000E0, {0xE0, 0x00, 0x40}}, // pitch bend
        {0x000012F1, {0xF1, 0x12}},       // time code quarter frame
        {0x00017FF2, {0xF2, 0x7F, 0x01}}, // song position
        {0x000003F3, {0xF3, 0x03}},       // song select
        {0x000000F6, {0xF6}},             // tune request
        {0x00FFFFF8, {0xF8}},             // timing clock: data bytes ignored
        {0x000000FF, {0xFF}},             // system reset
        {0xAB003C80, {0x80, 0x3C, 0x00}}, // the top byte is not part of the message
    };
    for (const Case& c : cases) {
        const auto message = UnpackShortMessage(c.msg);
        ASSERT_TRUE(message.has_value()) << std::hex << c.msg;
        EXPECT_EQ(std::vector<std::uint8_t>(message->Bytes.begin(),
                                            message->Bytes.begin() + message->Size),
                  c.bytes)
            << std::hex << c.msg;
    }
}

TEST(UnpackShortMessage, RefusesWhatIsNoCompleteMessage) {
    const std::uint32_t refused[] = {
        0x00000000, 0x00407F3C, // running status: no status byte
        0x000000F0, 0x000000F7, // system exclusive cannot travel in a short message
        0x000000F4, 0x000000F5, // undefined system common
        0x00803C90, 0x007F8090, // velocity 128, note 128
        0x000080C0, 0x008000E0, // program 128, pitch bend with bit 7 in its second byte
        0x000080F1, 0x00807FF2, // system common with a data byte above 127
    };
    for (const std::uint32_t msg : refused) {
        EXPECT_FALSE(UnpackShortMessage(msg).has_value()) << std::hex << msg;
    }
}

} // namespace
} // namespace kadrel
