#include "midi/devices/MessageScheduler.h"

#include <algorithm>
#include <utility>

namespace kadrel {

namespace {

// How long the output's requests are remembered to place the timeline: long enough to hold
// some that came on time when most come late, short enough to forget a start-up's.
constexpr std::chrono::seconds memory{1};

constexpr std::int64_t nsPerSecond = 1'000'000'000;

// The time that frames last, to the nanosecond below.
std::chrono::nanoseconds Span(std::int64_t frames, int sampleRate) {
    return std::chrono::nanoseconds(frames / sampleRate * nsPerSecond +
                                    frames % sampleRate * nsPerSecond / sampleRate);
}

// The frames that fit in time, rounded down (towards the past for a time before 0). In whole
// numbers, so that a time that is a whole number of frames is that number exactly.
std::int64_t FramesIn(std::chrono::nanoseconds time, int sampleRate) {
    std::int64_t seconds = time.count() / nsPerSecond;
    std::int64_t rest = time.count() % nsPerSecond;
    if (rest < 0) {
        --seconds;
        rest += nsPerSecond;
    }
    return seconds * sampleRate + rest * sampleRate / nsPerSecond;
}

} // namespace

MessageScheduler::MessageScheduler(PlayFunction play, RenderFunction render, int sampleRate,
                                   int periodFrames)
    : play_(std::move(play)), render_(std::move(render)), sampleRate_(sampleRate),
      queue_(std::make_unique<Timed[]>(queueSize)), delayFrames_(periodFrames) {
    // Room for the note-offs of every note of every channel, so that rendering allocates
    // nothing in the usual case.
    due_.reserve(16 * 128);
}

bool MessageScheduler::Post(std::uint32_t msg, TimePoint sent) {
    const std::lock_guard lock(sendMutex_);
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == queueSize) {
        return false;
    }
    queue_[tail % queueSize] = {msg, sent};
    tail_.store(tail + 1, std::memory_order_release);
    return true;
}

std::int64_t MessageScheduler::FrameOf(TimePoint sent) const {
    return FramesIn(sent - origin_, sampleRate_) + delayFrames_;
}

void MessageScheduler::Render(std::uint64_t stream, float* left, float* right, int frames,
                              TimePoint now) {
    const std::lock_guard lock(renderMutex_);
    if (stream < stream_) {
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
        return;
    }
    if (stream > stream_) {
        stream_ = stream;
        rendered_ = 0;
        recentCount_ = 0;
    }
    // By this request, frame 0 may be put at now minus the frames rendered so far, and no
    // later. The timeline takes the earliest of the recent requests: late requests (the
    // system held the output's thread up) do not move it, and it follows the output when all
    // of them come later (an output whose clock runs slow, or that started late).
    const TimePoint earliest = now - Span(rendered_, sampleRate_);
    const auto recent = [this](std::size_t i) -> auto& {
        return recent_[(recentFirst_ + i) % recentSize];
    };
    while (recentCount_ > 0 && recent(recentCount_ - 1).second >= earliest) {
        --recentCount_;
    }
    if (recentCount_ == recentSize) { // an output asking for tiny periods: forget sooner
        recentFirst_ = (recentFirst_ + 1) % recentSize;
        --recentCount_;
    }
    recent(recentCount_++) = {now, earliest};
    while (recent(0).first < now - memory) {
        recentFirst_ = (recentFirst_ + 1) % recentSize;
        --recentCount_;
    }
    origin_ = recent(0).second;
    delayFrames_ = std::max<std::int64_t>(delayFrames_, frames);

    const std::int64_t end = rendered_ + frames;
    due_.clear();
    std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    for (; head != tail; ++head) {
        const Timed& next = queue_[head % queueSize];
        const std::int64_t frame = FrameOf(next.Sent);
        if (frame >= end) {
            break;
        }
        due_.emplace_back(frame, next.Msg);
    }
    head_.store(head, std::memory_order_release);
    int done = 0;
    for (const auto& [frame, msg] : due_) {
        const int at = static_cast<int>(std::clamp<std::int64_t>(frame - rendered_, done, frames));
        if (at > done) {
            render_(left + done, right + done, at - done);
            done = at;
        }
        play_(msg);
    }
    if (done < frames) {
        render_(left + done, right + done, frames - done);
    }
    rendered_ = end;
}

} // namespace kadrel
