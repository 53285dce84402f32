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

// Font weights of a symbol (400 regular … 700 bold). The icon files are drawn with a thin outline;
// a heavier weight thickens every stroke, as a bolder font would.
constexpr int regular = 400;
constexpr int medium = 500;
constexpr int semibold = 600;
constexpr int bold = 700;

// A square pixmap of `px` logical pixels (times `dpr` physical), tinted with `color`. Cached.
QPixmap pixmap(const QString& name, const QColor& color, qreal px, qreal dpr = 1, int weight = regular);
// An icon for buttons and menus; disabled mode is drawn at reduced opacity.
QIcon icon(const QString& name, const QColor& color, qreal px, int weight = regular);
// Draws the symbol fitted and centred in `rect` (keeps the picture's aspect ratio), on whole device
// pixels so that its edges stay sharp.
void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color, int weight = regular);

// The stroke width, in pixels, of a symbol drawn `px` high at `weight`.
qreal strokeWidth(qreal px, int weight);

bool isKnown(const QString& name);
// The resource path drawn for `name` (":/icons/<file>.svg"); the fallback's for an unknown name.
QString fileFor(const QString& name);
QString fallbackFile();
// Every known symbol name.
QStringList knownNames();

} // namespace Symbols
