#pragma once

#include "midi/devices/OutputDevice.h"
#include "midi/devices/Synthesizer.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace kadrel {

// Where the built-in synthesizer's sound goes.
struct AudioSettings {
    // FluidSynth's audio drivers, tried in turn: the desktop's sound server first, the bare
    // sound card after it.
    std::vector<std::string> Drivers = {"pipewire", "pulseaudio", "alsa", "jack"};
    // For the "file" driver: the file that receives the sound, as raw interleaved stereo
    // 16-bit samples at Synthesizer::SampleRate.
    std::string FileName;
    // The output buffer, in frames per period and periods. A sound server's stream holds one
    // period (17 ms at 768 frames), a bare sound card all of them (35 ms): long enough for the
    // synthesizer to keep up on a machine whose cores are all busy, short enough for a click
    // to sound within 40 ms.
    int PeriodFrames = 768;
    int Periods = 2;
    // After this long with nothing sent and no note sounding, the audio output is given back,
    // so that an idle editor keeps neither the processor nor the sound server busy rendering
    // silence; the next message takes it again.
    std::chrono::milliseconds IdleRelease{10000};
};

// Device 0: the built-in synthesizer playing to an audio output.
class SynthesizerOutput final : public OutputDevice {
public:
    // Opens the synthesizer on the first audio driver of audio that works and loads the
    // system's General MIDI soundfont into it. Returns NoDriver when there is no soundfont or
    // no working driver; device is set on NoError only. Throws std::bad_alloc when FluidSynth
    // cannot make a synthesizer.
    static std::uint32_t Open(std::unique_ptr<OutputDevice>& device,
                              const AudioSettings& audio = {});

    ~SynthesizerOutput() override;

    // Plays msg; takes the audio output again first when it was given back. NoDriver, with
    // nothing played, when the output cannot be had any more.
    std::uint32_t Send(std::uint32_t msg) override;

    // True while the audio output is held (the synthesizer renders into it).
    bool AudioRunning() const;

private:
    SynthesizerOutput(std::unique_ptr<Synthesizer> synth, std::chrono::milliseconds idleRelease);

    // Gives the audio output back once it has been idle long enough; runs until destruction.
    void WatchIdle();

    std::unique_ptr<Synthesizer> synth_;
    const std::chrono::milliseconds idleRelease_;

    mutable std::mutex mutex_; // guards what follows, shared with the idle watch
    std::condition_variable wake_;
    fluid_audio_driver_t* driver_ = nullptr; // stops before the synthesizer it reads from goes
    std::chrono::steady_clock::time_point lastSend_;
    bool stopping_ = false;
    std::thread watch_;
};

} // namespace kadrel
