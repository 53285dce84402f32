#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The desktop's own file chooser, asked through the freedesktop portal (org.freedesktop.portal.FileChooser)
// on the session bus: the chooser the person knows, in their language, with their places.
namespace PortalFileChooser {

enum class Mode { open, openMany, save };

// Whether a portal with a file chooser answers on the session bus (asked once, with a short wait).
bool isAvailable();

// Shows the chooser modally over `parent`'s window. Nothing when the portal could not be asked (the caller
// falls back to its own dialog); an empty list when the person cancelled.
std::optional<QStringList> choose(QWidget* parent, Mode mode, const QString& caption, const QString& dir,
                                  const QString& filter);

// A Qt filter text ("Images (*.png *.jpg);;Tous les fichiers (*)") as the portal's filters: each a name
// and its glob patterns.
QList<QPair<QString, QStringList>> parseFilters(const QString& filter);

// ----- tests -----
// The bus name asked instead of the desktop's portal (a fake one on the test's bus); empty: the real one.
void setServiceForTesting(const QString& service);

} // namespace PortalFileChooser
