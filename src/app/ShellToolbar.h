#pragma once

#include "app/ShellState.h"

#include <QColor>
#include <QToolButton>
#include <QWidget>

#include <functional>

class QMenu;
class ThemeManager;

// An icon-only button in a 34 × 30 frame: one symbol in one colour, optionally on a filled circle.
// Its label is its accessible name; its help is its tooltip.
class ToolbarIconButton : public QToolButton {
    Q_OBJECT
public:
    ToolbarIconButton(const QString& label, const QString& symbol, qreal symbolPx, std::function<QColor()> color,
                      QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    // The symbol's weight (Symbols::regular … Symbols::bold), matching its font.
    void setSymbolWeight(int weight) {
        m_weight = weight;
        update();
    }
    // A circle of this colour behind the symbol (the creation button).
    void setCircleColor(std::function<QColor()> color) {
        m_circle = std::move(color);
        update();
    }
    QSize sizeHint() const override { return {34, 30}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    qreal m_px;
    int m_weight = 400;
    std::function<QColor()> m_color;
    std::function<QColor()> m_circle;
};

// The rounded pill on the trailing side that holds the toolbar's buttons.
class ToolbarPill : public QWidget {
    Q_OBJECT
public:
    explicit ToolbarPill(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The detail column's toolbar: the one back button that fits the state on the leading side; the
// creation button, the theme toggle and the account menu in a pill on the trailing side.
class ShellToolbar : public QWidget {
    Q_OBJECT
public:
    static constexpr int height = 52;

    // The theme toggle cycles `theme`; everything repaints when it changes the appearance.
    ShellToolbar(ShellState* state, ThemeManager& theme, QWidget* parent = nullptr);

    ToolbarIconButton* backButton() const { return m_back; }
    ToolbarIconButton* createButton() const { return m_create; }
    ToolbarIconButton* themeButton() const { return m_theme; }
    ToolbarIconButton* accountButton() const { return m_account; }
    QMenu* accountMenu() const { return m_accountMenu; }
    ToolbarPill* pill() const { return m_pill; }

    // The help text of the back button for the state, empty when none is shown.
    static QString backHelp(const ShellState& state);
    static QString themeSymbol(int theme);

private:
    void sync();
    void goBack();
    void create();
    void cycleTheme();

    ShellState* m_state;
    ThemeManager& m_themeManager;
    ToolbarIconButton* m_back;
    ToolbarPill* m_pill;
    ToolbarIconButton* m_create;
    ToolbarIconButton* m_theme;
    ToolbarIconButton* m_account;
    QMenu* m_accountMenu;
};
