#include "editor/DesktopLauncher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kadrel {

namespace {

// Qt says on the terminal that it found no launcher, or that the platform has none; the user is
// told in a box instead. Only Qt's own code runs while this is installed.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void CallLater(std::function<void(bool)> ended, bool opened) {
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [ended = std::move(ended), opened] { ended(opened); });
}

// Qt's own way, for desktops without the common launcher.
void LaunchThroughQt(const std::string& path, std::function<void(bool)> ended) {
    const QtMessageHandler previous = qInstallMessageHandler(Quiet);
    const bool launched = QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
    qInstallMessageHandler(previous);
    CallLater(std::move(ended), launched);
}

// Reaps the launcher when it ends and tells whether it failed. The launcher usually starts the
// program and ends at once; it reports a file that nothing can open by its exit status.
void WatchLauncher(pid_t pid, std::function<void(bool)> ended) {
    const auto finish = [pid, ended](bool wait) {
        int status = 0;
        const pid_t reaped = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
        if (reaped == 0)
            return false;
        ended(reaped == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return true;
    };
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        auto* notifier =
            new QSocketNotifier(pidFd, QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, finish] {
            notifier->setEnabled(false);
            ::close(static_cast<int>(notifier->socket()));
            notifier->deleteLater();
            finish(true);
        });
        return;
    }
    // Systems older than process descriptors: look now and then.
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, finish] {
        if (finish(false))
            poll->deleteLater();
    });
    poll->start(100);
}

} // namespace

void LaunchDocument(const std::string& path, std::function<void(bool opened)> ended) {
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) {
        LaunchThroughQt(path, std::move(ended));
        return;
    }
    // The launcher's own messages (and those of what it starts) stay off the terminal.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    const QByteArray program = QFile::encodeName(launcher);
    std::string argument = path;
    char* argv[] = {const_cast<char*>(program.constData()), argument.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        CallLater(std::move(ended), false);
        return;
    }
    WatchLauncher(pid, std::move(ended));
}

QString UnshownListingText(const std::string& listing) {
    return QStringLiteral("Le désassemblage a été écrit dans le fichier %1, mais aucun programme "
                          "n'a pu l'afficher.")
        .arg(QString::fromUtf8(listing.data(), static_cast<qsizetype>(listing.size())));
}

} // namespace kadrel
