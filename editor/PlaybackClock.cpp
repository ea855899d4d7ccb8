#include "editor/PlaybackClock.h"

#include <QEventLoop>
#include <QTimer>

namespace kadrel {

void RealPlaybackClock::RunPendingUntil(std::uint32_t deadline) {
    // The clock is read once per round: read twice, the deadline could pass in between and
    // leave a negative interval, which no timer takes, and the wait would never end. A precise
    // timer can wake a little early; the next round waits for what is left.
    for (;;) {
        const std::uint32_t now = NowMs();
        if (!Before(now, deadline))
            return;
        const int interval = static_cast<std::int32_t>(deadline - now); // at least 1
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(interval);
        if (OnTimerStarted)
            OnTimerStarted(interval);
        loop.exec();
    }
}

} // namespace kadrel
