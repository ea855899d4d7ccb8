#include "app/ErrorBoxApplication.h"

#include "editor/UserDialogs.h"

namespace kadrel {

ErrorBoxApplication::ErrorBoxApplication(int& argc, char** argv, UserDialogs& dialogs)
    : QApplication(argc, argv), dialogs_(dialogs) {}

bool ErrorBoxApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        dialogs_.Message(activeWindow(), QMessageBox::Critical, QStringLiteral("Erreur"),
                         QString::fromStdString(e.what()), QMessageBox::Ok);
        return false;
    }
}

} // namespace kadrel
