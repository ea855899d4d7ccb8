#include "midi/devices/PulseAudioOutput.h"

#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

namespace kadrel {

std::unique_ptr<AudioDriver> PulseAudioOutput::Open(const AudioSettings& audio, int sampleRate,
                                                    RenderFunction render) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = static_cast<std::uint32_t>(sampleRate);
    spec.channels = 2;
    const std::uint32_t periodBytes = static_cast<std::uint32_t>(audio.PeriodFrames) * 8;
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = periodBytes * static_cast<std::uint32_t>(std::max(audio.Periods, 1));
    buffer.prebuf = static_cast<std::uint32_t>(-1); // starts once the stream is full
    // The server asks for data in small pieces, so that a period is written as room appears
    // and the stream is full again when the next period is rendered.
    buffer.minreq = static_cast<std::uint32_t>(-1);
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    pa_simple* stream = pa_simple_new(nullptr, "Kadrel", PA_STREAM_PLAYBACK, nullptr, "Synthesizer",
                                      &spec, nullptr, &buffer, nullptr);
    if (stream == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<AudioDriver>(
        new PulseAudioOutput(stream, sampleRate, audio.PeriodFrames, std::move(render)));
}

PulseAudioOutput::PulseAudioOutput(pa_simple* stream, int sampleRate, int periodFrames,
                                   RenderFunction render)
    : stream_(stream), sampleRate_(sampleRate), periodFrames_(periodFrames),
      render_(std::move(render)), thread_([this] { Run(); }) {}

PulseAudioOutput::~PulseAudioOutput() {
    stopping_ = true;
    thread_.join();
    pa_simple_free(stream_);
}

void PulseAudioOutput::Run() {
    UseAudioThreadPriority();
    std::vector<float> left(periodFrames_);
    std::vector<float> right(periodFrames_);
    std::vector<float> interleaved(2 * periodFrames_);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(double(periodFrames_) / sampleRate_));
    auto next = std::chrono::steady_clock::time_point();
    bool serverGone = false;
    while (!stopping_) {
        render_(left.data(), right.data(), periodFrames_);
        for (int i = 0; i < periodFrames_; ++i) {
            interleaved[2 * i] = left[i];
            interleaved[2 * i + 1] = right[i];
        }
        if (serverGone) {
            // The sound goes nowhere, but time goes on for the notes: they end, and the
            // output can be given back when idle and taken again, from a new server maybe.
            next += period;
            std::this_thread::sleep_until(next);
            continue;
        }
        // Returns once the stream has room for the whole period: that paces the rendering.
        if (pa_simple_write(stream_, interleaved.data(), interleaved.size() * sizeof(float),
                            nullptr) < 0) {
            serverGone = true;
            next = std::chrono::steady_clock::now();
        }
    }
}

} // namespace kadrel
