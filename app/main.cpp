#include "editor/ErrorBoxApplication.h"
#include "editor/MainWindow.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "midi/MidiOutService.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

#ifdef KADREL_HAVE_DEVICES
#include "midi/devices/SystemMidiOut.h"
#endif

int main(int argc, char** argv) {
    kadrel::QtUserDialogs dialogs;
    kadrel::ErrorBoxApplication app(argc, argv, dialogs);
    // Qt's own dialogs (open, save) speak French like the rest of the editor.
    QTranslator qtFrench;
    if (qtFrench.load(QLocale(QLocale::French), "qtbase", "_",
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtFrench);
#ifdef KADREL_HAVE_DEVICES
    // Device 0 is the built-in synthesizer; the system's MIDI ports follow it.
    kadrel::SystemMidiOut devices;
    kadrel::ScopedDefaultMidiOutService useDevices(devices);
#endif
    kadrel::TMain window(dialogs);
    kadrel::TTrackInfo trackInfo(&window);
    window.SetTrackInfo(&trackInfo);
    // Centred on the screen for when the user restores it from maximized.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.showMaximized();
    return app.exec();
}
