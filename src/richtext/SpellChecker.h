#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QSyntaxHighlighter>
#include <QTextCursor>
#include <QTextCharFormat>

#include <memory>

class Hunspell;
class QThread;
class QTextEdit;
class QTimer;

// The French dictionary (hunspell-fr), loaded on a worker thread so that opening an editor never
// waits for it. Until it is loaded every word counts as correct. The worker belongs to the
// dictionary: destroying the dictionary waits for a load in flight and frees what it made.
class SpellDictionary : public QObject {
    Q_OBJECT
public:
    // Looks for the dictionary in `searchPaths` (base names without ".aff"/".dic").
    explicit SpellDictionary(QStringList searchPaths = defaultSearchPaths(), QObject* parent = nullptr);
    ~SpellDictionary() override;

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
// document's formats, so nothing of it is stored. A pass over many paragraphs (loading a long text, the
// dictionary arriving, a large paste) checks for at most `passBudgetMs` in one event-loop turn; the
// paragraphs left are checked afterwards in slices of that size, so the window keeps answering: with a
// view followed, only those it paints (checking a paragraph lays out the text up to it), else all.
class SpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    static constexpr int passBudgetMs = 8;
    // The word under the caret of the followed view is checked once the caret leaves it or after this
    // pause in the typing: underlining it at every key would lay its paragraph out a second time.
    static constexpr int typingPauseMs = 500;

    SpellHighlighter(QTextDocument* document, SpellDictionary& dictionary);

    // Checks the paragraphs left waiting as `view` paints them, rather than the whole text.
    void followView(QTextEdit* view);

    // Paragraphs still waiting for their check.
    bool hasPendingChecks() const { return m_resumeBlock >= 0; }
    // True while the checker re-draws paragraphs on its own: the document's change signals then carry no edit.
    bool isRechecking() const { return m_rechecking; }

    // The words of `text` (start, length) that are checked: letters with inner apostrophes and
    // hyphens; words with digits and single letters are skipped.
    static QList<std::pair<int, int>> words(const QString& text);

protected:
    void highlightBlock(const QString& text) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool withinBudget();
    void resumeChecks();
    void checkTypedWord();

    QPointer<SpellDictionary> m_dictionary;
    QTextCharFormat m_misspelt;
    QElapsedTimer m_passClock;
    bool m_passOpen = false;
    bool m_rechecking = false;
    // The first paragraph that may still wait for its check; -1 when none does.
    int m_resumeBlock = -1;
    QTimer* m_resumeTimer = nullptr;
    QPointer<QTextEdit> m_view;
    // The part of the view's viewport painted last.
    QRect m_painted;
    // The paragraph whose word under the caret waits for the pause.
    QTextCursor m_typedWord;
    QTimer* m_pauseTimer = nullptr;
};
