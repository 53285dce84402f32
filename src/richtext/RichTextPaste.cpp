#include "richtext/RichTextPaste.h"

#include "rtf/Rtf.h"
#include "ui/Fonts.h"

#include <QLocale>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace richtext {

namespace {

// Pasted HTML must not make us read files or fetch anything (images, style sheets).
class ResourceFreeDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

bool looksMonospaced(const QString& family) {
    static const char* const hints[] = {"mono", "courier", "consol", "code", "menlo", "monaco", "fixed"};
    for (const char* h : hints)
        if (family.contains(QLatin1String(h), Qt::CaseInsensitive))
            return true;
    return false;
}

QString familyOf(const QTextCharFormat& f) {
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty())
        return families.first();
    return f.stringProperty(QTextFormat::FontFamily);
}

// Grey, black and white: page colours of web content, which would vanish in the other theme.
bool isAchromatic(const QColor& c) { return c.toHsv().hsvSaturation() < 40; }

std::optional<QColor> solidColor(const QTextCharFormat& f, QTextFormat::Property property) {
    if (!f.hasProperty(property))
        return std::nullopt;
    const QBrush brush = f.brushProperty(property);
    if (brush.style() == Qt::NoBrush || !brush.color().isValid() || brush.color().alpha() == 0)
        return std::nullopt;
    return brush.color();
}

QTextCharFormat sanitized(const QTextCharFormat& f, bool fromHtml) {
    QTextCharFormat o;
    if (f.fontFixedPitch() || looksMonospaced(familyOf(f)))
        o.setFontFamilies(QStringList{Fonts::monoFamily()});
    // Sizes of web pages mean nothing here; RTF sizes are ours or a word processor's.
    if (!fromHtml && f.hasProperty(QTextFormat::FontPixelSize)) {
        const int px = f.intProperty(QTextFormat::FontPixelSize);
        if (px > 0)
            o.setProperty(QTextFormat::FontPixelSize, std::clamp(px, 6, 200));
    }
    if (f.hasProperty(QTextFormat::FontWeight)) {
        const int w = f.intProperty(QTextFormat::FontWeight);
        if (w >= QFont::Bold)
            o.setFontWeight(QFont::Bold);
        else if (w >= QFont::DemiBold)
            o.setFontWeight(QFont::DemiBold);
    }
    if (f.fontItalic())
        o.setFontItalic(true);
    if (f.fontStrikeOut())
        o.setFontStrikeOut(true);
    // A link keeps only its text.
    if (f.isAnchor())
        return o;
    if (f.hasProperty(QTextFormat::TextUnderlineStyle) &&
        f.intProperty(QTextFormat::TextUnderlineStyle) != QTextCharFormat::NoUnderline)
        o.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    if (auto fg = solidColor(f, QTextFormat::ForegroundBrush); fg && !(fromHtml && isAchromatic(*fg)))
        o.setForeground(fg->toRgb());
    if (auto bg = solidColor(f, QTextFormat::BackgroundBrush); bg && !(fromHtml && isAchromatic(*bg)))
        o.setBackground(bg->toRgb());
    return o;
}

PasteResult insertDocument(QTextCursor& cursor, const QTextDocument& source, bool fromHtml, qsizetype room) {
    if (source.characterCount() - 1 > room)
        return PasteResult::tooLarge;
    QTextDocument clean;
    copySanitized(source, clean, fromHtml);
    if (clean.isEmpty())
        return PasteResult::nothing;
    cursor.insertFragment(QTextDocumentFragment(&clean));
    return PasteResult::pasted;
}

} // namespace

QStringList rtfMimeTypes() {
    return {QStringLiteral("text/rtf"), QStringLiteral("application/rtf"), QStringLiteral("text/richtext")};
}

bool canPaste(const QMimeData* source) {
    if (!source)
        return false;
    for (const QString& type : rtfMimeTypes())
        if (source->hasFormat(type))
            return true;
    return source->hasHtml() || (source->hasText() && !source->text().isEmpty());
}

void copySanitized(const QTextDocument& source, QTextDocument& out, bool fromHtml) {
    QTextCursor c(&out);
    bool first = true;
    bool previousInTable = false;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        bool separateByTab = false;
        QTextTable* table = QTextCursor(block).currentTable();
        if (table) {
            const QTextTableCell cell = table->cellAt(block.position());
            separateByTab = cell.isValid() && cell.column() > 0 && block.position() == cell.firstPosition();
        }
        // The empty paragraph the document keeps after every table is structure, not text.
        const bool afterTable = previousInTable && !table && block.length() <= 1;
        previousInTable = table != nullptr;
        if (afterTable)
            continue;
        if (!first) {
            if (separateByTab)
                c.insertText(QStringLiteral("\t"));
            else
                c.insertBlock(QTextBlockFormat(), QTextCharFormat());
        }
        first = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QString text = fragment.text();
            text.remove(QChar::ObjectReplacementCharacter);
            if (!text.isEmpty())
                c.insertText(text, sanitized(fragment.charFormat(), fromHtml));
        }
    }
}

PasteResult paste(QTextCursor& cursor, const QMimeData* source, qsizetype room) {
    if (!source || cursor.isNull())
        return PasteResult::nothing;
    // Markup holds at least a byte per character: data far past the room is refused before it is read,
    // reading it alone would hold the window for seconds.
    const qsizetype readable = room > std::numeric_limits<qsizetype>::max() / 4 ? room : 2 * room + 4096;
    for (const QString& type : rtfMimeTypes()) {
        if (!source->hasFormat(type))
            continue;
        const QByteArray bytes = source->data(type);
        if (bytes.size() > readable)
            return PasteResult::tooLarge;
        QTextDocument doc;
        // Unreadable RTF falls through to the other formats.
        if (rtf::read(bytes, doc)) {
            const PasteResult r = insertDocument(cursor, doc, false, room);
            if (r != PasteResult::nothing)
                return r;
        }
        break;
    }
    if (source->hasHtml()) {
        const QString html = source->html();
        if (html.size() > readable)
            return PasteResult::tooLarge;
        ResourceFreeDocument doc;
        doc.setHtml(html);
        const PasteResult r = insertDocument(cursor, doc, true, room);
        if (r != PasteResult::nothing)
            return r;
    }
    if (source->hasText()) {
        const QString text = source->text();
        if (text.size() > room)
            return PasteResult::tooLarge;
        if (!text.isEmpty()) {
            cursor.insertText(text);
            return PasteResult::pasted;
        }
    }
    return PasteResult::nothing;
}

QString pasteTooLargeText() { return QStringLiteral("Ce collage est trop volumineux."); }

QString pasteTooLargeDetail(qsizetype limit) {
    return QStringLiteral("Un texte compte au plus %1 caractères ; rien n’a été collé.")
        .arg(QLocale(QLocale::French, QLocale::France).toString(qlonglong(limit)));
}

} // namespace richtext
