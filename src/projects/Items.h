#pragma once

#include "core/model/Models.h"
#include "ui/lists/BoundItem.h"

class StatusBadge;
class ThemeManager;

// The rows (list layout) and cards (grid layout) of the projects and documents screens.
namespace projectsui {

using lists::BoundItem;
using lists::ClampedText;
using lists::ListItem;
using lists::SymbolView;
using lists::TileView;

// What a project's row and card share: the bound project, its tile, its name and description.
class ProjectItem : public BoundItem<Project> {
    Q_OBJECT
public:
    ProjectPtr project() const { return m_object; }
    QColor projectTint() const;
    ClampedText* nameText() const { return m_name; }
    ClampedText* detailsText() const { return m_details; }
    TileView* tile() const { return m_tile; }

protected:
    ProjectItem(ThemeManager& theme, ProjectPtr project, Callbacks callbacks, QWidget* parent)
        : BoundItem(theme, std::move(project), std::move(callbacks), parent) {
        // A project's context menu offers "Supprimer" as a plain item.
        m_plainContextDelete = true;
    }
    // Tile, name, and the description when it has more than blanks (`placeholder`: what stands instead).
    void refreshProject(const QString& placeholder);

    TileView* m_tile = nullptr;
    ClampedText* m_name = nullptr;
    ClampedText* m_details = nullptr;
};

class ProjectRow : public ProjectItem {
    Q_OBJECT
public:
    ProjectRow(ThemeManager& theme, ProjectPtr project, Callbacks callbacks, QWidget* parent = nullptr);
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh() override;
};

class ProjectCard : public ProjectItem {
    Q_OBJECT
public:
    ProjectCard(ThemeManager& theme, ProjectPtr project, Callbacks callbacks, QWidget* parent = nullptr);
    void paintShadow(QPainter& p, const QRect& rect) const override;

protected:
    void hoverProgressChanged(qreal t) override;

private:
    void refresh() override;
};

// "Modifié " and the update date, abbreviated date and short time.
QString modifiedLine(const QDateTime& updatedAt);

// What a document's row and card share: the bound document, its title, date line and status badge.
class DocItem : public BoundItem<Doc> {
    Q_OBJECT
public:
    DocPtr doc() const { return m_object; }
    QColor accent() const;
    ClampedText* titleText() const { return m_title; }
    ClampedText* dateText() const { return m_date; }
    StatusBadge* badge() const { return m_badge; }

protected:
    DocItem(ThemeManager& theme, DocPtr doc, Callbacks callbacks, bool card, QWidget* parent);
    // Title, date line and badge from the document.
    void refreshTexts();

    ClampedText* m_title = nullptr;
    ClampedText* m_date = nullptr;
    StatusBadge* m_badge = nullptr;
};

class DocRow : public DocItem {
    Q_OBJECT
public:
    DocRow(ThemeManager& theme, DocPtr doc, Callbacks callbacks, QWidget* parent = nullptr);
    TileView* tile() const { return m_tile; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh() override;
    TileView* m_tile;
};

class DocCard : public DocItem {
    Q_OBJECT
public:
    DocCard(ThemeManager& theme, DocPtr doc, Callbacks callbacks, QWidget* parent = nullptr);
    SymbolView* icon() const { return m_icon; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh() override;
    SymbolView* m_icon;
};

} // namespace projectsui
