#pragma once

// The dashboard's own pieces: section header, avatar, status counter, accordion, document row and the
// cards of the recent grids. None of them changes a model object; clicks go to their callbacks.

#include "core/model/Models.h"
#include "ui/lists/AdaptiveGridLayout.h"
#include "ui/lists/ListItem.h"

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>
#include "ui/Palette.h"
#include "ui/ShapedText.h"
#include "ui/TextLabel.h"
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class HoverAnimator;
class QGraphicsOpacityEffect;
class QVariantAnimation;
class QVBoxLayout;
class ThemeManager;
class AppCard;

namespace dashboard {

using ColorFn = std::function<QColor()>;

// Gives the dashboard's custom widgets their accessible role (static text, button, graphic).
void installAccessibility();

// A label in the dashboard's colours: its colour function is read at every paint, so it follows the
// appearance.
class DashLabel : public TextLabel {
    Q_OBJECT
public:
    DashLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent = nullptr);
    // Repaints in the colour's current value.
    void refreshColor() { update(); }

protected:
    QColor textColor() const override;

private:
    ColorFn m_color;
};

// The titled bar above a section: accent bar, title, optional trailing widget. Its rounded background
// and shadow are painted by its parent (a lists::ShadowHost), so the shadow is not clipped.
class SectionHeader : public QWidget, public lists::ShadowCaster {
    Q_OBJECT
public:
    SectionHeader(const QString& title, QWidget* trailing, const ThemeManager& theme, QWidget* parent = nullptr);
    QString title() const;
    QWidget* trailing() const { return m_trailing; }
    HoverAnimator* hover() const { return m_hover; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

    // Fill, border and shadow opacities for a scheme and a hover progress (0..1).
    struct Look {
        qreal fill, border, shadow, shadowRadius, shadowY;
    };
    static Look look(bool dark, qreal hover);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ThemeManager& m_theme;
    QWidget* m_bar;
    DashLabel* m_title;
    QWidget* m_trailing;
    HoverAnimator* m_hover;
};

// An upright thumbnail of the image bytes, its longer side at most `maxPixelSize`; null when the
// bytes are not an image (or one too large to decode safely).
QImage avatarThumbnail(const QByteArray& data, int maxPixelSize);

// The round avatar: the picture filling the circle, or the placeholder symbol on the card colour.
class DashboardAvatarLarge : public QWidget {
    Q_OBJECT
public:
    DashboardAvatarLarge(const std::optional<QByteArray>& avatarData, qreal size, QWidget* parent = nullptr);
    void setAvatarData(const std::optional<QByteArray>& avatarData);
    bool showsPicture() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QByteArray> m_data;
    bool m_loaded = false;
    QImage m_image;
    qreal m_size;
};

// One status counter: rings, disc and count, the status name below, and a ring pulsing outwards.
// Only the ring, count and name area takes clicks and hover, never the pulse around it.
class MetricOrb : public QAbstractButton {
    Q_OBJECT
public:
    MetricOrb(const QString& title, int value, const QColor& accent, bool isSelected, QWidget* parent = nullptr);
    ~MetricOrb() override;

    QString title() const { return text(); }
    int value() const { return m_value; }
    void setValue(int value);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    void setAccent(const QColor& accent);
    HoverAnimator* hover() const { return m_hover; }

    // The pulse at absolute time `secondsSince2001`: scale of the ring and its opacity.
    struct Pulse {
        qreal scale, opacity;
    };
    static Pulse pulseAt(double secondsSince2001, bool selected);
    // The area that takes clicks: ring, name and their padding.
    QRect labelRect() const;
    // What a frame of the pulse repaints.
    QRect pulseRect() const;
    // Whether the pulse is animating: only while an orb shows in the active window, and not with
    // TOLMEK_REDUCE_MOTION=1 (read again by refreshPulse()).
    static bool isPulseRunning();
    static void refreshPulse();
    // True when the orb lies on a card's plain fill and paints it itself.
    bool paintsBackdrop() const { return m_onCard; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QRectF ringRect() const;
    void findBackdrop();
    QPixmap paintBase(qreal dpr);
    // What the picture of the still parts was painted from.
    struct BaseKey {
        QSize size;
        qreal dpr = 0, hover = 0;
        int value = 0;
        QRgb accent = 0, text = 0, card = 0;
        bool onCard = false;
        QString title;
        bool operator==(const BaseKey&) const = default;
    };
    int m_value;
    QColor m_accent;
    bool m_selected;
    HoverAnimator* m_hover;
    ShapedText m_count;
    mutable ElidedLine m_name;
    bool m_onCard = false;
    BaseKey m_baseKey;
    QPixmap m_base;
    QPair<QRgb, qreal> m_ringKey;
    QImage m_ring;
};

// Whether the environment asks for less motion (TOLMEK_REDUCE_MOTION=1): transitions are then immediate.
bool reducedMotion();

// Holds a widget that enters with the combined transition of fading and moving in from the top edge: the
// box grows from nothing to the widget's height while the widget slides down from above the box's top
// and fades in. leave() plays it backwards on a picture of the widget, which is deleted at once, then
// deletes the box. Both take `durationMs`, ease in and out, and are immediate with reducedMotion().
class Reveal : public QWidget {
    Q_OBJECT
public:
    static constexpr int durationMs = 180;
    // Takes `content` and starts its entrance.
    explicit Reveal(QWidget* content, QWidget* parent = nullptr);
    QWidget* content() const { return m_content; }
    void leave();
    // 0 (nothing shown) to 1 (shown in full).
    qreal progress() const { return m_progress; }
    bool isLeaving() const { return m_leaving; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int fullHeight(int width) const;
    void setProgress(qreal progress);
    void animateTo(qreal end);
    void place();
    QPointer<QWidget> m_content;
    QPixmap m_picture; // the content as it was when leave() began
    QVariantAnimation* m_anim = nullptr;
    QGraphicsOpacityEffect* m_fade = nullptr;
    qreal m_progress = 1;
    bool m_leaving = false;
};

// A card with a clickable header (symbol, title, chevron) that shows the content while expanded.
// The content is built by the factory on every expansion and destroyed on every collapse.
class DashboardAccordion : public QWidget {
    Q_OBJECT
public:
    DashboardAccordion(const QString& title, const QString& systemImage, std::function<QWidget*()> content,
                       bool expanded, QWidget* parent = nullptr);
    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    QAbstractButton* headerButton() const;
    QWidget* contentWidget() const { return m_content; }
    qreal chevronAngle() const { return m_angle; }

signals:
    // Sent before the content is destroyed (the quick note writes itself out here).
    void aboutToCollapse();
    void expandedChanged(bool expanded);

private:
    class Header;
    AppCard* m_card;
    QVBoxLayout* m_stack;
    Header* m_header;
    QWidget* m_divider;
    QPointer<QWidget> m_content;
    QPointer<Reveal> m_reveal;
    std::function<QWidget*()> m_factory;
    QVariantAnimation* m_chevron;
    qreal m_angle = 0;
    bool m_expanded = false;
};

// A document of the status panel: tile, title, project name, date. A click opens it.
class DocRowLine : public QWidget {
    Q_OBJECT
public:
    DocRowLine(DocPtr doc, std::function<void()> onOpen, QWidget* parent = nullptr);
    void setDoc(DocPtr doc, std::function<void()> onOpen);
    DocPtr doc() const { return m_doc; }
    QString titleText() const;
    QString projectText() const;
    QString dateText() const;
    HoverAnimator* hover() const { return m_hover; }
    void refresh();
    // Opens the document (a click, Return or Space, or an assistive press).
    void open();

    static QString dateLine(const QDateTime& updatedAt);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    DocPtr m_doc;
    std::function<void()> m_onOpen;
    lists::TileView* m_tile;
    lists::ClampedText* m_title;
    lists::ClampedText* m_project;
    DashLabel* m_date;
    HoverAnimator* m_hover;
    bool m_pressed = false;
};

// What the three cards of the recent grids share: the rounded frame, the hover lift, the click.
class DashCard : public QWidget, public lists::ShadowCaster {
    Q_OBJECT
public:
    HoverAnimator* hover() const { return m_hover; }
    void paintShadow(QPainter& p, const QRect& rect) const override;
    void click();

protected:
    DashCard(std::function<void()> onOpen, const ThemeManager* theme, QWidget* parent);
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // The card's colour for its hover shadow; none for the see-more card.
    virtual std::optional<QColor> shadowColor() const { return std::nullopt; }

    std::function<void()> m_onOpen;
    const ThemeManager* m_theme;
    HoverAnimator* m_hover;
    bool m_pressed = false;
};

// A card with a symbol tile, a bold title and a clamped second line (recent projects, checklists).
class DashTileCard : public DashCard {
    Q_OBJECT
public:
    QString titleText() const;
    QString secondLine() const;

protected:
    DashTileCard(int secondLineCount, std::function<void()> onOpen, const ThemeManager& theme, QWidget* parent);
    void showContent(const QString& symbol, const QColor& tint, const QString& title);

    lists::TileView* m_tile;
    lists::ClampedText* m_title;
    lists::ClampedText* m_second;
};

// A tile card showing one stored object in its colour (its hover shadow too), which a click opens.
template <class T>
class DashObjectCard : public DashTileCard {
public:
    // Shows `object` from now on, and `onOpen` opens it.
    void bind(std::shared_ptr<T> object, std::function<void()> onOpen) {
        m_object = std::move(object);
        m_onOpen = std::move(onOpen);
        m_pressed = false;
        refresh();
    }
    virtual void refresh() = 0;

protected:
    DashObjectCard(int secondLineCount, std::shared_ptr<T> object, std::function<void()> onOpen,
                   const ThemeManager& theme, QWidget* parent)
        : DashTileCard(secondLineCount, std::move(onOpen), theme, parent), m_object(std::move(object)) {}
    std::optional<QColor> shadowColor() const override {
        return m_object ? std::optional<QColor>(displayColor(m_object->colorKey(), m_object->colorHex()))
                        : std::nullopt;
    }

    std::shared_ptr<T> m_object;
};

class DashboardProjectCard : public DashObjectCard<Project> {
    Q_OBJECT
public:
    DashboardProjectCard(ProjectPtr project, std::function<void()> onOpen, const ThemeManager& theme,
                         QWidget* parent = nullptr);
    void setProject(ProjectPtr project, std::function<void()> onOpen) { bind(std::move(project), std::move(onOpen)); }
    ProjectPtr project() const { return m_object; }
    void refresh() override; // secondLine() is " " when there is no description
};

class DashboardChecklistCard : public DashObjectCard<Checklist> {
    Q_OBJECT
public:
    DashboardChecklistCard(ChecklistPtr checklist, std::function<void()> onOpen, const ThemeManager& theme,
                           QWidget* parent = nullptr);
    void setChecklist(ChecklistPtr checklist, std::function<void()> onOpen) {
        bind(std::move(checklist), std::move(onOpen));
    }
    ChecklistPtr checklist() const { return m_object; }
    void refresh() override;
};

class DashboardSeeMoreCard : public DashCard {
    Q_OBJECT
public:
    DashboardSeeMoreCard(const QString& title, const QString& systemImage, std::function<void()> onTap,
                         QWidget* parent = nullptr);
    QString title() const;

private:
    DashLabel* m_title;
};

} // namespace dashboard
