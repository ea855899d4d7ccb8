#pragma once

#include <chrono>
#include <cstdint>

namespace kadrel {

// The millisecond clock of playback and seeking, wrapping around like a 32-bit tick count.
// Tests replace it with a clock they move by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t NowMs() const = 0;
};

// Real time from std::chrono::steady_clock.
class SteadyClock final : public Clock {
public:
    std::uint32_t NowMs() const override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
};

// A clock that stands still until a test moves it.
class ManualClock final : public Clock {
public:
    std::uint32_t NowMs() const override { return now_; }
    void Set(std::uint32_t ms) { now_ = ms; }
    void Advance(std::uint32_t ms) { now_ += ms; }

private:
    std::uint32_t now_ = 0;
};

} // namespace kadrel
