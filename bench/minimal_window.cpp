// The yardstick of bench_startup: a plain Qt Widgets window of the application's size showing one line of
// text, so that font set-up is paid as in any real window. It stays open; the benchmark ends it once its
// first frame reached the X server.
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.resize(1100, 720);
    (new QVBoxLayout(&w))
        ->addWidget(new QLabel(QStringLiteral("Le vent souffle sur la plaine et les arbres plient sans rompre."), &w));
    w.show();
    return app.exec();
}
