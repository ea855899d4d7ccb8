#pragma once

#include "midi/devices/OutputDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

namespace kadrel {

// Devices 1, 2, ...: the system's MIDI output ports (hardware interfaces, software synthesizers
// listening on the system's MIDI bus), through RtMidi.
class SystemMidiPort final : public OutputDevice {
public:
    // The names of the system's output ports, in the order RtMidi lists them: those of the
    // first MIDI system that has any (ALSA before JACK on Linux). Empty when there are none.
    static std::vector<std::string> PortNames();

    // Opens port index of PortNames. Returns BadDeviceId when there is no such port and
    // Unspecified when RtMidi fails to open it; device is set on NoError only.
    static std::uint32_t Open(std::uint32_t index, std::unique_ptr<OutputDevice>& device);

    ~SystemMidiPort() override;

    std::uint32_t Send(std::uint32_t msg) override;
    std::uint32_t SendSysEx(const std::uint8_t* data, std::size_t size) override;

private:
    explicit SystemMidiPort(std::unique_ptr<RtMidiOut> out);

    std::unique_ptr<RtMidiOut> out_;
    bool failed_ = false; // set by RtMidi's error callback
};

} // namespace kadrel
