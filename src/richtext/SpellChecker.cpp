#include "richtext/SpellChecker.h"

#include "richtext/Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QAbstractTextDocumentLayout>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QThread>
#include <QTimer>

#include <hunspell/hunspell.hxx>

#include <atomic>

namespace {

std::atomic<int> g_loadsInFlight{0};

} // namespace

// What the worker hands over: filled on the worker, read on the owner's thread once the worker ended.
struct SpellDictionary::Loaded {
    std::unique_ptr<Hunspell> hunspell;
    QString encoding;
};

SpellDictionary::SpellDictionary(QStringList searchPaths, QObject* parent)
    : QObject(parent), m_searchPaths(std::move(searchPaths)) {}

SpellDictionary::~SpellDictionary() {
    // The worker only touches its own result, never this object; still, it ends before we do.
    if (m_worker)
        m_worker->wait();
}

QStringList SpellDictionary::defaultSearchPaths() {
    QStringList paths;
    for (const char* dir : {"/usr/share/hunspell", "/usr/share/myspell/dicts", "/usr/share/myspell"})
        for (const char* name : {"fr_FR", "fr"})
            paths << QStringLiteral("%1/%2").arg(QLatin1String(dir), QLatin1String(name));
    return paths;
}

int SpellDictionary::loadsInFlight() { return g_loadsInFlight.load(); }

void SpellDictionary::ensureLoading() {
    if (m_worker || m_loaded)
        return;
    auto loaded = std::make_shared<Loaded>();
    const QStringList paths = m_searchPaths;
    ++g_loadsInFlight;
    m_worker.reset(QThread::create([loaded, paths] {
        for (const QString& base : paths) {
            const QString aff = base + QStringLiteral(".aff");
            const QString dic = base + QStringLiteral(".dic");
            if (QFileInfo::exists(aff) && QFileInfo::exists(dic)) {
                loaded->hunspell =
                    std::make_unique<Hunspell>(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData());
                loaded->encoding = QString::fromStdString(loaded->hunspell->get_dict_encoding());
                break;
            }
        }
        --g_loadsInFlight;
    }));
    // Delivered on this object's thread, and not at all once it is gone (the result then dies with the
    // last reference to it).
    connect(m_worker.get(), &QThread::finished, this, [this, loaded] { install(*loaded); });
    m_worker->start(QThread::LowPriority);
}

void SpellDictionary::install(Loaded& loaded) {
    m_hunspell = std::move(loaded.hunspell);
    const QString e = loaded.encoding.trimmed().toUpper();
    m_utf8 = e.isEmpty() || e == QLatin1String("UTF-8") || e == QLatin1String("UTF8");
    m_latin1 = e == QLatin1String("ISO8859-1") || e == QLatin1String("ISO-8859-1");
    if (m_hunspell && !m_utf8 && !m_latin1) {
        // An encoding we cannot convert to: better no checking than false alarms.
        qCWarning(lcRichText, "Spell checking off: unsupported dictionary encoding %s", qPrintable(loaded.encoding));
        m_hunspell.reset();
    }
    m_loaded = true;
    emit ready();
}

bool SpellDictionary::lookUp(const QString& word) {
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

bool SpellDictionary::isCorrect(const QString& word) {
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

namespace {
// Marks a paragraph whose check was put off.
struct Unchecked : QTextBlockUserData {};
} // namespace

SpellHighlighter::SpellHighlighter(QTextDocument* document, SpellDictionary& dictionary)
    : QSyntaxHighlighter(document), m_dictionary(&dictionary) {
    m_misspelt.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    m_misspelt.setUnderlineColor(QColor(255, 59, 48));
    m_resumeTimer = new QTimer(this);
    m_resumeTimer->setSingleShot(true);
    m_resumeTimer->setInterval(0);
    connect(m_resumeTimer, &QTimer::timeout, this, &SpellHighlighter::resumeChecks);
    m_pauseTimer = new QTimer(this);
    m_pauseTimer->setSingleShot(true);
    m_pauseTimer->setInterval(typingPauseMs);
    connect(m_pauseTimer, &QTimer::timeout, this, &SpellHighlighter::checkTypedWord);
}

void SpellHighlighter::checkTypedWord() {
    if (m_typedWord.isNull() || !document())
        return;
    const QTextBlock block = m_typedWord.block();
    m_typedWord = QTextCursor();
    if (!block.isValid() || !m_dictionary || !m_dictionary->isAvailable())
        return;
    // Drawing an underline lays the paragraph out again (a long one costs as much as the key did):
    // only when the word left waiting is misspelt do its underlines change.
    QList<std::pair<int, int>> shown;
    if (const QTextLayout* layout = block.layout())
        for (const QTextLayout::FormatRange& r : layout->formats())
            if (r.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                shown.append({r.start, r.length});
    QList<std::pair<int, int>> misspelt;
    const QString text = block.text();
    for (const auto& [start, length] : words(text))
        if (!m_dictionary->isCorrect(text.mid(start, length)))
            misspelt.append({start, length});
    if (misspelt == shown)
        return;
    m_rechecking = true;
    rehighlightBlock(block);
    m_rechecking = false;
}

bool SpellHighlighter::withinBudget() {
    if (m_rechecking)
        return true;
    // Every paragraph highlighted in one event-loop turn belongs to the same pass.
    if (!m_passOpen) {
        m_passOpen = true;
        m_passClock.start();
        QTimer::singleShot(0, this, [this] { m_passOpen = false; });
    }
    return m_passClock.elapsed() < passBudgetMs;
}

void SpellHighlighter::followView(QTextEdit* view) {
    m_view = view;
    view->viewport()->installEventFilter(this);
}

bool SpellHighlighter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && m_view && watched == m_view->viewport()) {
        m_painted = static_cast<QPaintEvent*>(event)->rect();
        if (m_resumeBlock >= 0)
            m_resumeTimer->start();
    }
    return QSyntaxHighlighter::eventFilter(watched, event);
}

void SpellHighlighter::resumeChecks() {
    QTextDocument* doc = document();
    if (!doc || m_resumeBlock < 0)
        return;
    QElapsedTimer clock;
    clock.start();
    QTextBlock block = doc->findBlockByNumber(m_resumeBlock);
    qreal bottom = -1;
    if (m_view) {
        if (m_painted.isEmpty())
            return;
        // Only what was painted: the rest waits until it is shown.
        block = m_view->cursorForPosition(m_painted.topLeft()).block();
        bottom = m_painted.bottom() + m_view->verticalScrollBar()->value();
    }
    bool more = false;
    m_rechecking = true;
    for (; block.isValid(); block = block.next()) {
        if (bottom >= 0 && doc->documentLayout()->blockBoundingRect(block).top() > bottom)
            break;
        if (clock.elapsed() >= passBudgetMs) {
            more = true;
            break;
        }
        if (dynamic_cast<Unchecked*>(block.userData()))
            rehighlightBlock(block);
    }
    m_rechecking = false;
    if (!m_view)
        m_resumeBlock = block.isValid() ? block.blockNumber() : -1;
    if (more)
        m_resumeTimer->start();
}

QList<std::pair<int, int>> SpellHighlighter::words(const QString& text) {
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

void SpellHighlighter::highlightBlock(const QString& text) {
    if (!m_dictionary || !m_dictionary->isAvailable())
        return;
    if (!withinBudget()) {
        setCurrentBlockUserData(new Unchecked);
        const int number = currentBlock().blockNumber();
        if (m_resumeBlock < 0 || number < m_resumeBlock)
            m_resumeBlock = number;
        m_resumeTimer->start();
        return;
    }
    if (currentBlockUserData())
        setCurrentBlockUserData(nullptr);
    // The word being typed waits (not underlined) until the caret leaves it or the typing pauses.
    int caret = -1;
    if (!m_rechecking && m_view && m_view->hasFocus()) {
        const QTextCursor c = m_view->textCursor();
        if (!c.hasSelection() && c.block() == currentBlock())
            caret = c.positionInBlock();
    }
    for (const auto& [start, length] : words(text)) {
        if (caret >= start && caret <= start + length) {
            m_typedWord = QTextCursor(currentBlock());
            m_pauseTimer->start();
            continue;
        }
        if (!m_dictionary->isCorrect(text.mid(start, length)))
            setFormat(start, length, m_misspelt);
    }
}
