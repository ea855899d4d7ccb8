#pragma once

#include "midi/devices/AudioDriver.h"

#include <atomic>
#include <thread>

typedef struct pa_mainloop pa_mainloop;
typedef struct pa_context pa_context;
typedef struct pa_stream pa_stream;

namespace kadrel {

// Kadrel's own output to a PulseAudio sound server (or PipeWire's, which speaks the same). It
// renders a short period at a time but keeps several in the server's stream: the period sets
// the delay of every message, the stream's length how long the synthesizer may be held up on a
// busy machine before the sound breaks. (FluidSynth's driver keeps one period in the stream, so
// there the two go together.) Everything the stream needs, the talk with the server included,
// happens on the output's own thread, which gets the audio priority where the system allows:
// nothing on the way to the server waits behind the programs that keep the processor busy.
class PulseAudioOutput final : public AudioDriver {
public:
    // Connects to the default server, never starting one, and opens a stream of audio.Periods
    // periods of audio.PeriodFrames frames; null when there is no server to be had.
    static std::unique_ptr<AudioDriver> Open(const AudioSettings& audio, int sampleRate,
                                             RenderFunction render);
    ~PulseAudioOutput() override;

private:
    PulseAudioOutput(int sampleRate, int periodFrames, RenderFunction render);
    // Connects and opens the stream; false when the server cannot be had.
    bool Connect(int periods);
    void Run();

    const int sampleRate_;
    const int periodFrames_;
    const RenderFunction render_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kadrel
