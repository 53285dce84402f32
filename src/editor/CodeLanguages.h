#pragma once

#include "ui/Palette.h"

#include <QColor>
#include <QList>
#include <QString>

// The languages a code block offers, in menu order, with their symbol and colour.
namespace codelang {

struct Language {
    QString name; // stored lower case
    QString icon; // symbol name
    StandardColor tone;
    QColor color() const { return standardColor(tone); } // for the current appearance
};

const QList<Language>& languages();
// The row whose name equals `language` lower-cased; the first row ("bash") when none does.
const Language& current(const QString& language);
// First letter of each word upper case, the rest lower case ("cpp" → "Cpp", "objective c" → "Objective C").
QString capitalized(const QString& text);
// Lines of `code`: one more than its line breaks (LF, VT, FF, CR, NEL, LS, PS each count), at least 1.
int lineCount(const QString& code);

} // namespace codelang
