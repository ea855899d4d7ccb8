#pragma once

#include "midi/MidiOutService.h"
#include "util/Clock.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <set>
#include <vector>

namespace kadrel {

// One short message that a recording backend accepted, with the clock's time when it came.
struct RecordedMessage {
    std::uint32_t TimeMs = 0;
    std::uint32_t Msg = 0;
    bool operator==(const RecordedMessage&) const = default;
};

// One call made to a recording backend, accepted or refused.
struct RecordedCall {
    enum class Kind { Open, ShortMsg, Close };
    Kind What = Kind::Open;
    std::uint32_t TimeMs = 0;
    std::uint32_t DeviceId = 0; // Open only
    MidiOutHandle Handle = 0;   // the handle given (Open: the one handed out, 0 when refused)
    std::uint32_t Msg = 0;      // ShortMsg only
    std::uint32_t Result = 0;   // the code returned
    bool operator==(const RecordedCall&) const = default;
};

// Readable test failures: messages in hex, calls by name.
std::ostream& operator<<(std::ostream& out, const RecordedMessage& message);
std::ostream& operator<<(std::ostream& out, const RecordedCall& call);

// An output service that sounds nothing and remembers everything, for tests: every accepted
// short message with its time, and every call in order. Any device number opens, any number of
// times, each open giving a new handle; a handle that is not open is refused with
// InvalidHandle. It can be told to refuse opens, sends or closes with a chosen code.
//
//     RecordingMidiOut out;
//     ScopedDefaultMidiOutService use(out); // every port created now records into out
class RecordingMidiOut final : public MidiOutService {
public:
    // Times come from clock, or from a SteadyClock of its own when clock is null.
    explicit RecordingMidiOut(const Clock* clock = nullptr);

    std::uint32_t Open(std::uint32_t deviceId, MidiOutHandle& handle) override;
    std::uint32_t ShortMsg(MidiOutHandle handle, std::uint32_t msg) override;
    // Kept apart from the short messages and the calls: accepted ones only, with their times.
    std::uint32_t LongMsg(MidiOutHandle handle, const std::uint8_t* data,
                          std::size_t size) override;
    std::uint32_t Close(MidiOutHandle handle) override;

    struct SysExMessage {
        std::uint32_t TimeMs = 0;
        std::vector<std::uint8_t> Bytes; // F0 ... F7
        bool operator==(const SysExMessage&) const = default;
    };
    const std::vector<SysExMessage>& SysExMessages() const { return sysex_; }

    // Accepted short messages, oldest first.
    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    // The same without their times.
    std::vector<std::uint32_t> MessageValues() const;
    // Every call, refused ones included, oldest first.
    const std::vector<RecordedCall>& Calls() const { return calls_; }
    // Forgets the messages and calls; open handles stay open and refusals stay set.
    void Clear();

    // From now on answer every open, send or close with code instead of doing it; 0 accepts
    // again. A refused call changes nothing but the record of calls.
    void RefuseOpen(std::uint32_t code) { refuseOpen_ = code; }
    void RefuseSend(std::uint32_t code) { refuseSend_ = code; }
    void RefuseClose(std::uint32_t code) { refuseClose_ = code; }

    // Takes times from clock from now on; null goes back to the backend's own SteadyClock.
    void SetClock(const Clock* clock) { clock_ = clock != nullptr ? clock : &ownClock_; }

    // Handles opened and not yet closed.
    std::size_t OpenCount() const { return open_.size(); }
    bool IsOpen(MidiOutHandle handle) const { return open_.count(handle) != 0; }

private:
    std::uint32_t Record(RecordedCall call);

    SteadyClock ownClock_;
    const Clock* clock_;
    std::vector<RecordedMessage> messages_;
    std::vector<RecordedCall> calls_;
    std::vector<SysExMessage> sysex_;
    std::set<MidiOutHandle> open_;
    MidiOutHandle lastHandle_ = 0;
    std::uint32_t refuseOpen_ = 0;
    std::uint32_t refuseSend_ = 0;
    std::uint32_t refuseClose_ = 0;
};

} // namespace kadrel
