#include "midi/devices/ShortMessageBytes.h"

namespace kadrel {

namespace {

// Bytes in a message with this status, status included; 0 for one a short message cannot be.
std::size_t MessageSize(std::uint8_t status) {
    if (status < 0x80) {
        return 0;
    }
    if (status < 0xF0) {
        const std::uint8_t kind = status & 0xF0;
        return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
    }
    switch (status) {
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 2;
    case 0xF2: // song position
        return 3;
    case 0xF0: // system exclusive cannot travel in a short message
    case 0xF4:
    case 0xF5:
    case 0xF7:
        return 0;
    default: // tune request and real-time messages
        return 1;
    }
}

} // namespace

std::optional<ShortMessageBytes> UnpackShortMessage(std::uint32_t msg) {
    ShortMessageBytes message;
    message.Bytes = {static_cast<std::uint8_t>(msg), static_cast<std::uint8_t>(msg >> 8),
                     static_cast<std::uint8_t>(msg >> 16)};
    message.Size = MessageSize(message.Bytes[0]);
    if (message.Size == 0) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < message.Size; ++i) {
        if (message.Bytes[i] > 127) {
            return std::nullopt;
        }
    }
    // Unused bytes read as zero so that equal messages compare equal.
    for (std::size_t i = message.Size; i < message.Bytes.size(); ++i) {
        message.Bytes[i] = 0;
    }
    return message;
}

} // namespace kadrel
