#pragma once

#include "util/Clock.h"

#include <cstdint>
#include <functional>

namespace kadrel {

// The clock of the play and seek loops and the wait between their steps. Waiting runs the
// window's other handlers (Stop, Pause, editing, menus) until the deadline; tests replace it
// with virtual time.
class PlaybackClock : public Clock {
public:
    // Runs pending events until NowMs() reaches deadline. Returns at once when it already has.
    virtual void RunPendingUntil(std::uint32_t deadline) = 0;
};

// Real time. The wait is a nested event loop woken by a precise timer at the deadline, so the
// processor rests between steps while every other handler still runs.
class RealPlaybackClock final : public PlaybackClock {
public:
    // time is where the milliseconds come from: the steady clock unless a test gives another,
    // which must outlive this one.
    explicit RealPlaybackClock(const Clock& time = steady_) : time_(time) {}

    std::uint32_t NowMs() const override { return time_.NowMs(); }
    void RunPendingUntil(std::uint32_t deadline) override;

    // Told the interval of every timer that a wait starts, in milliseconds.
    std::function<void(int)> OnTimerStarted;

private:
    static inline const SteadyClock steady_{};
    const Clock& time_;
};

// True while the tick count has not reached deadline. The difference is taken in signed
// arithmetic so that a wrap-around of the 32-bit count does not end a wait at once.
inline bool Before(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(deadline - now) > 0;
}

} // namespace kadrel
