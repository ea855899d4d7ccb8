#pragma once

#include <cstdint>
#include <string>
#include <vector>

// FluidSynth's own types, declared as its headers do, so that users of this header need not
// see FluidSynth.
typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace kadrel {

// Kadrel's built-in General MIDI synthesizer, without any audio output of its own: it takes
// short messages and renders them into sample buffers on request. SynthesizerOutput plays it
// to the sound card; tests render it offline.
class Synthesizer {
public:
    static constexpr int SampleRate = 44100; // frames per second of the rendered sound

    // The folder where Debian's General MIDI soundfonts go.
    static constexpr const char* SoundFontFolder = "/usr/share/sounds/sf2";

    // A synthesizer with no soundfont, which sounds nothing yet. Throws std::bad_alloc when
    // FluidSynth cannot make one.
    Synthesizer();
    ~Synthesizer();
    Synthesizer(const Synthesizer&) = delete;
    Synthesizer& operator=(const Synthesizer&) = delete;

    // The General MIDI soundfonts present in folder, best first: the system's chosen one
    // (default-GM.sf2), then TimGM6mb.sf2 and FluidR3_GM.sf2.
    static std::vector<std::string>
    SoundFontCandidates(const std::string& folder = SoundFontFolder);

    // Loads a SoundFont 2 file and selects its presets on every channel; false when it is no
    // such file or cannot be read. Samples are read from the file only when a preset that needs
    // them is selected, which keeps opening quick with the large soundfonts.
    bool LoadSoundFont(const std::string& path);

    // Plays one packed short message at once: note on, note off, program change, control
    // change, pitch bend, channel and key pressure; system reset resets the synthesizer and
    // other system messages are ignored. Returns a MidiResult code: InvalidParam for a value
    // that holds no complete message (see UnpackShortMessage), otherwise NoError.
    std::uint32_t ShortMsg(std::uint32_t msg);

    // Renders the next frames of sound, one float sample per frame into each channel.
    void Render(float* left, float* right, int frames);

    fluid_settings_t* Settings() const { return settings_; }
    fluid_synth_t* Synth() const { return synth_; }

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

} // namespace kadrel
