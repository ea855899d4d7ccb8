#include "midi/MidiOutService.h"

#include <atomic>

namespace kadrel {

namespace {

// What a program that installed no real service gets: no device at all, so the port's open
// error names the missing driver instead of crashing on a null service.
class NoDeviceMidiOut final : public MidiOutService {
public:
    std::uint32_t Open(std::uint32_t, MidiOutHandle&) override { return MidiResult::NoDriver; }
    std::uint32_t ShortMsg(MidiOutHandle, std::uint32_t) override {
        return MidiResult::InvalidHandle;
    }
    std::uint32_t Close(MidiOutHandle) override { return MidiResult::InvalidHandle; }
};

NoDeviceMidiOut noDevice;
std::atomic<MidiOutService*> installed{nullptr};

MidiOutService* Current() {
    MidiOutService* service = installed.load();
    return service != nullptr ? service : &noDevice;
}

} // namespace

MidiOutService& DefaultMidiOutService() {
    return *Current();
}

void SetDefaultMidiOutService(MidiOutService* service) {
    installed.store(service);
}

ScopedDefaultMidiOutService::ScopedDefaultMidiOutService(MidiOutService& service)
    : previous_(installed.exchange(&service)) {}

ScopedDefaultMidiOutService::~ScopedDefaultMidiOutService() {
    installed.store(previous_);
}

} // namespace kadrel
