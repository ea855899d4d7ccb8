#include "midi/devices/FluidAudioDriver.h"

#include <fluidsynth.h>

#include <algorithm>
#include <utility>

namespace kadrel {

std::unique_ptr<AudioDriver> FluidAudioDriver::Open(const std::string& name,
                                                    const AudioSettings& audio, int sampleRate,
                                                    RenderFunction render) {
    std::unique_ptr<FluidAudioDriver> driver(new FluidAudioDriver(std::move(render)));
    driver->settings_ = new_fluid_settings();
    if (driver->settings_ == nullptr) {
        return nullptr;
    }
    fluid_settings_t* settings = driver->settings_;
    fluid_settings_setstr(settings, "audio.driver", name.c_str());
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings, "audio.period-size", audio.PeriodFrames);
    fluid_settings_setint(settings, "audio.periods", std::max(audio.Periods, 2));
    fluid_settings_setstr(settings, "audio.jack.id", "Kadrel");
    // The driver's thread may ask for sound before this returns: the object is complete.
    driver->driver_ = new_fluid_audio_driver2(settings, &FluidAudioDriver::Render, driver.get());
    if (driver->driver_ == nullptr) {
        return nullptr;
    }
    return driver;
}

FluidAudioDriver::FluidAudioDriver(RenderFunction render) : render_(std::move(render)) {}

FluidAudioDriver::~FluidAudioDriver() {
    if (driver_ != nullptr) {
        delete_fluid_audio_driver(driver_);
    }
    if (settings_ != nullptr) {
        delete_fluid_settings(settings_);
    }
}

int FluidAudioDriver::Render(void* self, int frames, int, float*[], int outCount, float* out[]) {
    if (outCount < 2) {
        return FLUID_FAILED;
    }
    static_cast<FluidAudioDriver*>(self)->render_(out[0], out[1], frames);
    return FLUID_OK;
}

} // namespace kadrel
