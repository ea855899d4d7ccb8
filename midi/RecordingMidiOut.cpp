#include "midi/RecordingMidiOut.h"

#include <ios>
#include <ostream>

namespace kadrel {

namespace {

const char* KindName(RecordedCall::Kind kind) {
    switch (kind) {
    case RecordedCall::Kind::Open:
        return "Open";
    case RecordedCall::Kind::ShortMsg:
        return "ShortMsg";
    case RecordedCall::Kind::Close:
        return "Close";
    }
    return "?";
}

// 0x007F3C99 rather than 8338585: the bytes of a short message stay readable.
void WriteHex(std::ostream& out, std::uint32_t value) {
    const auto flags = out.flags();
    const auto fill = out.fill('0');
    out << "0x" << std::hex << std::uppercase;
    out.width(8);
    out << value;
    out.flags(flags);
    out.fill(fill);
}

} // namespace

std::ostream& operator<<(std::ostream& out, const RecordedMessage& message) {
    out << '{' << message.TimeMs << " ms, ";
    WriteHex(out, message.Msg);
    return out << '}';
}

std::ostream& operator<<(std::ostream& out, const RecordedCall& call) {
    out << '{' << KindName(call.What) << " at " << call.TimeMs << " ms";
    if (call.What == RecordedCall::Kind::Open) {
        out << ", device " << call.DeviceId;
    }
    out << ", handle " << call.Handle;
    if (call.What == RecordedCall::Kind::ShortMsg) {
        out << ", ";
        WriteHex(out, call.Msg);
    }
    return out << ", result " << call.Result << '}';
}

RecordingMidiOut::RecordingMidiOut(const Clock* clock)
    : clock_(clock != nullptr ? clock : &ownClock_) {}

std::uint32_t RecordingMidiOut::Record(RecordedCall call) {
    call.TimeMs = clock_->NowMs();
    calls_.push_back(call);
    return call.Result;
}

std::uint32_t RecordingMidiOut::Open(std::uint32_t deviceId, MidiOutHandle& handle) {
    RecordedCall call{.What = RecordedCall::Kind::Open, .DeviceId = deviceId};
    if (refuseOpen_ != MidiResult::NoError) {
        call.Result = refuseOpen_;
        return Record(call);
    }
    // Handles are never reused, so a port that sends on a stale handle is caught.
    handle = ++lastHandle_;
    open_.insert(handle);
    call.Handle = handle;
    return Record(call);
}

std::uint32_t RecordingMidiOut::ShortMsg(MidiOutHandle handle, std::uint32_t msg) {
    RecordedCall call{.What = RecordedCall::Kind::ShortMsg, .Handle = handle, .Msg = msg};
    if (!IsOpen(handle)) {
        call.Result = MidiResult::InvalidHandle;
    } else if (refuseSend_ != MidiResult::NoError) {
        call.Result = refuseSend_;
    }
    const std::uint32_t result = Record(call);
    if (result == MidiResult::NoError) {
        messages_.push_back({calls_.back().TimeMs, msg});
    }
    return result;
}

std::uint32_t RecordingMidiOut::LongMsg(MidiOutHandle handle, const std::uint8_t* data,
                                        std::size_t size) {
    if (!IsOpen(handle))
        return MidiResult::InvalidHandle;
    if (refuseSend_ != MidiResult::NoError)
        return refuseSend_;
    sysex_.push_back({clock_->NowMs(), std::vector<std::uint8_t>(data, data + size)});
    return MidiResult::NoError;
}

std::uint32_t RecordingMidiOut::Close(MidiOutHandle handle) {
    RecordedCall call{.What = RecordedCall::Kind::Close, .Handle = handle};
    if (!IsOpen(handle)) {
        call.Result = MidiResult::InvalidHandle;
    } else if (refuseClose_ != MidiResult::NoError) {
        call.Result = refuseClose_;
    } else {
        open_.erase(handle);
    }
    return Record(call);
}

std::vector<std::uint32_t> RecordingMidiOut::MessageValues() const {
    std::vector<std::uint32_t> values;
    values.reserve(messages_.size());
    for (const RecordedMessage& message : messages_) {
        values.push_back(message.Msg);
    }
    return values;
}

void RecordingMidiOut::Clear() {
    messages_.clear();
    calls_.clear();
    sysex_.clear();
}

} // namespace kadrel
