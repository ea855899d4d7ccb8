#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kadrel {

// Where the built-in synthesizer's sound goes.
struct AudioSettings {
    // The audio outputs tried in turn: the desktop's sound server first, the bare sound card
    // after it.
    std::vector<std::string> Drivers = {"pipewire", "pulseaudio", "alsa", "jack"};
    // For the "file" output: the file that receives the sound, as raw interleaved stereo
    // 16-bit samples, written in real time.
    std::string FileName;
    // The sound is rendered PeriodFrames at a time (5.8 ms at 256 frames), which is also the
    // delay that every message gets so as to be heard at its own sample. The output holds
    // Periods periods (23 ms): enough for the synthesizer to keep up on a machine whose cores
    // are all busy, little enough for a click to sound within 40 ms.
    int PeriodFrames = 256;
    int Periods = 4;
    // After this long with nothing sent and no note sounding, the audio output is given back,
    // so that an idle editor keeps neither the processor nor the sound server busy rendering
    // silence; the next message takes it again.
    std::chrono::milliseconds IdleRelease{10000};
};

// Renders the next frames of sound, one float sample per frame into each channel.
using RenderFunction = std::function<void(float* left, float* right, int frames)>;

// An audio output. From its creation to its destruction a thread of its own asks a render
// function for sound and plays it; destruction stops that thread and waits for it.
class AudioDriver {
public:
    virtual ~AudioDriver() = default;
};

// Opens the audio output called name (one of AudioSettings::Drivers' names) for sound at
// sampleRate frames per second, rendered by render. "pulseaudio" and "file" are Kadrel's own
// outputs, every other name is FluidSynth's audio driver of that name. Null when the output
// cannot be had.
std::unique_ptr<AudioDriver> OpenAudioDriver(const std::string& name, const AudioSettings& audio,
                                             int sampleRate, RenderFunction render);

// Gives the calling thread the real-time scheduling that audio threads get, where the system
// allows it (as FluidSynth's drivers ask for); otherwise leaves it as it is.
void UseAudioThreadPriority();

} // namespace kadrel
