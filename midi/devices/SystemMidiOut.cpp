#include "midi/devices/SystemMidiOut.h"

#include "midi/devices/SystemMidiPort.h"

#include <exception>
#include <new>
#include <utility>

namespace kadrel {

SystemMidiOut::SystemMidiOut(AudioSettings audio) : audio_(std::move(audio)) {}

SystemMidiOut::~SystemMidiOut() = default;

std::uint32_t SystemMidiOut::Open(std::uint32_t deviceId, MidiOutHandle& handle) {
    for (const auto& [openHandle, open] : open_) {
        if (open.DeviceId == deviceId) {
            return MidiResult::Allocated;
        }
    }
    std::unique_ptr<OutputDevice> device;
    std::uint32_t result = MidiResult::Unspecified;
    // The service answers with codes only: whatever a library throws becomes one.
    try {
        result = deviceId == 0 ? SynthesizerOutput::Open(device, audio_)
                               : SystemMidiPort::Open(deviceId - 1, device);
    } catch (const std::bad_alloc&) {
        return MidiResult::NoMemory;
    } catch (const std::exception&) {
        return MidiResult::Unspecified;
    }
    if (result != MidiResult::NoError) {
        return result;
    }
    handle = ++lastHandle_;
    open_.emplace(handle, OpenDevice{deviceId, std::move(device)});
    return MidiResult::NoError;
}

std::uint32_t SystemMidiOut::ShortMsg(MidiOutHandle handle, std::uint32_t msg) {
    OutputDevice* device = Device(handle);
    return device != nullptr ? device->Send(msg) : MidiResult::InvalidHandle;
}

std::uint32_t SystemMidiOut::LongMsg(MidiOutHandle handle, const std::uint8_t* data,
                                     std::size_t size) {
    OutputDevice* device = Device(handle);
    return device != nullptr ? device->SendSysEx(data, size) : MidiResult::InvalidHandle;
}

std::uint32_t SystemMidiOut::Close(MidiOutHandle handle) {
    return open_.erase(handle) != 0 ? MidiResult::NoError : MidiResult::InvalidHandle;
}

OutputDevice* SystemMidiOut::Device(MidiOutHandle handle) const {
    const auto found = open_.find(handle);
    return found != open_.end() ? found->second.Device.get() : nullptr;
}

} // namespace kadrel
