#include "midi/devices/Synthesizer.h"

#include "midi/MidiOutService.h"
#include "midi/devices/QuietLibraries.h"
#include "midi/devices/ShortMessageBytes.h"

#include <fluidsynth.h>

#include <filesystem>
#include <new>

namespace kadrel {

Synthesizer::Synthesizer() {
    const QuietLibraries quiet;
    settings_ = new_fluid_settings();
    if (settings_ == nullptr) {
        throw std::bad_alloc();
    }
    fluid_settings_setnum(settings_, "synth.sample-rate", SampleRate);
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr) {
        delete_fluid_settings(settings_);
        throw std::bad_alloc();
    }
}

Synthesizer::~Synthesizer() {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

std::vector<std::string> Synthesizer::SoundFontCandidates(const std::string& folder) {
    std::vector<std::string> found;
    for (const char* name : {"default-GM.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"}) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) {
            found.push_back(path.string());
        }
    }
    return found;
}

bool Synthesizer::LoadSoundFont(const std::string& path) {
    // SoundFont 2 files only: FluidSynth hands anything else to its DLS reader, which
    // complains on the terminal about a file that is neither.
    if (!fluid_is_soundfont(path.c_str())) {
        return false;
    }
    const QuietLibraries quiet;
    return fluid_synth_sfload(synth_, path.c_str(), 1) != FLUID_FAILED;
}

std::uint32_t Synthesizer::ShortMsg(std::uint32_t msg) {
    const auto message = UnpackShortMessage(msg);
    if (!message) {
        return MidiResult::InvalidParam;
    }
    const int status = message->Bytes[0];
    const int channel = status & 0x0F;
    const int data1 = message->Bytes[1];
    const int data2 = message->Bytes[2];
    // FluidSynth's own failures are not errors of the message: a note off for a note that is
    // not sounding, or a program that the soundfont lacks, simply changes nothing.
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth_, channel, data1);
        break;
    case 0x90:
        fluid_synth_noteon(synth_, channel, data1, data2); // velocity 0 is a note off
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth_, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth_, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth_, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth_, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth_, channel, data1 + data2 * 128);
        break;
    default:
        if (status == 0xFF) {
            fluid_synth_system_reset(synth_);
        }
        break;
    }
    return MidiResult::NoError;
}

void Synthesizer::Render(float* left, float* right, int frames) {
    fluid_synth_write_float(synth_, frames, left, 0, 1, right, 0, 1);
}

} // namespace kadrel
