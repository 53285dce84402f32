#include "prefs/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {
Preferences* g_override = nullptr;

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A key as the file writes it: %XX and %UXXXX for other characters than letters, digits and a few signs.
QString unescapedKey(const QByteArray& raw) {
    QByteArray bytes;
    QString out;
    auto flush = [&] {
        out += QString::fromUtf8(bytes);
        bytes.clear();
    };
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '%' && i + 5 < raw.size() && raw.at(i + 1) == 'U') {
            bool ok = false;
            const uint u = raw.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                flush();
                out += QChar(char16_t(u));
                i += 5;
                continue;
            }
        }
        if (c == '%' && i + 2 < raw.size()) {
            bool ok = false;
            const uint b = raw.mid(i + 1, 2).toUInt(&ok, 16);
            if (ok) {
                bytes += char(b);
                i += 2;
                continue;
            }
        }
        bytes += c == '\\' ? '/' : c;
    }
    flush();
    return out;
}

// A value as the file writes it, read as one text: quotes go, escapes are read, and commas stay
// where they are instead of splitting the text into a list.
QString unescapedText(const QString& raw) {
    QString out;
    const QString in = raw.trimmed();
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        if (c == u'"')
            continue;
        if (c != u'\\' || i + 1 >= in.size()) {
            out += c;
            continue;
        }
        const char16_t n = in.at(++i).unicode();
        switch (n) {
        case 'a': out += QChar(u'\a'); break;
        case 'b': out += QChar(u'\b'); break;
        case 'f': out += QChar(u'\f'); break;
        case 'n': out += QChar(u'\n'); break;
        case 'r': out += QChar(u'\r'); break;
        case 't': out += QChar(u'\t'); break;
        case 'v': out += QChar(u'\v'); break;
        case '\n': break; // a line continued on the next
        case '\r':
            if (i + 1 < in.size() && in.at(i + 1) == u'\n')
                ++i;
            break;
        case 'x': {
            uint value = 0;
            int digits = 0;
            while (i + 1 < in.size() && digits < 4 && hexDigit(in.at(i + 1)) >= 0) {
                value = value * 16 + uint(hexDigit(in.at(++i)));
                ++digits;
            }
            out += QChar(char16_t(value));
            break;
        }
        default:
            if (n >= '0' && n <= '7') {
                uint value = n - '0';
                for (int k = 0; k < 2 && i + 1 < in.size() && in.at(i + 1) >= u'0' && in.at(i + 1) <= u'7'; ++k)
                    value = value * 8 + uint(in.at(++i).unicode() - '0');
                out += QChar(char16_t(value));
            } else {
                out += QChar(n);
            }
            break;
        }
    }
    return out;
}

// The text of `key` in the INI file at `path`, as written (the last entry wins, as for QSettings).
std::optional<QString> fileText(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    std::optional<QString> found;
    QString section;
    qsizetype start = 0;
    while (start < data.size()) {
        // A line ends at a new line that no backslash continues.
        qsizetype end = start;
        while (end < data.size() && data.at(end) != '\n')
            ++end;
        while (end < data.size()) {
            qsizetype slashes = 0;
            for (qsizetype k = end - 1; k >= start && data.at(k) == '\\'; --k)
                ++slashes;
            if (slashes % 2 == 0)
                break;
            ++end;
            while (end < data.size() && data.at(end) != '\n')
                ++end;
        }
        const QByteArray line = data.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = unescapedKey(line.mid(1, close < 0 ? -1 : close - 1));
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QString name = unescapedKey(line.left(eq).trimmed());
        if ((section.isEmpty() ? name : section + u'/' + name) == key)
            found = unescapedText(QString::fromUtf8(line.mid(eq + 1)));
    }
    return found;
}
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

bool Preferences::holdsText(const QString& key) const { return m_settings->value(key).typeId() == QMetaType::QString; }

std::optional<QString> Preferences::text(const QString& key) const {
    if (!m_settings->contains(key))
        return std::nullopt;
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    // Read from the file itself: what QSettings made of it (a list, an invalid variant) has lost it.
    if (std::optional<QString> written = fileText(m_settings->fileName(), key))
        return written;
    return value.toString();
}

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
