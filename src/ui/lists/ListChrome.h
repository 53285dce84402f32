#pragma once

#include "ui/DisplayLayout.h"
#include "ui/lists/ListWidgets.h"

#include <QMargins>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLineEdit;
class QMenu;
class QToolButton;

// The controls around a list: search field, list / grid switch, pager bar, empty state.
namespace lists {

// The rounded search field with its magnifying glass, at most 520 wide. The line edit is named by
// its placeholder; textChanged follows every change, typed or set (accessibility included).
class SearchField : public QWidget {
    Q_OBJECT
public:
    SearchField(const QString& placeholder, QWidget* parent = nullptr);
    QLineEdit* lineEdit() const { return m_edit; }
    // The width the field asks of its layout (0: the line edit's own hint).
    void setPreferredWidth(int width);
    // A plain field: no magnifier, on `fill` (read at paint time) instead of the card's colour.
    void setPlain(std::function<QColor()> fill);
    bool showsMagnifier() const;
    QColor fillColor() const;
    QSize sizeHint() const override;

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void followPalette();
    QLineEdit* m_edit;
    QWidget* m_glass;
    std::function<QColor()> m_fill;
    int m_preferredWidth = 0;
};

// The list / grid switch: two symbols in a capsule, the current one on a tinted capsule. The buttons
// are named "Liste" and "Grille" and read as checked when current; a click, or a toggle by assistive
// technology, emits picked() (the current one again too: the choice is written again).
class LayoutSwitch : public QWidget {
    Q_OBJECT
public:
    explicit LayoutSwitch(QWidget* parent = nullptr);
    void setCurrent(DisplayLayout layout);
    DisplayLayout current() const { return m_current; }
    QAbstractButton* listButton() const { return m_list; }
    QAbstractButton* gridButton() const { return m_grid; }

signals:
    void picked(DisplayLayout layout);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QAbstractButton* m_list;
    QAbstractButton* m_grid;
    DisplayLayout m_current = DisplayLayout::list;
};

// Previous, "Page n / m", next, then the page-size menu ("12 / page", "24 / page", "48 / page").
// The arrows are named "Page précédente" and "Page suivante"; a dimmed arrow stays clickable.
class PagerBar : public QWidget {
    Q_OBJECT
public:
    explicit PagerBar(QWidget* parent = nullptr);
    void setState(const QString& label, bool canPrevious, bool canNext, int pageSize);
    SymbolButton* previousButton() const { return m_prev; }
    SymbolButton* nextButton() const { return m_next; }
    QString labelText() const;
    QToolButton* sizeButton() const { return m_size; }
    QMenu* sizeMenu() const { return m_menu; }

signals:
    void previousClicked();
    void nextClicked();
    void pageSizePicked(int size);

private:
    SymbolButton* m_prev;
    SymbolButton* m_next;
    ClampedText* m_label;
    QToolButton* m_size;
    QMenu* m_menu;
};

// An empty list's message: an optional picture, a title and a message that change while a search is
// under way, and an optional button, in one column.
class EmptyState : public QWidget {
    Q_OBJECT
public:
    struct Texts {
        QString title, message; // nothing searched
        QString searchTitle, searchMessage; // a search matched nothing
    };
    struct Style {
        QFont titleFont;
        QFont messageFont;
        QMargins margins;
        int spacing = 10;
        int topSpace = 0; // empty space above the first item
        bool centred = true; // centred column and texts, else leading
        bool fillHeight = false; // centred vertically in all the height offered
        int messageMaxWidth = 0; // 0: no limit
        int buttonTopGap = 0; // extra space above the button
    };
    // Takes ownership of `picture` and `button` (either may be null).
    EmptyState(const Style& style, Texts texts, QWidget* picture, QAbstractButton* button, QWidget* parent = nullptr);

    void setSearching(bool searching);
    ClampedText* title() const { return m_title; }
    ClampedText* message() const { return m_message; }
    QAbstractButton* button() const { return m_button; }

private:
    Texts m_texts;
    ClampedText* m_title;
    ClampedText* m_message;
    QAbstractButton* m_button;
};

} // namespace lists
