#include "richtext/LargeText.h"

#include "rtf/Rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QTextBlock>
#include <QTimer>
#include <QTextCursor>
#include <QTextDocument>

namespace largetext {

namespace {

class LayoutPacer : public QObject {
public:
    explicit LayoutPacer(QTextDocument& doc) : QObject(&doc), m_doc(doc) {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
        // A new layout lays the whole text out again, and so does a new width: sweep again from the top.
        connect(&doc, &QTextDocument::documentLayoutChanged, this, [this] { follow(); });
        follow();
    }

private:
    void follow() {
        disconnect(m_sizeChanges);
        m_sizeChanges =
            connect(m_doc.documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this, [this] {
                if (!m_timer.isActive())
                    restart();
            });
        restart();
    }

    void restart() {
        m_position = 0;
        m_timer.start();
    }

    // One pass of the event loop: the next stepChars of the text are laid out, as asking for a block's
    // place lays out the text up to it. Marking the paragraph just laid out as changed keeps the layout's
    // own background steps small too (it starts them over after any change); that paragraph is laid out
    // again, which is cheap, and is out of sight while the sweep runs below the view.
    void step() {
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        const int end = m_doc.characterCount();
        if (m_position >= end || m_doc.pageSize().isNull()) {
            m_timer.stop();
            return;
        }
        m_position = std::min(end - 1, m_position + stepChars);
        const QTextBlock block = m_doc.findBlock(m_position);
        layout->blockBoundingRect(block);
        m_doc.markContentsDirty(block.position(), 1);
        m_position = block.position() + block.length();
    }

    static constexpr int stepChars = 4000;
    QTextDocument& m_doc;
    QTimer m_timer;
    QMetaObject::Connection m_sizeChanges;
    int m_position = 0;
};

} // namespace

void paceLayout(QTextDocument& doc) {
    if (doc.property("_tolmek_paced").toBool())
        return;
    doc.setProperty("_tolmek_paced", true);
    new LayoutPacer(doc);
}

QString tooLargeMessage(qsizetype bytes) {
    const QString size = QLocale(QLocale::French, QLocale::France).toString(double(bytes) / 1e6, 'f', 1);
    return QStringLiteral(
               "Ce texte est trop volumineux pour être modifié (%1 Mo). Seul son début est affiché, "
               "en lecture seule.")
        .arg(size);
}

void loadPreview(const std::optional<QByteArray>& rtf, const QString& plain, QTextDocument& doc) {
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
