#include "richtext/LargeText.h"

#include "rtf/Rtf.h"

#include <QLocale>
#include <QTextCursor>
#include <QTextDocument>

namespace largetext {

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
