#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <memory>

class Hunspell;
class QThread;

// The French dictionary (hunspell-fr), loaded on a worker thread so that opening an editor never
// waits for it. Until it is loaded every word counts as correct. The worker belongs to the
// dictionary: destroying the dictionary waits for a load in flight and frees what it made.
class SpellDictionary : public QObject {
    Q_OBJECT
public:
    // Looks for the dictionary in `searchPaths` (base names without ".aff"/".dic").
    explicit SpellDictionary(QStringList searchPaths = defaultSearchPaths(), QObject* parent = nullptr);
    ~SpellDictionary() override;

    // The application's dictionary: one per application object, created on first use and destroyed
    // with it (its worker included).
    static SpellDictionary& shared();

    // Starts loading on first call; `ready` follows (also when no dictionary was found: isAvailable false).
    void ensureLoading();
    bool isLoaded() const { return m_loaded; }
    bool isAvailable() const { return m_hunspell != nullptr; }

    // Whether `word` is spelt right; true while nothing is loaded or the word cannot be encoded.
    bool isCorrect(const QString& word);

    // Candidate dictionaries, in order of preference.
    static QStringList defaultSearchPaths();
    static QStringList searchPaths() { return defaultSearchPaths(); }

    // Loads running in the process (tests: none may outlive its dictionary).
    static int loadsInFlight();

signals:
    void ready();

private:
    struct Loaded;
    void install(Loaded& loaded);
    bool lookUp(const QString& word);

    QStringList m_searchPaths;
    std::unique_ptr<QThread> m_worker;
    std::unique_ptr<Hunspell> m_hunspell;
    bool m_loaded = false;
    bool m_utf8 = true;
    bool m_latin1 = false;
    QHash<QString, bool> m_cache;
};

// Underlines misspelt words with a red wavy line. It changes only how the text is drawn, never the
// document's formats, so nothing of it is stored.
class SpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SpellHighlighter(QTextDocument* document, SpellDictionary& dictionary = SpellDictionary::shared());

    // The words of `text` (start, length) that are checked: letters with inner apostrophes and
    // hyphens; words with digits and single letters are skipped.
    static QList<std::pair<int, int>> words(const QString& text);

protected:
    void highlightBlock(const QString& text) override;

private:
    QPointer<SpellDictionary> m_dictionary;
    QTextCharFormat m_misspelt;
};
