#include "app/CommandLine.h"
#include "app/ErrorBoxApplication.h"
#include "app/FrenchLocale.h"
#include "editor/FileNames.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "editor/WeirdThingBox.h"
#include "midi/MidiOutService.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <iostream>
#include <string>
#include <vector>

#ifdef KADREL_HAVE_DEVICES
#include "midi/devices/SystemMidiOut.h"
#endif

int main(int argc, char** argv) {
    // The arguments are answered before the window system starts, so that the help, the
    // version and a wrong option need no display.
    const kadrel::EditorArguments parsed =
        kadrel::ParseEditorArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = kadrel::AnswerOnTerminal(parsed, std::cout, std::cerr))
        return *status;

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
    // Ouvrir opens a chosen file, once the window is up so that its boxes have a parent. Its
    // name keeps the bytes the system gave, UTF-8 or not.
    if (!parsed.File.empty())
        window.OpenFileAtStart(kadrel::FileNameText(kadrel::AbsoluteFileName(parsed.File)));
    return app.exec();
}
