// The plain-Qt yardsticks of the X probe: the same content in bare Qt widgets, at the size and in the fonts
// the application uses. `xprobe_baseline MODE FILE [--size WxH] [--font FAMILY:PX] [--code-font FAMILY:PX]
// [--editor-size WxH]`; the last puts the editor, that large, in the middle of the window.
// MODE: textedit (a QTextEdit), plaintext (a QPlainTextEdit, unwrapped as a code block), scroll (a QScrollArea of one label a block),
// window (the minimal window of bench_startup, one line of text, which stays open; FILE is not read).
// FILE: a JSON array of blocks, {"type": "text" | "code", "content": "…"}.
#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

QFont font(const QString& spec, const QString& fallback) {
    const QStringList parts = (spec.isEmpty() ? fallback : spec).split(QLatin1Char(':'));
    QFont f(parts.value(0));
    f.setPixelSize(parts.value(1).toInt() > 0 ? parts.value(1).toInt() : 14);
    return f;
}

struct Block {
    bool code = false;
    QString content;
};

QList<Block> readBlocks(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "xprobe_baseline: cannot read %s\n", qPrintable(path));
        std::exit(2);
    }
    QList<Block> blocks;
    for (const QJsonValue& v : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject o = v.toObject();
        blocks.append({o.value(QStringLiteral("type")).toString() == QStringLiteral("code"),
                       o.value(QStringLiteral("content")).toString()});
    }
    return blocks;
}

QString joined(const QList<Block>& blocks) {
    QStringList texts;
    for (const Block& b : blocks)
        texts.append(b.content);
    return texts.join(QLatin1Char('\n'));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr,
                     "usage: xprobe_baseline textedit|plaintext|scroll|window FILE [--size WxH] "
                     "[--font FAMILY:PX] [--code-font FAMILY:PX]\n");
        return 2;
    }
    QSize size(1100, 720);
    QSize editorSize;
    QString textSpec, codeSpec;
    for (qsizetype i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--size")) {
            const QStringList wh = args[i + 1].split(QLatin1Char('x'));
            size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        } else if (args[i] == QStringLiteral("--font")) {
            textSpec = args[i + 1];
        } else if (args[i] == QStringLiteral("--code-font")) {
            codeSpec = args[i + 1];
        } else if (args[i] == QStringLiteral("--editor-size")) {
            const QStringList wh = args[i + 1].split(QLatin1Char('x'));
            editorSize = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        }
    }
    const QString mode = args[1];
    QWidget* window = nullptr;
    if (mode == QStringLiteral("window")) {
        window = new QWidget;
        (new QVBoxLayout(window))
            ->addWidget(
                new QLabel(QStringLiteral("Le vent souffle sur la plaine et les arbres plient sans rompre."), window));
        window->resize(size);
        window->show();
        return app.exec();
    }
    const QFont textFont = font(textSpec, QStringLiteral("Inter:14"));
    const QFont codeFont = font(codeSpec, QStringLiteral("JetBrains Mono:13"));
    const QList<Block> blocks = readBlocks(args[2]);
    if (mode == QStringLiteral("textedit")) {
        auto* edit = new QTextEdit;
        edit->document()->setDefaultFont(textFont);
        edit->setPlainText(joined(blocks));
        edit->moveCursor(QTextCursor::End);
        window = edit;
    } else if (mode == QStringLiteral("plaintext")) {
        // Laid out as the code block lays its code out: lines unwrapped, scrolled sideways past the
        // right edge, inside the same margin. A wrapping editor never scrolls sideways.
        auto* edit = new QPlainTextEdit;
        edit->setFont(codeFont);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->document()->setDocumentMargin(12);
        edit->setPlainText(joined(blocks));
        edit->moveCursor(QTextCursor::End);
        window = edit;
    } else if (mode == QStringLiteral("scroll")) {
        auto* area = new QScrollArea;
        auto* page = new QWidget;
        auto* column = new QVBoxLayout(page);
        column->setContentsMargins(20, 20, 20, 20);
        column->setSpacing(12);
        for (const Block& b : blocks) {
            auto* label = new QLabel(b.content);
            label->setTextFormat(Qt::PlainText);
            label->setFont(b.code ? codeFont : textFont);
            label->setWordWrap(!b.code);
            column->addWidget(label);
        }
        column->addStretch();
        area->setWidget(page);
        area->setWidgetResizable(true);
        window = area;
    } else {
        std::fprintf(stderr, "xprobe_baseline: unknown mode %s\n", qPrintable(mode));
        return 2;
    }
    if (editorSize.isValid() && !editorSize.isEmpty()) {
        auto* frame = new QWidget;
        auto* grid = new QGridLayout(frame);
        grid->addWidget(window, 0, 0, Qt::AlignCenter);
        window->setFixedSize(editorSize);
        window = frame;
    }
    window->setWindowTitle(QStringLiteral("xprobe baseline"));
    window->resize(size);
    window->show();
    return app.exec();
}
