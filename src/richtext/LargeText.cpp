#include "richtext/LargeText.h"

#include "rtf/Rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimerEvent>
#include <QTextCursor>
#include <QTextDocument>

namespace largetext {

namespace {

class LayoutPacer : public QObject {
public:
    LayoutPacer(QTextDocument& doc) : QObject(doc.documentLayout()), m_doc(doc) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Timer || m_inTick)
            return false;
        // The layout's stepping timer ticks every 10 ms while it lays out; its other timer (the size
        // report) fires once after a change, and is left alone.
        const int id = static_cast<QTimerEvent*>(event)->timerId();
        const bool stepping = id == m_lastId && m_clock.isValid() && m_clock.elapsed() < 15;
        m_lastId = id;
        m_clock.start();
        if (!stepping)
            return false;
        // After the layout's own tick, so that the tick runs as Qt meant it to.
        m_inTick = true;
        QCoreApplication::sendEvent(watched, event);
        m_inTick = false;
        // One character: an empty range would drop the paragraph's lines without laying them out again.
        m_doc.markContentsDirty(0, 1);
        return true;
    }

private:
    QTextDocument& m_doc;
    bool m_inTick = false;
    int m_lastId = 0;
    QElapsedTimer m_clock;
};

} // namespace

void paceLayout(QTextDocument& doc)
{
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    if (layout->property("_tolmek_paced").toBool())
        return;
    layout->setProperty("_tolmek_paced", true);
    layout->installEventFilter(new LayoutPacer(doc));
}

QString tooLargeMessage(qsizetype bytes)
{
    const QString size = QLocale(QLocale::French, QLocale::France).toString(double(bytes) / 1e6, 'f', 1);
    return QStringLiteral("Ce texte est trop volumineux pour être modifié (%1 Mo). Seul son début est affiché, "
                          "en lecture seule.")
        .arg(size);
}

void loadPreview(const std::optional<QByteArray>& rtf, const QString& plain, QTextDocument& doc)
{
    // RTF spends a few bytes per character on its markup: four times the characters shown is plenty.
    if (rtf && !rtf->isEmpty() && rtf::read(rtf->left(previewChars * 4), doc)) {
        if (doc.characterCount() > previewChars + 1) {
            QTextCursor cut(&doc);
            cut.setPosition(int(previewChars));
            cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cut.removeSelectedText();
        }
        if (!doc.isEmpty())
            return;
    }
    doc.setPlainText(plain.left(previewChars));
}

} // namespace largetext
