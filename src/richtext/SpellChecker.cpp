#include "richtext/SpellChecker.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>

#include <hunspell/hunspell.hxx>

SpellDictionary& SpellDictionary::shared()
{
    // Never destroyed: the loading worker may still deliver to it while the application exits.
    static SpellDictionary* dictionary = new SpellDictionary;
    return *dictionary;
}

SpellDictionary::SpellDictionary() = default;
SpellDictionary::~SpellDictionary() = default;

QStringList SpellDictionary::searchPaths()
{
    QStringList paths;
    for (const char* dir : {"/usr/share/hunspell", "/usr/share/myspell/dicts", "/usr/share/myspell"})
        for (const char* name : {"fr_FR", "fr"})
            paths << QStringLiteral("%1/%2").arg(QLatin1String(dir), QLatin1String(name));
    return paths;
}

void SpellDictionary::ensureLoading()
{
    if (m_loading || m_loaded)
        return;
    m_loading = true;
    QThreadPool::globalInstance()->start([this] {
        Hunspell* hunspell = nullptr;
        QString encoding;
        for (const QString& base : searchPaths()) {
            const QString aff = base + QStringLiteral(".aff");
            const QString dic = base + QStringLiteral(".dic");
            if (QFileInfo::exists(aff) && QFileInfo::exists(dic)) {
                hunspell = new Hunspell(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData());
                encoding = QString::fromStdString(hunspell->get_dict_encoding());
                break;
            }
        }
        QMetaObject::invokeMethod(this, [this, hunspell, encoding] { install(hunspell, encoding); }, Qt::QueuedConnection);
    });
}

void SpellDictionary::install(Hunspell* hunspell, const QString& encoding)
{
    m_hunspell.reset(hunspell);
    const QString e = encoding.trimmed().toUpper();
    m_utf8 = e.isEmpty() || e == QLatin1String("UTF-8") || e == QLatin1String("UTF8");
    m_latin1 = e == QLatin1String("ISO8859-1") || e == QLatin1String("ISO-8859-1");
    if (m_hunspell && !m_utf8 && !m_latin1) {
        // An encoding we cannot convert to: better no checking than false alarms.
        qWarning("Spell checking off: unsupported dictionary encoding %s", qPrintable(encoding));
        m_hunspell.reset();
    }
    m_loading = false;
    m_loaded = true;
    emit ready();
}

bool SpellDictionary::lookUp(const QString& word)
{
    std::string bytes;
    if (m_utf8) {
        bytes = word.toStdString();
    } else {
        for (QChar c : word)
            if (c.unicode() > 0xFF)
                return true;
        bytes = word.toLatin1().toStdString();
    }
    return m_hunspell->spell(bytes);
}

bool SpellDictionary::isCorrect(const QString& word)
{
    if (!m_hunspell || word.isEmpty())
        return true;
    auto it = m_cache.constFind(word);
    if (it != m_cache.constEnd())
        return *it;
    bool ok = lookUp(word);
    if (!ok && word.contains(QLatin1Char('-'))) {
        // Compounds the dictionary does not list ("mot-clé-là") are right when every part is.
        ok = true;
        for (const QString& part : word.split(QLatin1Char('-'), Qt::SkipEmptyParts))
            ok = ok && (part.size() < 2 || lookUp(part));
    }
    if (m_cache.size() > 50000)
        m_cache.clear();
    m_cache.insert(word, ok);
    return ok;
}

namespace {

bool isWordChar(QChar c) { return c.isLetter() || c.isMark(); }
bool isJoiner(QChar c) { return c == QLatin1Char('\'') || c == QChar(0x2019) || c == QLatin1Char('-'); }

} // namespace

SpellHighlighter::SpellHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document)
{
    m_misspelt.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    m_misspelt.setUnderlineColor(QColor(255, 59, 48));
}

QList<std::pair<int, int>> SpellHighlighter::words(const QString& text)
{
    QList<std::pair<int, int>> out;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        if (!isWordChar(text[i]) && !text[i].isDigit()) {
            ++i;
            continue;
        }
        const int start = i;
        bool digit = false;
        while (i < n) {
            const QChar c = text[i];
            if (isWordChar(c)) {
                ++i;
            } else if (c.isDigit()) {
                digit = true;
                ++i;
            } else if (isJoiner(c) && i + 1 < n && isWordChar(text[i + 1]) && i > start) {
                ++i;
            } else {
                break;
            }
        }
        if (!digit && i - start >= 2)
            out.append({start, i - start});
    }
    return out;
}

void SpellHighlighter::highlightBlock(const QString& text)
{
    SpellDictionary& dictionary = SpellDictionary::shared();
    if (!dictionary.isAvailable())
        return;
    for (const auto& [start, length] : words(text)) {
        if (!dictionary.isCorrect(text.mid(start, length)))
            setFormat(start, length, m_misspelt);
    }
}
