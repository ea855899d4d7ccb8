#include "midi/devices/SynthesizerOutput.h"

#include "midi/MidiOutService.h"
#include "midi/devices/QuietLibraries.h"

#include <fluidsynth.h>

#include <utility>

namespace kadrel {

namespace {

// Notes start on 30 ms steps, so the sound card's buffer must be well below that: two periods
// of 256 frames are 12 ms at 44.1 kHz.
constexpr int periodFrames = 256;
constexpr int periods = 2;

} // namespace

std::uint32_t SynthesizerOutput::Open(std::unique_ptr<OutputDevice>& device,
                                      const AudioSettings& audio) {
    // Cheap checks first: without a soundfont there is nothing to hear, whatever the output.
    const std::vector<std::string> soundFonts = Synthesizer::SoundFontCandidates();
    if (soundFonts.empty()) {
        return MidiResult::NoDriver;
    }

    std::unique_ptr<SynthesizerOutput> output(
        new SynthesizerOutput(std::make_unique<Synthesizer>()));
    fluid_settings_t* settings = output->synth_->Settings();
    fluid_settings_setint(settings, "audio.period-size", periodFrames);
    fluid_settings_setint(settings, "audio.periods", periods);
    fluid_settings_setstr(settings, "audio.jack.id", "Kadrel");
    if (!audio.FileName.empty()) {
        fluid_settings_setstr(settings, "audio.file.name", audio.FileName.c_str());
        fluid_settings_setstr(settings, "audio.file.type", "raw");
        fluid_settings_setstr(settings, "audio.file.format", "s16");
    }

    // The output is found before the soundfont is loaded, so a machine without sound gives up
    // without reading the soundfont at all. The driver plays silence until the soundfont is in.
    {
        const QuietLibraries quiet;
        for (const std::string& name : audio.Drivers) {
            fluid_settings_setstr(settings, "audio.driver", name.c_str());
            output->driver_ = new_fluid_audio_driver(settings, output->synth_->Synth());
            if (output->driver_ != nullptr) {
                break;
            }
        }
    }
    if (output->driver_ == nullptr) {
        return MidiResult::NoDriver;
    }

    for (const std::string& path : soundFonts) {
        if (output->synth_->LoadSoundFont(path)) {
            device = std::move(output);
            return MidiResult::NoError;
        }
    }
    return MidiResult::NoDriver;
}

SynthesizerOutput::SynthesizerOutput(std::unique_ptr<Synthesizer> synth)
    : synth_(std::move(synth)) {}

SynthesizerOutput::~SynthesizerOutput() {
    if (driver_ != nullptr) {
        delete_fluid_audio_driver(driver_);
    }
}

std::uint32_t SynthesizerOutput::Send(std::uint32_t msg) {
    return synth_->ShortMsg(msg);
}

} // namespace kadrel
