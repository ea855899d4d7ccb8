#pragma once

#include "midi/MidiOutService.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kadrel {

// The text of a result code of the output service; every code above 20 is "Unknown error".
std::string MidiErrorText(std::uint32_t Code);

// The MIDI output port: opens one device of an output service, sends it note on, note off and
// program change as packed short messages, and closes it. Every failure throws Error with an
// English text; a code returned by the service is written in decimal with its MidiErrorText.
// Closed on creation; open from a successful Open to a successful Close.
class TMidiOutput {
public:
    // Stores the device number and opens the port at once when OpenNow is true, in which case
    // a refused opening throws the error of Open and no port is made. The service must outlive
    // the port.
    TMidiOutput(std::uint32_t DeviceID, bool OpenNow,
                MidiOutService& service = DefaultMidiOutService());
    // Closes an open port. A refused closing is swallowed (see the definition).
    ~TMidiOutput();

    TMidiOutput(const TMidiOutput&) = delete;
    TMidiOutput& operator=(const TMidiOutput&) = delete;

    // Opens device DeviceID, closing an open port first. Throws
    // Error("Couldn't open MIDI output: error <code> (<text>)") and leaves the port closed when
    // the service refuses; a refused closing first throws the closing error instead.
    void Open();
    // Does nothing on a closed port. Throws Error("Couldn't close MIDI output: error <code>
    // (<text>)") when the service refuses; the port then stays open.
    void Close();
    // Sends one packed short message. Throws Error("Couldn't send MIDI short message: output is
    // closed.") on a closed port, sending nothing, and Error("Couldn't send MIDI short message:
    // error <code> (<text>)") when the service refuses.
    void ShortMessage(std::uint32_t Msg);
    // Sends a system-exclusive message as a file holds it after its F0: its data, usually ending
    // with F7 (added when missing). Throws as ShortMessage does.
    void SysEx(const std::uint8_t* data, std::size_t size);

    // Channel 0..15; note, velocity and program 0..127, sent as given without masking. A
    // channel above 15 throws Error("Invalid MIDI channel: <channel>") before anything else,
    // open or not; otherwise these throw what ShortMessage throws.
    void NoteOn(std::uint8_t Channel, std::uint8_t Note, std::uint8_t Velocity);
    void NoteOff(std::uint8_t Channel, std::uint8_t Note); // velocity 0
    void ChangePatch(std::uint8_t Channel, std::uint8_t Patch);
    // A note off for every note number 0..127 in ascending order; the first failure ends it.
    void AllNotesOff(std::uint8_t Channel);

    bool Opened() const { return opened_; }
    std::uint32_t DeviceID() const { return deviceId_; }
    // The service's handle of the open device; meaningless while the port is closed.
    MidiOutHandle Handle() const { return handle_; }

private:
    void SendChannelMessage(std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                            std::uint8_t data2);

    MidiOutService& service_;
    MidiOutHandle handle_ = 0;
    bool opened_ = false;
    std::uint32_t deviceId_;
};

} // namespace kadrel
