#include "prefs/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {
Preferences* g_override = nullptr;
}

Preferences::Preferences(const QString& path, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

Preferences::~Preferences() {
    m_settings->sync();
    if (g_override == this)
        g_override = nullptr;
}

Preferences& Preferences::shared() {
    if (g_override)
        return *g_override;
    static Preferences* instance = [] {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Tolmek";
        QDir().mkpath(dir);
        auto* p = new Preferences(dir + "/Tolmek.conf");
        if (auto* app = QCoreApplication::instance())
            p->setParent(app);
        return p;
    }();
    return *instance;
}

void Preferences::setShared(Preferences* prefs) { g_override = prefs; }

QVariant Preferences::value(const QString& key, const QVariant& defaultValue) const {
    return m_settings->value(key, defaultValue);
}

bool Preferences::contains(const QString& key) const { return m_settings->contains(key); }

void Preferences::setValue(const QString& key, const QVariant& value) {
    // An unchanged value is not written: QSettings would rewrite the whole file, and a file holding bytes
    // it cannot read back as they were (not UTF-8) would be damaged by a mere start. The write is still
    // announced, as every write is.
    bool same = false;
    if (m_settings->contains(key)) {
        const QVariant old = m_settings->value(key);
        same = old.metaType() == value.metaType() && old == value;
        // The file keeps numbers and booleans as text and reads them back as text.
        const int type = value.typeId();
        if (!same && old.typeId() == QMetaType::QString &&
            (type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::LongLong))
            same = old.toString() == value.toString();
    }
    if (!same)
        m_settings->setValue(key, value);
    emit changed(key);
}

void Preferences::remove(const QString& key) {
    if (m_settings->contains(key))
        m_settings->remove(key);
    emit changed(key);
}

void Preferences::sync() { m_settings->sync(); }

QString Preferences::fileName() const { return m_settings->fileName(); }
