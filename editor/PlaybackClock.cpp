#include "editor/PlaybackClock.h"

#include <QEventLoop>
#include <QTimer>

namespace kadrel {

void RealPlaybackClock::RunPendingUntil(std::uint32_t deadline) {
    // A precise timer can wake a little early; wait again for what is left.
    while (Before(NowMs(), deadline)) {
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(deadline - NowMs()));
        loop.exec();
    }
}

} // namespace kadrel
