#pragma once

#include <memory>

namespace kadrel {

// While it lives, the sound libraries print nothing: probing for an audio output or a MIDI port
// on a machine that lacks one is expected to fail, and those failures are reported as result
// codes instead of lines on the terminal. Covers ALSA's messages on this thread, RtMidi's (on
// std::cerr) and GLib's (FluidSynth's soundfont readers). FluidSynth's log and JACK's error and
// information messages are silenced for good by the first one. What the program itself writes
// on the terminal is left alone. Scopes may nest.
class QuietLibraries {
public:
    QuietLibraries();
    ~QuietLibraries();
    QuietLibraries(const QuietLibraries&) = delete;
    QuietLibraries& operator=(const QuietLibraries&) = delete;

private:
    struct Previous; // the handlers to put back
    std::unique_ptr<Previous> previous_;
};

} // namespace kadrel
