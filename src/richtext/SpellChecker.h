#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <memory>

class Hunspell;

// The French dictionary (hunspell-fr), loaded once per process on a worker thread so that opening
// an editor never waits for it. Until it is loaded every word counts as correct.
class SpellDictionary : public QObject {
    Q_OBJECT
public:
    static SpellDictionary& shared();

    // Starts loading on first call; `ready` follows (also when no dictionary was found: isAvailable false).
    void ensureLoading();
    bool isLoaded() const { return m_loaded; }
    bool isAvailable() const { return m_hunspell != nullptr; }

    // Whether `word` is spelt right; true while nothing is loaded or the word cannot be encoded.
    bool isCorrect(const QString& word);

    // Candidate dictionaries, in order of preference.
    static QStringList searchPaths();

signals:
    void ready();

private:
    SpellDictionary();
    ~SpellDictionary() override;
    void install(Hunspell* hunspell, const QString& encoding);
    bool lookUp(const QString& word);

    std::unique_ptr<Hunspell> m_hunspell;
    bool m_loading = false;
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
    explicit SpellHighlighter(QTextDocument* document);

    // The words of `text` (start, length) that are checked: letters with inner apostrophes and
    // hyphens; words with digits and single letters are skipped.
    static QList<std::pair<int, int>> words(const QString& text);

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat m_misspelt;
};
