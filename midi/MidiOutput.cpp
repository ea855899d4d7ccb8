#include "midi/MidiOutput.h"

#include <vector>

#include "util/Error.h"

#include <array>

namespace kadrel {

namespace {

constexpr std::array<const char*, 21> errorTexts = {
    "No error",
    "Unspecified error",
    "Device ID out of range",
    "Driver failed enable",
    "Device already allocated",
    "Device handle is invalid",
    "No device driver present",
    "Memory allocation error",
    "Function isn't supported",
    "Error value out of range",
    "Invalid flag passed",
    "Invalid parameter passed",
    "Handle being used simultaneously on another thread (eg callback)",
    "Specified alias not found",
    "Bad registry database",
    "Registry key not found",
    "Registry read error",
    "Registry write error",
    "Registry delete error",
    "Registry value not found",
    "Driver does not call DriverCallback",
};

// "<what>: error <code> (<text>)", the form of every failure that the service reports.
Error ServiceError(const char* what, std::uint32_t code) {
    return Error(std::string(what) + ": error " + std::to_string(code) + " (" +
                 MidiErrorText(code) + ")");
}

} // namespace

std::string MidiErrorText(std::uint32_t Code) {
    return Code < errorTexts.size() ? errorTexts[Code] : "Unknown error";
}

TMidiOutput::TMidiOutput(std::uint32_t DeviceID, bool OpenNow, MidiOutService& service)
    : service_(service), deviceId_(DeviceID) {
    if (OpenNow) {
        Open();
    }
}

TMidiOutput::~TMidiOutput() {
    // The port goes away with its owner, who has nobody left to show an error to; a device the
    // service would not close stays the service's business, so the error is dropped here.
    try {
        Close();
    } catch (const Error&) {
    }
}

void TMidiOutput::Open() {
    if (opened_) {
        Close();
    }
    const std::uint32_t result = service_.Open(deviceId_, handle_);
    opened_ = result == MidiResult::NoError;
    if (!opened_) {
        throw ServiceError("Couldn't open MIDI output", result);
    }
}

void TMidiOutput::Close() {
    if (!opened_) {
        return;
    }
    const std::uint32_t result = service_.Close(handle_);
    if (result != MidiResult::NoError) {
        throw ServiceError("Couldn't close MIDI output", result);
    }
    opened_ = false;
}

void TMidiOutput::ShortMessage(std::uint32_t Msg) {
    if (!opened_) {
        throw Error("Couldn't send MIDI short message: output is closed.");
    }
    const std::uint32_t result = service_.ShortMsg(handle_, Msg);
    if (result != MidiResult::NoError) {
        throw ServiceError("Couldn't send MIDI short message", result);
    }
}

void TMidiOutput::SysEx(const std::uint8_t* data, std::size_t size) {
    if (!opened_) {
        throw Error("Couldn't send MIDI system exclusive message: output is closed.");
    }
    std::vector<std::uint8_t> message;
    message.reserve(size + 2);
    message.push_back(0xF0);
    message.insert(message.end(), data, data + size);
    if (message.back() != 0xF7)
        message.push_back(0xF7);
    const std::uint32_t result = service_.LongMsg(handle_, message.data(), message.size());
    if (result != MidiResult::NoError) {
        throw ServiceError("Couldn't send MIDI system exclusive message", result);
    }
}

void TMidiOutput::SendChannelMessage(std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                                     std::uint8_t data2) {
    if (channel > 15) {
        throw Error("Invalid MIDI channel: " + std::to_string(channel));
    }
    // Data bytes go in unmasked: a value above 127 reaches the device as it is.
    const std::uint32_t msg = (status + channel) + data1 * 256u + data2 * 65536u;
    ShortMessage(msg);
}

void TMidiOutput::NoteOn(std::uint8_t Channel, std::uint8_t Note, std::uint8_t Velocity) {
    SendChannelMessage(0x90, Channel, Note, Velocity);
}

void TMidiOutput::NoteOff(std::uint8_t Channel, std::uint8_t Note) {
    SendChannelMessage(0x80, Channel, Note, 0);
}

void TMidiOutput::ChangePatch(std::uint8_t Channel, std::uint8_t Patch) {
    SendChannelMessage(0xC0, Channel, Patch, 0);
}

void TMidiOutput::AllNotesOff(std::uint8_t Channel) {
    for (int note = 0; note <= 127; ++note) {
        NoteOff(Channel, static_cast<std::uint8_t>(note));
    }
}

} // namespace kadrel
