#pragma once

#include <QApplication>

namespace kadrel {

class UserDialogs;

// The application object. Any error that leaves an event handler is shown in the box "Erreur"
// with its own text instead of ending the program; the window's own handlers do the same for
// theirs, so this catches only what escapes elsewhere (painting, a dialog's own handlers).
class ErrorBoxApplication : public QApplication {
public:
    ErrorBoxApplication(int& argc, char** argv, UserDialogs& dialogs);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    UserDialogs& dialogs_;
};

} // namespace kadrel
