#pragma once

#include <cstdint>

namespace kadrel {

// One open device of the system's MIDI output: closed by destroying it.
class OutputDevice {
public:
    virtual ~OutputDevice() = default;
    // Sends one packed short message at once; returns a MidiResult code.
    virtual std::uint32_t Send(std::uint32_t msg) = 0;
};

} // namespace kadrel
