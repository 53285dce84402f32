#include "ui/BoundedText.h"

#include <QTextBoundaryFinder>

namespace BoundedText {

namespace {
const QChar kEllipsis(0x2026);

void chopBlanks(QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    s.truncate(n);
}
} // namespace

QString bounded(const QString& text, int maxLength) {
    if (text.size() <= maxLength)
        return text;
    // Only the window around the cut is searched for a boundary.
    const qsizetype from = std::max<qsizetype>(0, maxLength - 32);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.constData() + from, maxLength + 1 - from);
    graphemes.setPosition(maxLength - from);
    qsizetype cut = maxLength;
    if (!graphemes.isAtBoundary()) {
        const qsizetype previous = graphemes.toPreviousBoundary();
        cut = previous > 0 ? from + previous : from;
    }
    // A surrogate pair is one grapheme even where the finder saw half of it.
    if (cut > 0 && cut < text.size() && text.at(cut - 1).isHighSurrogate())
        --cut;
    QString out = text.left(cut);
    chopBlanks(out);
    out.append(kEllipsis);
    return out;
}

QString withoutBlankBeforeEllipsis(const QString& elided) {
    if (!elided.endsWith(kEllipsis))
        return elided;
    QString out = elided.chopped(1);
    chopBlanks(out);
    out.append(kEllipsis);
    return out;
}

} // namespace BoundedText
