#include "midi/devices/SystemMidiPort.h"

#include "midi/MidiOutService.h"
#include "midi/devices/QuietLibraries.h"
#include "midi/devices/ShortMessageBytes.h"

#include <rtmidi/RtMidi.h>

#include <utility>

namespace kadrel {

namespace {

constexpr const char* clientName = "Kadrel";

// RtMidi's client on the first MIDI system with output ports, or null when none has any.
// RtMidi's own choice would give up at the first system that fails to start (no ALSA sequencer
// in a container, say) without looking at the next one.
std::unique_ptr<RtMidiOut> FirstSystemWithPorts() {
    const QuietLibraries quiet;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (const RtMidi::Api api : apis) {
        try {
            auto out = std::make_unique<RtMidiOut>(api, clientName);
            if (out->getPortCount() > 0) {
                return out;
            }
        } catch (const RtMidiError&) {
        }
    }
    return nullptr;
}

} // namespace

std::vector<std::string> SystemMidiPort::PortNames() {
    const QuietLibraries quiet; // RtMidi talks when its client goes, too
    std::vector<std::string> names;
    const std::unique_ptr<RtMidiOut> out = FirstSystemWithPorts();
    if (out != nullptr) {
        for (unsigned int port = 0; port < out->getPortCount(); ++port) {
            names.push_back(out->getPortName(port));
        }
    }
    return names;
}

std::uint32_t SystemMidiPort::Open(std::uint32_t index, std::unique_ptr<OutputDevice>& device) {
    const QuietLibraries quiet;
    std::unique_ptr<RtMidiOut> out = FirstSystemWithPorts();
    if (out == nullptr || index >= out->getPortCount()) {
        return MidiResult::BadDeviceId;
    }
    std::unique_ptr<SystemMidiPort> port(new SystemMidiPort(std::move(out)));
    port->out_->openPort(index, clientName);
    if (port->failed_ || !port->out_->isPortOpen()) {
        return MidiResult::Unspecified;
    }
    device = std::move(port);
    return MidiResult::NoError;
}

SystemMidiPort::SystemMidiPort(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {
    // Errors come back through the callback rather than as exceptions or lines on std::cerr.
    out_->setErrorCallback(
        [](RtMidiError::Type type, const std::string&, void* self) {
            if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) {
                static_cast<SystemMidiPort*>(self)->failed_ = true;
            }
        },
        this);
}

SystemMidiPort::~SystemMidiPort() {
    const QuietLibraries quiet;
    out_.reset();
}

std::uint32_t SystemMidiPort::Send(std::uint32_t msg) {
    const auto message = UnpackShortMessage(msg);
    if (!message) {
        return MidiResult::InvalidParam;
    }
    failed_ = false;
    out_->sendMessage(message->Bytes.data(), message->Size);
    return failed_ ? MidiResult::Unspecified : MidiResult::NoError;
}

std::uint32_t SystemMidiPort::SendSysEx(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || data[0] != 0xF0 || data[size - 1] != 0xF7) {
        return MidiResult::InvalidParam;
    }
    failed_ = false;
    out_->sendMessage(data, size);
    return failed_ ? MidiResult::Unspecified : MidiResult::NoError;
}

} // namespace kadrel
