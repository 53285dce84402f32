// libFuzzer target for the RTF reader: any input must read without fault, what it reads must
// write and read back to the same bytes, and a write through the paragraph cache, after a key typed in
// the middle, must be the whole write.
#include "rtf/Rtf.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Documents use the application font, which needs a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int appArgc = 1;
    static char* appArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QGuiApplication(appArgc, appArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QTextDocument doc;
    if (!rtf::read(input, doc)) {
        if (!doc.isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray written = rtf::write(doc);
    QTextDocument again;
    if (!rtf::read(written, again) || again.toPlainText() != doc.toPlainText())
        std::abort();
    if (rtf::write(again) != written) {
        std::fprintf(stderr, "not a fixed point:\n%s\n%s\n", written.constData(), rtf::write(again).constData());
        std::abort();
    }
    rtf::ParagraphCache cache;
    if (rtf::write(again, cache) != written)
        std::abort();
    QTextCursor key(&again);
    key.setPosition(again.characterCount() / 2);
    key.insertText(QStringLiteral("a"));
    if (rtf::write(again, cache) != rtf::write(again)) {
        std::fprintf(stderr, "cached write differs:\n%s\n%s\n", rtf::write(again, cache).constData(),
                     rtf::write(again).constData());
        std::abort();
    }
    return 0;
}
