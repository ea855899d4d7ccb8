#pragma once

#include <QByteArray>

class QApplication;

namespace kadrel {

// Kadrel speaks French whatever the system's locale. Qt formats the dates and sizes of its file
// dialogs with the system locale, which it reads from the environment when the application
// starts, so the environment says French for that moment only (child processes such as the
// text viewer of a listing get the user's own back).
class FrenchSystemLocale {
public:
    // Call before the QApplication is created.
    FrenchSystemLocale();
    ~FrenchSystemLocale();
    FrenchSystemLocale(const FrenchSystemLocale&) = delete;
    FrenchSystemLocale& operator=(const FrenchSystemLocale&) = delete;

    // Call once the QApplication exists: fixes Qt's system locale as French, gives the
    // environment back, makes French the default locale and installs Qt's French translations
    // with Kadrel's own for the few texts they lack.
    void Apply(QApplication& app);

private:
    void RestoreEnvironment();

    bool hadLcAll_ = false;
    QByteArray lcAll_;
    bool restored_ = false;
};

} // namespace kadrel
