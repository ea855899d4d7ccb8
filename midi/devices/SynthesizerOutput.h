#pragma once

#include "midi/devices/AudioDriver.h"
#include "midi/devices/MessageScheduler.h"
#include "midi/devices/OutputDevice.h"
#include "midi/devices/Synthesizer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kadrel {

// Device 0: the built-in synthesizer playing to an audio output. Every message is heard at its
// own sample, one period of the output after it was sent (see MessageScheduler).
class SynthesizerOutput final : public OutputDevice {
public:
    // Opens the synthesizer on the first audio output of audio that works and loads the
    // system's General MIDI soundfont into it. Returns NoDriver when there is no soundfont or
    // no working output; device is set on NoError only. Throws std::bad_alloc when FluidSynth
    // cannot make a synthesizer.
    static std::uint32_t Open(std::unique_ptr<OutputDevice>& device,
                              const AudioSettings& audio = {});

    ~SynthesizerOutput() override;

    // Queues msg to be played at the sample of the time of the call; takes the audio output
    // again first when it was given back. InvalidParam for a value that holds no complete
    // message (see UnpackShortMessage), NoDriver when the output cannot be had any more and
    // NoMemory when too many messages wait already, with nothing played in each case.
    std::uint32_t Send(std::uint32_t msg) override;
    // Given to the synthesizer at once (a sysex sets its state; it sounds nothing by itself).
    std::uint32_t SendSysEx(const std::uint8_t* data, std::size_t size) override;

    // True while the audio output is held (the synthesizer renders into it).
    bool AudioRunning() const;

private:
    SynthesizerOutput(std::unique_ptr<Synthesizer> synth, const AudioSettings& audio);

    // Opens the audio output named driverName_ as a new stream of the scheduler; null when it
    // cannot be had. Called without the lock: it may take a while.
    std::unique_ptr<AudioDriver> StartDriver();

    // Gives the audio output back once it has been idle long enough; runs until destruction.
    void WatchIdle();

    const std::unique_ptr<Synthesizer> synth_;
    const AudioSettings audio_;
    MessageScheduler scheduler_;
    std::string driverName_;                // the output that worked at the opening
    std::atomic<std::uint64_t> streams_{0}; // audio outputs opened so far

    mutable std::mutex mutex_; // guards what follows, shared with the idle watch
    std::condition_variable wake_;
    std::unique_ptr<AudioDriver> driver_; // stops before the synthesizer it reads from goes
    std::chrono::steady_clock::time_point lastSend_;
    bool stopping_ = false;
    std::thread watch_;
};

} // namespace kadrel
