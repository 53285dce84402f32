#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// Draws the application's symbols (named like "folder.fill") from the bundled icon files,
// in one colour. Unknown names draw a neutral fallback picture.
namespace Symbols {

// A square pixmap of `px` logical pixels (times `dpr` physical), tinted with `color`. Cached.
QPixmap pixmap(const QString& name, const QColor& color, qreal px, qreal dpr = 1);
// An icon for buttons and menus; disabled mode is drawn at reduced opacity.
QIcon icon(const QString& name, const QColor& color, qreal px);
// Draws the symbol fitted and centred in `rect` (keeps the picture's aspect ratio).
void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

bool isKnown(const QString& name);
// The resource path drawn for `name` (":/icons/<file>.svg"); the fallback's for an unknown name.
QString fileFor(const QString& name);
QString fallbackFile();
// Every known symbol name.
QStringList knownNames();

} // namespace Symbols
