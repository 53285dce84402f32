#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QThread>

#include <cmath>

#include <fontconfig/fontconfig.h>

namespace {

const QString kInter = QStringLiteral("Inter");
const QString kJetBrainsMono = QStringLiteral("JetBrains Mono");

struct Installed {
    bool inter = false;
    bool mono = false;
};

// Qt's list of families, read once by whichever thread asks first.
const Installed& installed() {
    static const Installed found = [] {
        const QStringList families = QFontDatabase::families();
        return Installed{families.contains(kInter), families.contains(kJetBrainsMono)};
    }();
    return found;
}

// The platform's font asks the platform theme, which belongs to the GUI thread.
QString fallbackFamily(QFontDatabase::SystemFont which) {
    Q_ASSERT(!qApp || QThread::currentThread() == qApp->thread());
    return QFontDatabase::systemFont(which).family();
}

QFont make(const QString& family, qreal px, int weight) {
    QFont f(family);
    f.setPixelSize(std::max(1, int(std::lround(px))));
    f.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
    return f;
}

} // namespace

namespace Fonts {

// Qt makes a font engine per face and size and asks FcFontMatch, with a pattern naming the face's file,
// for its rendering settings: the full match scores every installed face each time. That is about 25 ms
// of the first frame with 2,000 installed faces and nothing measurable with a few hundred, so the
// library's match is left as it is rather than replaced for every library in the process.
void loadSystemConfiguration() { FcInit(); }

void readFamilies() { installed(); }

QString systemFamily() {
    static const QString family = installed().inter ? kInter : fallbackFamily(QFontDatabase::GeneralFont);
    return family;
}

QString monoFamily() {
    static const QString family = installed().mono ? kJetBrainsMono : fallbackFamily(QFontDatabase::FixedFont);
    return family;
}

QFont system(qreal px, int weight) { return make(systemFamily(), px, weight); }

QFont rounded(qreal px, int weight) { return make(systemFamily(), px, weight); }

QFont mono(qreal px, int weight) {
    QFont f = make(monoFamily(), px, weight);
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    return f;
}

} // namespace Fonts
