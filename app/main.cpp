#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Kadrel");
    window.menuBar()->setNativeMenuBar(false);
    window.resize(871, 444);
    window.show();
    return app.exec();
}
