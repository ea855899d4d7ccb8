#include "editor/BusyWork.h"

#include "editor/BusyCursor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <thread>

namespace kadrel {

bool RunBusyWork(QWidget* parent, const QString& label, std::function<void()> work,
                 std::chrono::milliseconds dialogDelay) {
    BusyCursor busy;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([done, work = std::move(work)] {
        work();
        done->store(true);
        // Wakes the loop below, which waits for events.
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::None));
    }).detach();

    // Paint and timer events go on; clicks and keys wait, so that no command starts in the
    // middle of this one. The dialog, once shown, is modal and takes its own clicks.
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> dialog;
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(dialogDelay);
    // Events are handled at least once, whatever the work's length: the thread's own wake-up
    // is among them, so the first wait always ends.
    do {
        QCoreApplication::processEvents(
            QEventLoop::WaitForMoreEvents |
            (dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents));
        if (dialog == nullptr && !done->load() &&
            std::chrono::milliseconds(clock.elapsed()) >= dialogDelay) {
            dialog =
                std::make_unique<QProgressDialog>(label, QStringLiteral("Annuler"), 0, 0, parent);
            dialog->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            // Annuler ends the wait at once, whatever the work is doing.
            QObject::connect(dialog.get(), &QProgressDialog::canceled, dialog.get(), [] {
                QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::None));
            });
            dialog->show();
        }
        if (dialog != nullptr && dialog->wasCanceled())
            return false;
    } while (!done->load());
    return true;
}

} // namespace kadrel
