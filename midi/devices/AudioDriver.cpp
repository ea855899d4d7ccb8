#include "midi/devices/AudioDriver.h"

#include "midi/devices/FileAudioOutput.h"
#include "midi/devices/FluidAudioDriver.h"
#include "midi/devices/PulseAudioOutput.h"

#include <pthread.h>
#include <sched.h>

#include <utility>

namespace kadrel {

std::unique_ptr<AudioDriver> OpenAudioDriver(const std::string& name, const AudioSettings& audio,
                                             int sampleRate, RenderFunction render) {
    if (name == "file") {
        return FileAudioOutput::Open(audio, sampleRate, std::move(render));
    }
    if (name == "pulseaudio") {
        return PulseAudioOutput::Open(audio, sampleRate, std::move(render));
    }
    return FluidAudioDriver::Open(name, audio, sampleRate, std::move(render));
}

void UseAudioThreadPriority() {
    // The priority FluidSynth's drivers ask for by default.
    sched_param param{};
    param.sched_priority = 60;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace kadrel
