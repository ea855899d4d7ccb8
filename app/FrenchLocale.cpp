#include "app/FrenchLocale.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>
#include <cstring>

namespace kadrel {

namespace {

// Texts of Qt's file dialogs that its French translations do not cover: the type column names
// folders, drives and links with these.
class MissingFrenchTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        if (std::strcmp(context, "QAbstractFileIconProvider") != 0 &&
            std::strcmp(context, "QFileDialog") != 0)
            return QString();
        static const struct {
            const char* english;
            const char* french;
        } texts[] = {{"Folder", "Dossier"},
                     {"Drive", "Lecteur"},
                     {"File", "Fichier"},
                     {"Shortcut", "Raccourci"},
                     {"Unknown", "Inconnu"}};
        for (const auto& text : texts)
            if (std::strcmp(sourceText, text.english) == 0)
                return QString::fromUtf8(text.french);
        return QString();
    }

    bool isEmpty() const override { return false; }
};

} // namespace

FrenchSystemLocale::FrenchSystemLocale() {
    hadLcAll_ = qEnvironmentVariableIsSet("LC_ALL");
    lcAll_ = qgetenv("LC_ALL");
    qputenv("LC_ALL", "fr_FR.UTF-8");
}

FrenchSystemLocale::~FrenchSystemLocale() {
    RestoreEnvironment();
}

void FrenchSystemLocale::RestoreEnvironment() {
    if (restored_)
        return;
    restored_ = true;
    if (hadLcAll_)
        qputenv("LC_ALL", lcAll_);
    else
        qunsetenv("LC_ALL");
}

void FrenchSystemLocale::Apply(QApplication& app) {
    // Qt reads the system locale once, the first time it is asked for it.
    (void)QLocale::system().name();
    RestoreEnvironment();
    // The C library follows the user's own locale again, as it would have without this.
    std::setlocale(LC_ALL, "");
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));

    // The last translator installed is asked first: Qt's own texts before Kadrel's stand-ins.
    auto* missing = new MissingFrenchTexts(&app);
    app.installTranslator(missing);
    auto* qtFrench = new QTranslator(&app);
    if (qtFrench->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtFrench);
}

} // namespace kadrel
