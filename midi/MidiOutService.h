#pragma once

#include <cstddef>
#include <cstdint>

namespace kadrel {

// An open output device as the service that opened it knows it; means nothing to another one.
using MidiOutHandle = std::uintptr_t;

// The result codes that output services return, numbered like the system codes whose texts
// MidiErrorText gives. Only these are used by Kadrel's own services.
namespace MidiResult {
inline constexpr std::uint32_t NoError = 0;
inline constexpr std::uint32_t Unspecified = 1;   // a library failed in a way we did not expect
inline constexpr std::uint32_t BadDeviceId = 2;   // no device bears that number
inline constexpr std::uint32_t Allocated = 4;     // the device is already open
inline constexpr std::uint32_t InvalidHandle = 5; // not a handle of an open device
inline constexpr std::uint32_t NoDriver = 6;      // no audio output or no soundfont to be had
inline constexpr std::uint32_t NoMemory = 7;      // a library ran out of memory
inline constexpr std::uint32_t InvalidParam = 11; // not a complete MIDI short message
} // namespace MidiResult

// The system's MIDI output as the port sees it: numbered devices that are opened, sent packed
// short messages and closed. Every operation returns a result code, 0 on success, and throws
// nothing. Used from the user-interface thread only.
class MidiOutService {
public:
    virtual ~MidiOutService() = default;

    // Opens device deviceId (0 is the first device) and stores its handle.
    virtual std::uint32_t Open(std::uint32_t deviceId, MidiOutHandle& handle) = 0;
    // Sends one short message: status in bits 0..7, first data byte in bits 8..15, second in
    // bits 16..23. It is on its way when the call returns (a synthesizer sounds it a fixed
    // delay later, at the sample of the call's time); the caller does all the timing.
    virtual std::uint32_t ShortMsg(MidiOutHandle handle, std::uint32_t msg) = 0;
    // Sends one system-exclusive message, whole: F0, its data, F7. A device that takes none
    // passes it over.
    virtual std::uint32_t LongMsg(MidiOutHandle handle, const std::uint8_t* data,
                                  std::size_t size) {
        (void)handle;
        (void)data;
        (void)size;
        return MidiResult::NoError;
    }
    // Closes the device; the handle is not used again.
    virtual std::uint32_t Close(MidiOutHandle handle) = 0;
};

// The service that ports use unless they are given another: the one installed last, or, when
// none is installed, one that has no devices and refuses every open with NoDriver.
MidiOutService& DefaultMidiOutService();

// Installs the process-wide default service; nullptr goes back to the one without devices.
// The service must outlive every port created while it is installed.
void SetDefaultMidiOutService(MidiOutService* service);

// Installs a default service for the lifetime of the object and then puts the previous one
// back, so a test can give every port it creates a recording backend.
class ScopedDefaultMidiOutService {
public:
    explicit ScopedDefaultMidiOutService(MidiOutService& service);
    ~ScopedDefaultMidiOutService();
    ScopedDefaultMidiOutService(const ScopedDefaultMidiOutService&) = delete;
    ScopedDefaultMidiOutService& operator=(const ScopedDefaultMidiOutService&) = delete;

private:
    MidiOutService* previous_;
};

} // namespace kadrel
