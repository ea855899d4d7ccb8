#include <QApplication>
#include <gtest/gtest.h>

#ifdef KADREL_FRENCH_UI
#include "app/FrenchLocale.h"
#endif

// GUI suites run in-process on the offscreen platform so that they need no display. The editor's
// suites start French as the program does, whatever the locale the tests run under.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef KADREL_FRENCH_UI
    kadrel::FrenchSystemLocale french;
    QApplication app(argc, argv);
    french.Apply(app);
#else
    QApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
