#pragma once

#include "midi/devices/OutputDevice.h"
#include "midi/devices/Synthesizer.h"

#include <cstdint>
#include <memory>
#include <string>
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

    std::uint32_t Send(std::uint32_t msg) override;

private:
    explicit SynthesizerOutput(std::unique_ptr<Synthesizer> synth);

    std::unique_ptr<Synthesizer> synth_;
    fluid_audio_driver_t* driver_ = nullptr; // stops before the synthesizer it reads from goes
};

} // namespace kadrel
