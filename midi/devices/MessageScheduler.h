#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kadrel {

// Puts every short message at its own sample of the sound. An audio output asks for a period of
// sound when it needs one, so a message that only took effect at the next period rendered would
// land up to a period late, a different amount each time, and the rhythm would suffer. Here a
// message sent at time t is heard at t plus a fixed delay of one period on the output's
// timeline: every message is in before the period that holds it is rendered, and the period is
// rendered up to the message's sample, the message played, and the rest rendered after it.
//
// The timeline maps the output's frames to the steady clock: frame 0 is put as early as the
// output's requests of the last second allow, so that no period is asked for before all the
// messages of its frames can have come.
//
// The output's thread takes no lock that a sender holds and allocates nothing as it renders: a
// sender that the system holds up, or a busy allocator, must not hold up the sound.
class MessageScheduler {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // Plays one short message into the sound at once.
    using PlayFunction = std::function<void(std::uint32_t msg)>;
    // Renders the next frames of sound, one float sample per frame into each channel.
    using RenderFunction = std::function<void(float* left, float* right, int frames)>;

    // periodFrames is the output's period: the delay given to every message, at least. An
    // output that asks for more frames at a time gets that longer delay from then on.
    MessageScheduler(PlayFunction play, RenderFunction render, int sampleRate, int periodFrames);

    // Queues msg, sent at time sent (times come in the order of the calls). Any thread. False,
    // with nothing queued, when the queue is full: more messages than the output could have
    // played in the meantime wait already (some 16,000).
    bool Post(std::uint32_t msg, TimePoint sent);

    // Renders the next frames of output stream, which asked for them at time now. Streams are
    // numbered from 1 up, one per audio output opened: a higher number than the last starts a
    // new timeline, a lower one is an output on its way out, which gets silence. A message
    // whose sample is already past is played at the start of the frames.
    void Render(std::uint64_t stream, float* left, float* right, int frames, TimePoint now);

private:
    struct Timed {
        std::uint32_t Msg;
        TimePoint Sent;
    };
    // The frame of the current timeline at which a message sent at time sent is heard.
    std::int64_t FrameOf(TimePoint sent) const;

    const PlayFunction play_;
    const RenderFunction render_;
    const int sampleRate_;

    // The messages sent and not yet played: a ring that the senders fill at its tail and the
    // output empties at its head. The senders take turns through sendMutex_.
    static constexpr std::size_t queueSize = 1 << 14;
    const std::unique_ptr<Timed[]> queue_;
    std::atomic<std::size_t> head_{0};
    std::atomic<std::size_t> tail_{0};
    std::mutex sendMutex_;

    std::mutex renderMutex_; // guards what follows: one output renders at a time
    std::uint64_t stream_ = 0;
    TimePoint origin_; // the time of frame 0 of the current timeline
    // The recent requests that may still place frame 0, by when they came, with where each
    // would put it, in increasing order: a ring of recentCount from recentFirst.
    static constexpr std::size_t recentSize = 1024;
    std::array<std::pair<TimePoint, TimePoint>, recentSize> recent_;
    std::size_t recentFirst_ = 0;
    std::size_t recentCount_ = 0;
    std::int64_t rendered_ = 0;                               // frames rendered on it
    std::int64_t delayFrames_;                                // the delay given to every message
    std::vector<std::pair<std::int64_t, std::uint32_t>> due_; // this period's messages by frame
};

} // namespace kadrel
