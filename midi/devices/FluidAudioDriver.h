#pragma once

#include "midi/devices/AudioDriver.h"

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;
typedef struct _fluid_hashtable_t fluid_settings_t;

namespace kadrel {

// One of FluidSynth's audio drivers (ALSA, JACK, PipeWire, ...) playing what a render function
// gives it.
class FluidAudioDriver final : public AudioDriver {
public:
    // Opens FluidSynth's driver called name with audio's period; null when it cannot be had.
    static std::unique_ptr<AudioDriver> Open(const std::string& name, const AudioSettings& audio,
                                             int sampleRate, RenderFunction render);
    ~FluidAudioDriver() override;

private:
    explicit FluidAudioDriver(RenderFunction render);
    static int Render(void* self, int frames, int effectCount, float* effects[], int outCount,
                      float* out[]);

    const RenderFunction render_;
    fluid_settings_t* settings_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
};

} // namespace kadrel
