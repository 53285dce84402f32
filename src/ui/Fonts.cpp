#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cmath>

#include <fontconfig/fontconfig.h>

namespace {

QString pickFamily(const QString& wanted, QFontDatabase::SystemFont fallback) {
    if (QFontDatabase::families().contains(wanted))
        return wanted;
    return QFontDatabase::systemFont(fallback).family();
}

QFont make(const QString& family, qreal px, int weight) {
    QFont f(family);
    f.setPixelSize(std::max(1, int(std::lround(px))));
    f.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
    return f;
}

} // namespace

namespace Fonts {

void loadSystemConfiguration() { FcInit(); }

QString systemFamily() {
    static const QString family = pickFamily(QStringLiteral("Inter"), QFontDatabase::GeneralFont);
    return family;
}

QString monoFamily() {
    static const QString family = pickFamily(QStringLiteral("JetBrains Mono"), QFontDatabase::FixedFont);
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
