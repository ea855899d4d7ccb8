#include "editor/CommandLine.h"
#include "editor/ErrorBoxApplication.h"
#include "editor/FrenchLocale.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "editor/WeirdThingBox.h"
#include "midi/MidiOutService.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <iostream>
#include <string>
#include <vector>

#ifdef KADREL_HAVE_DEVICES
#include "midi/devices/SystemMidiOut.h"
#endif

namespace {

// Prints what the arguments ask for and gives the exit status, or -1 when the editor must run.
int AnswerOnTerminal(const kadrel::EditorArguments& parsed) {
    using Action = kadrel::EditorArguments::Action;
    switch (parsed.What) {
    case Action::Help:
        std::cout << kadrel::EditorHelpText();
        break;
    case Action::Version:
        std::cout << kadrel::EditorVersionText();
        break;
    case Action::Usage:
        std::cerr << "kadrel : " << parsed.Problem << "\n" << kadrel::EditorUsageText();
        break;
    case Action::Run:
        return -1;
    }
    std::cout.flush();
    return kadrel::ExitStatusOf(parsed.What);
}

} // namespace

int main(int argc, char** argv) {
    // The arguments are answered before the window system starts, so that the help, the
    // version and a wrong option need no display.
    const kadrel::EditorArguments parsed =
        kadrel::ParseEditorArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const int status = AnswerOnTerminal(parsed); status >= 0)
        return status;

    kadrel::QtUserDialogs dialogs;
    kadrel::FrenchSystemLocale french;
    kadrel::ErrorBoxApplication app(argc, argv, dialogs);
    french.Apply(app);

    QGuiApplication::setDesktopFileName(QStringLiteral("org.kadrel.Kadrel"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/kadrel-48.png"));
    icon.addFile(QStringLiteral(":/icons/kadrel-256.png"));
    QApplication::setWindowIcon(icon);

#ifdef KADREL_HAVE_DEVICES
    // Device 0 is the built-in synthesizer; the system's MIDI ports follow it.
    kadrel::SystemMidiOut devices;
    kadrel::ScopedDefaultMidiOutService useDevices(devices);
#endif
    kadrel::RealPlaybackClock clock;
    kadrel::TMain window(dialogs, kadrel::DefaultMidiOutService(), clock);
    // The model reports an inconsistent quantity through a plain box over the window.
    kadrel::WeirdThingBox weirdThings(dialogs, &window);
    kadrel::TTrackInfo trackInfo(&window);
    window.SetTrackInfo(&trackInfo);
    // Centred on the screen for when the user restores it from maximized.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.showMaximized();
    // The file given on the command line (a double click in the file manager) is opened as
    // Ouvrir opens a chosen file, once the window is up so that its boxes have a parent.
    if (!parsed.File.empty()) {
        const QString file =
            QFileInfo(QFile::decodeName(QByteArray::fromStdString(parsed.File))).absoluteFilePath();
        window.OpenFileAtStart(file);
    }
    return app.exec();
}
