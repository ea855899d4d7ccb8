#pragma once

#include <cstddef>
#include <cstdint>

namespace kadrel {

// One open device of the system's MIDI output: closed by destroying it.
class OutputDevice {
public:
    virtual ~OutputDevice() = default;
    // Sends one packed short message; returns a MidiResult code. What sounds it (device 0's
    // synthesizer) plays it a fixed delay after the call, at the sample of the call's time.
    virtual std::uint32_t Send(std::uint32_t msg) = 0;
    // Sends one whole system-exclusive message (F0 ... F7); returns a MidiResult code.
    virtual std::uint32_t SendSysEx(const std::uint8_t* data, std::size_t size) = 0;
};

} // namespace kadrel
