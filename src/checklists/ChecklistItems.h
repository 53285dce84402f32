#pragma once

#include "core/model/Models.h"
#include "ui/lists/BoundItem.h"

#include <QLabel>

class ThemeManager;

// The rows (list layout) and cards (grid layout) of the checklists screen.
namespace checklistsui {

using lists::BoundItem;
using lists::ClampedText;
using lists::ListItem;
using lists::TileView;

// A counter capsule: "3 à faire", "2 terminée(s)".
class CountBadge : public QLabel {
    Q_OBJECT
public:
    explicit CountBadge(QWidget* parent = nullptr);
    void setCount(qint64 count, const QString& suffix);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The accent of a checklist: its hex colour when it reads, else its key's colour ("blue" when none).
QColor accentOf(const Checklist& checklist);
// "Globale", or "Projet : " and the project's name.
QString projectLine(const Checklist& checklist);
// The grid card's title: the name as stored, or "Sans titre" when it is blank.
QString cardTitle(const Checklist& checklist);
// The grid card's subtitle: the project's name as stored, or "Checklist globale".
QString cardSubtitle(const Checklist& checklist);

// Every change on a board stamps its checklist, so following the checklist also follows its cards.
class ChecklistEntry : public BoundItem<Checklist> {
    Q_OBJECT
public:
    ChecklistPtr checklist() const { return m_object; }
    TileView* tile() const { return m_tile; }

protected:
    using BoundItem::BoundItem;
    TileView* m_tile = nullptr;
};

// A row: tile, name and project line (both wrapped), then the to-do and done counters, on a card of its own.
class ChecklistRow : public ChecklistEntry {
    Q_OBJECT
public:
    ChecklistRow(ThemeManager& theme, ChecklistPtr checklist, Callbacks callbacks, QWidget* parent = nullptr);
    void paintShadow(QPainter& p, const QRect& rect) const override;
    ClampedText* nameText() const { return m_name; }
    ClampedText* projectText() const { return m_project; }
    CountBadge* toDoBadge() const { return m_toDo; }
    CountBadge* doneBadge() const { return m_done; }
    static constexpr int padding = 16;
    // Whether both texts of `checklist`'s row surely take one line each at this row width, whatever
    // its counters show (then every such row is as tall).
    static bool fitsOneLine(const Checklist& checklist, int width);

protected:
    void mousePressEvent(QMouseEvent* e) override;

private:
    void refresh() override;
    ClampedText* m_name;
    ClampedText* m_project;
    CountBadge* m_toDo;
    CountBadge* m_done;
};

// A grid card: tile, title (two lines at most) and project name (one line).
class ChecklistCardGrid : public ChecklistEntry {
    Q_OBJECT
public:
    ChecklistCardGrid(ThemeManager& theme, ChecklistPtr checklist, Callbacks callbacks, QWidget* parent = nullptr);
    void paintShadow(QPainter& p, const QRect& rect) const override;
    ClampedText* titleText() const { return m_title; }
    ClampedText* subtitleText() const { return m_subtitle; }
    // The lines (1 or 2) `checklist`'s title takes at this card width when its width alone tells; else 0.
    static int titleLines(const Checklist& checklist, int width);

protected:
    void mousePressEvent(QMouseEvent* e) override;

private:
    void refresh() override;
    ClampedText* m_title;
    ClampedText* m_subtitle;
};

} // namespace checklistsui
