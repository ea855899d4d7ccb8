#include "midi/devices/SynthesizerOutput.h"

#include "midi/MidiOutService.h"
#include "midi/devices/QuietLibraries.h"

#include <fluidsynth.h>

#include <algorithm>
#include <utility>

namespace kadrel {

namespace {

fluid_audio_driver_t* NewDriver(Synthesizer& synth) {
    const QuietLibraries quiet;
    return new_fluid_audio_driver(synth.Settings(), synth.Synth());
}

} // namespace

std::uint32_t SynthesizerOutput::Open(std::unique_ptr<OutputDevice>& device,
                                      const AudioSettings& audio) {
    // Cheap checks first: without a soundfont there is nothing to hear, whatever the output.
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    if (soundFonts.empty()) {
        return MidiResult::NoDriver;
    }

    std::unique_ptr<SynthesizerOutput> output(
        new SynthesizerOutput(std::make_unique<Synthesizer>(), audio.IdleRelease));
    fluid_settings_t* settings = output->synth_->Settings();
    fluid_settings_setint(settings, "audio.period-size", audio.PeriodFrames);
    fluid_settings_setint(settings, "audio.periods", audio.Periods);
    fluid_settings_setstr(settings, "audio.jack.id", "Kadrel");
    if (!audio.FileName.empty()) {
        fluid_settings_setstr(settings, "audio.file.name", audio.FileName.c_str());
        fluid_settings_setstr(settings, "audio.file.type", "raw");
        fluid_settings_setstr(settings, "audio.file.format", "s16");
    }

    // The output is found before the soundfont is loaded, so a machine without sound gives up
    // without reading the soundfont at all. The driver plays silence until the soundfont is in.
    // The driver that works stays in the settings, to take the output again after an idle time.
    for (const std::string& name : audio.Drivers) {
        fluid_settings_setstr(settings, "audio.driver", name.c_str());
        output->driver_ = NewDriver(*output->synth_);
        if (output->driver_ != nullptr) {
            break;
        }
    }
    if (output->driver_ == nullptr) {
        return MidiResult::NoDriver;
    }

    for (const std::string& path : soundFonts) {
        if (output->synth_->LoadSoundFont(path)) {
            output->lastSend_ = std::chrono::steady_clock::now();
            output->watch_ = std::thread([raw = output.get()] { raw->WatchIdle(); });
            device = std::move(output);
            return MidiResult::NoError;
        }
    }
    return MidiResult::NoDriver;
}

SynthesizerOutput::SynthesizerOutput(std::unique_ptr<Synthesizer> synth,
                                     std::chrono::milliseconds idleRelease)
    : synth_(std::move(synth)), idleRelease_(idleRelease) {}

SynthesizerOutput::~SynthesizerOutput() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watch_.joinable()) {
        watch_.join();
    }
    if (driver_ != nullptr) {
        delete_fluid_audio_driver(driver_);
    }
}

std::uint32_t SynthesizerOutput::Send(std::uint32_t msg) {
    const std::lock_guard lock(mutex_);
    if (driver_ == nullptr) {
        driver_ = NewDriver(*synth_);
        if (driver_ == nullptr) {
            return MidiResult::NoDriver;
        }
        wake_.notify_all();
    }
    lastSend_ = std::chrono::steady_clock::now();
    return synth_->ShortMsg(msg);
}

bool SynthesizerOutput::AudioRunning() const {
    const std::lock_guard lock(mutex_);
    return driver_ != nullptr;
}

void SynthesizerOutput::WatchIdle() {
    // A note may ring on well after the last message (a held note, a long release): the output
    // is kept while any voice sounds, and looked at again a little later.
    const auto recheck = std::min<std::chrono::milliseconds>(idleRelease_, std::chrono::seconds(1));
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (driver_ == nullptr) {
            wake_.wait(lock, [this] { return stopping_ || driver_ != nullptr; });
            continue;
        }
        const auto due = lastSend_ + idleRelease_;
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        if (fluid_synth_get_active_voice_count(synth_->Synth()) > 0) {
            wake_.wait_for(lock, recheck);
            continue;
        }
        // Deleting the driver stops its thread, which renders without this lock.
        delete_fluid_audio_driver(driver_);
        driver_ = nullptr;
    }
}

} // namespace kadrel
