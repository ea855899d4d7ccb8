#include "editor/PlaybackClock.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace kadrel::test {
namespace {

// Milliseconds of real time turned into the clock a test wants: slower, faster or jumping.
class ScriptedTime final : public Clock {
public:
    explicit ScriptedTime(std::function<std::uint32_t(std::uint32_t elapsed, int reads)> time)
        : time_(std::move(time)) {}
    std::uint32_t NowMs() const override {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        return time_(static_cast<std::uint32_t>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()),
                     reads_++);
    }

private:
    std::function<std::uint32_t(std::uint32_t, int)> time_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    mutable int reads_ = 0;
};

// A wait that never ends would hang the suite: end the program with a message instead.
class Watchdog {
public:
    Watchdog() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            std::fprintf(stderr, "RunPendingUntil did not return within 5 s\n");
            std::_Exit(1);
        });
        timer_.start(5000);
    }

private:
    QTimer timer_;
};

TEST(RealPlaybackClock, ReturnsAtTheDeadlineAndNeverAsksForANegativeTimer) {
    struct Case {
        const char* name;
        std::function<std::uint32_t(std::uint32_t elapsed, int reads)> time;
        std::int32_t deadline; // from the first reading
        int timersAtLeast;     // timers the wait starts
        int timersAtMost;
    };
    const Case cases[] = {
        {"deadline already past", [](std::uint32_t e, int) { return 500 + e; }, -5, 0, 0},
        {"deadline now", [](std::uint32_t e, int) { return 500 + e; }, 0, 0, 0},
        {"on time", [](std::uint32_t e, int) { return 500 + e; }, 20, 1, 3},
        // The clock runs at half speed: every timer wakes early and the wait goes on for
        // what is left.
        {"woken early", [](std::uint32_t e, int) { return 500 + e / 2; }, 12, 2, 100},
        // The clock runs four times too fast: the first timer wakes well after the deadline.
        {"woken late", [](std::uint32_t e, int) { return 500 + 4 * e; }, 20, 1, 1},
        // Every reading is 2 ms later than the last: the deadline passes between the reading
        // that finds it ahead and the next one.
        {"deadline passes between readings", [](std::uint32_t e, int r) { return 500 + e + 2 * r; },
         3, 1, 1},
        // The 32-bit count wraps around during the wait.
        {"count wraps around", [](std::uint32_t e, int) { return 0xFFFFFFF6u + e; }, 20, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedTime time(c.time);
        RealPlaybackClock clock(time);
        std::vector<int> intervals;
        clock.OnTimerStarted = [&](int interval) { intervals.push_back(interval); };
        const std::uint32_t deadline = clock.NowMs() + static_cast<std::uint32_t>(c.deadline);
        {
            const Watchdog hang;
            clock.RunPendingUntil(deadline);
        }
        EXPECT_FALSE(Before(clock.NowMs(), deadline));
        EXPECT_GE(static_cast<int>(intervals.size()), c.timersAtLeast);
        EXPECT_LE(static_cast<int>(intervals.size()), c.timersAtMost);
        for (const int interval : intervals) {
            EXPECT_GT(interval, 0);
            EXPECT_LE(interval, std::max(c.deadline, 0));
        }
    }
}

TEST(RealPlaybackClock, RunsOtherEventsWhileItWaits) {
    RealPlaybackClock clock;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    const Watchdog hang;
    clock.RunPendingUntil(clock.NowMs() + 20);
    EXPECT_TRUE(ran);
}

} // namespace
} // namespace kadrel::test
