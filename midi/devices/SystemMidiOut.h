#pragma once

#include "midi/MidiOutService.h"
#include "midi/devices/OutputDevice.h"
#include "midi/devices/SynthesizerOutput.h"

#include <cstdint>
#include <map>
#include <memory>

namespace kadrel {

// The system's MIDI output as Kadrel offers it: device 0 is the built-in synthesizer playing
// to the default audio output, devices 1, 2, ... are the system's MIDI output ports in the
// order SystemMidiPort::PortNames lists them. Result codes:
//   BadDeviceId  no device bears that number
//   Allocated    the device is already open (each device opens once at a time)
//   NoDriver     device 0 without a General MIDI soundfont or without any audio output
//   InvalidHandle  a handle that is not open
//   InvalidParam   a value that holds no complete MIDI message
//   Unspecified  a sound library failed otherwise; NoMemory when it ran out of memory
// The program installs one as the default service for the lifetime of its windows.
class SystemMidiOut final : public MidiOutService {
public:
    // audio says where device 0 sounds: the default audio output unless a test says otherwise.
    explicit SystemMidiOut(AudioSettings audio = {});
    // Closes whatever is still open.
    ~SystemMidiOut() override;
    SystemMidiOut(const SystemMidiOut&) = delete;
    SystemMidiOut& operator=(const SystemMidiOut&) = delete;

    std::uint32_t Open(std::uint32_t deviceId, MidiOutHandle& handle) override;
    std::uint32_t ShortMsg(MidiOutHandle handle, std::uint32_t msg) override;
    std::uint32_t LongMsg(MidiOutHandle handle, const std::uint8_t* data,
                          std::size_t size) override;
    std::uint32_t Close(MidiOutHandle handle) override;

private:
    // The open device behind handle, or null.
    OutputDevice* Device(MidiOutHandle handle) const;

    struct OpenDevice {
        std::uint32_t DeviceId;
        std::unique_ptr<OutputDevice> Device;
    };
    AudioSettings audio_;
    std::map<MidiOutHandle, OpenDevice> open_;
    MidiOutHandle lastHandle_ = 0;
};

} // namespace kadrel
