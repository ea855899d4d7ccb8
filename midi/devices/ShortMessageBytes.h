#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kadrel {

// The bytes of one MIDI message as they go down a wire: the status byte and its data bytes.
struct ShortMessageBytes {
    std::array<std::uint8_t, 3> Bytes{};
    std::size_t Size = 0; // 1..3
};

// Takes a packed short message (status in bits 0..7, data bytes in bits 8..15 and 16..23;
// bits 24..31 are ignored) apart. Nothing when it holds no complete message that fits a short
// message: a status below 0x80 (running status), system exclusive 0xF0 and 0xF7, the undefined
// 0xF4 and 0xF5, or a data byte above 127.
std::optional<ShortMessageBytes> UnpackShortMessage(std::uint32_t msg);

} // namespace kadrel
