#include "midi/devices/PulseAudioOutput.h"

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

namespace kadrel {

namespace {

// How long a server may take to answer a connection before it counts as none.
constexpr std::chrono::seconds connectTimeout{3};

// Runs loop until ready says yes (true) or no (false), or the time is up (false).
template <typename Ready>
bool Await(pa_mainloop* loop, Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + connectTimeout;
    for (;;) {
        if (const int state = ready(); state != 0) {
            return state > 0;
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pa_mainloop_prepare(loop, int(left.count())) < 0 ||
            pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0) {
            return false;
        }
    }
}

} // namespace

std::unique_ptr<AudioDriver> PulseAudioOutput::Open(const AudioSettings& audio, int sampleRate,
                                                    RenderFunction render) {
    std::unique_ptr<PulseAudioOutput> output(
        new PulseAudioOutput(sampleRate, audio.PeriodFrames, std::move(render)));
    if (!output->Connect(std::max(audio.Periods, 1))) {
        return nullptr;
    }
    output->thread_ = std::thread([raw = output.get()] { raw->Run(); });
    return output;
}

PulseAudioOutput::PulseAudioOutput(int sampleRate, int periodFrames, RenderFunction render)
    : sampleRate_(sampleRate), periodFrames_(periodFrames), render_(std::move(render)) {}

bool PulseAudioOutput::Connect(int periods) {
    loop_ = pa_mainloop_new();
    if (loop_ == nullptr) {
        return false;
    }
    context_ = pa_context_new(pa_mainloop_get_api(loop_), "Kadrel");
    if (context_ == nullptr ||
        pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !Await(loop_, [this] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(state) ? 0 : -1;
        })) {
        return false;
    }

    pa_sample_spec samples{};
    samples.format = PA_SAMPLE_FLOAT32NE;
    samples.rate = static_cast<std::uint32_t>(sampleRate_);
    samples.channels = 2;
    const auto periodBytes = static_cast<std::uint32_t>(periodFrames_ * 2 * sizeof(float));
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = periodBytes * static_cast<std::uint32_t>(periods);
    buffer.prebuf = static_cast<std::uint32_t>(-1); // starts once the stream is full
    // The server asks for data in small pieces, so that a period goes in as room appears and
    // the stream is full again when the next period is rendered.
    buffer.minreq = static_cast<std::uint32_t>(-1);
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    stream_ = pa_stream_new(context_, "Synthesizer", &samples, nullptr);
    return stream_ != nullptr &&
           pa_stream_connect_playback(stream_, nullptr, &buffer,
                                      static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                                     PA_STREAM_INTERPOLATE_TIMING |
                                                                     PA_STREAM_AUTO_TIMING_UPDATE),
                                      nullptr, nullptr) == 0 &&
           Await(loop_, [this] {
               const pa_stream_state_t state = pa_stream_get_state(stream_);
               return state == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(state) ? 0 : -1;
           });
}

PulseAudioOutput::~PulseAudioOutput() {
    stopping_ = true;
    if (thread_.joinable()) {
        pa_mainloop_wakeup(loop_);
        thread_.join();
    }
    if (stream_ != nullptr) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_ != nullptr) {
        pa_mainloop_free(loop_);
    }
}

void PulseAudioOutput::Run() {
    UseAudioThreadPriority();
    std::vector<float> left(periodFrames_);
    std::vector<float> right(periodFrames_);
    std::vector<float> period(2 * periodFrames_);
    const std::size_t periodBytes = period.size() * sizeof(float);
    std::size_t written = periodBytes; // of the period rendered last
    bool serverGone = false;
    auto next = std::chrono::steady_clock::now();
    while (!stopping_) {
        if (written == periodBytes) {
            render_(left.data(), right.data(), periodFrames_);
            for (int i = 0; i < periodFrames_; ++i) {
                period[2 * i] = left[i];
                period[2 * i + 1] = right[i];
            }
            written = 0;
        }
        if (serverGone) {
            // The sound goes nowhere, but time goes on for the notes: they end, and the
            // output can be given back when idle and taken again, from a new server maybe.
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(double(periodFrames_) / sampleRate_));
            std::this_thread::sleep_until(next);
            written = periodBytes;
            continue;
        }
        const std::size_t room = pa_stream_writable_size(stream_);
        if (room != static_cast<std::size_t>(-1) && room > 0) {
            const std::size_t count = std::min(room, periodBytes - written);
            if (pa_stream_write(stream_, reinterpret_cast<const char*>(period.data()) + written,
                                count, nullptr, 0, PA_SEEK_RELATIVE) == 0) {
                written += count;
                continue;
            }
        }
        // Waits for the server to ask for more; a wake-up from the destructor ends the wait.
        if (room == static_cast<std::size_t>(-1) || pa_mainloop_iterate(loop_, 1, nullptr) < 0 ||
            !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
            serverGone = true;
            next = std::chrono::steady_clock::now();
        }
    }
}

} // namespace kadrel
