#pragma once

#include "richtext/RichTextEnvironment.h"
#include "rtf/Rtf.h"
#include "support/TestServices.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace rttest {

// A typed key is written behind the frame that shows it: lets that turn come.
inline void afterFrame() { QCoreApplication::sendPostedEvents(); }

// What the application hands an editor: its one appearance and the program's dictionary.
inline RichTextEnvironment environment() { return {ThemeManager::shared(), testsupport::testDictionary()}; }

// The document as it comes back from the stored RTF.
inline std::unique_ptr<QTextDocument> reloaded(const QTextDocument& doc) {
    auto out = std::make_unique<QTextDocument>();
    rtf::read(rtf::write(doc), *out);
    return out;
}

// The character format at `pos` (the character after it).
inline QTextCharFormat formatAt(const QTextDocument& doc, int pos) {
    const QTextBlock block = doc.findBlock(pos);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.contains(pos))
            return f.charFormat();
    }
    return {};
}

inline QTextCursor select(QTextDocument& doc, int from, int to) {
    QTextCursor c(&doc);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    return c;
}

inline int pixelSize(const QTextCharFormat& f) {
    return f.hasProperty(QTextFormat::FontPixelSize) ? f.intProperty(QTextFormat::FontPixelSize) : 0;
}

inline QString family(const QTextCharFormat& f) {
    const QStringList l = f.fontFamilies().toStringList();
    return l.isEmpty() ? QString() : l.first();
}

} // namespace rttest
