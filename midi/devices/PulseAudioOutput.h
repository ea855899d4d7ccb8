#pragma once

#include "midi/devices/AudioDriver.h"

#include <atomic>
#include <thread>

typedef struct pa_simple pa_simple;

namespace kadrel {

// Kadrel's own output to a PulseAudio sound server (or PipeWire's, which speaks the same). It
// renders a short period at a time but keeps several in the server's stream: the period sets
// the delay of every message, the stream's length how long the synthesizer may be held up on
// a busy machine before the sound breaks. (FluidSynth's driver keeps one period in the stream,
// so there the two go together.)
class PulseAudioOutput final : public AudioDriver {
public:
    // Connects to the default server and opens a stream of audio.Periods periods of
    // audio.PeriodFrames frames; null when there is no server to be had.
    static std::unique_ptr<AudioDriver> Open(const AudioSettings& audio, int sampleRate,
                                             RenderFunction render);
    ~PulseAudioOutput() override;

private:
    PulseAudioOutput(pa_simple* stream, int sampleRate, int periodFrames, RenderFunction render);
    void Run();

    pa_simple* const stream_;
    const int sampleRate_;
    const int periodFrames_;
    const RenderFunction render_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kadrel
