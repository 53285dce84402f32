// A plain Qt Widgets window of the application's size, shown and painted once: the yardstick of bench_startup.
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QTimer>
#include <QWidget>

namespace {
class QuitOnPaint : public QObject {
protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(o, e);
    }
    bool m_done = false;
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.resize(1100, 720);
    // "--text": the same window showing one line of text, so that font set-up is paid as in any real window.
    if (argc > 1 && QByteArray(argv[1]) == "--text")
        (new QVBoxLayout(&w))->addWidget(new QLabel(QStringLiteral("Tolmek"), &w));
    QuitOnPaint quit;
    w.installEventFilter(&quit);
    w.show();
    return app.exec();
}
