#include "editor/RowTransitions.h"

#include <QGraphicsEffect>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace rowtransition {

namespace {

constexpr const char* kLeaving = "tolmekRowLeaving";

// Paints `picture` into `r` at step `t` of a transition (0 at rest, 1 fully gone): scaled about its
// centre and faded.
void paintStep(QPainter& p, const QPixmap& picture, const QRectF& r, qreal t) {
    const qreal scale = 1.0 - (1.0 - fromScale) * t;
    p.save();
    p.setOpacity(p.opacity() * (1.0 - t));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(r.center());
    p.scale(scale, scale);
    p.translate(-r.center());
    p.drawPixmap(r, picture, QRectF(picture.rect()));
    p.restore();
}

QVariantAnimation* run(QObject* owner, std::function<void(qreal)> step) {
    auto* animation = new QVariantAnimation(owner);
    animation->setDuration(durationMs);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner,
                     [step = std::move(step)](const QVariant& v) { step(v.toReal()); });
    return animation;
}

// The row rendered once per frame of the transition, only while it comes in.
class ScaleFade : public QGraphicsEffect {
public:
    explicit ScaleFade(QObject* parent) : QGraphicsEffect(parent) {}
    void setProgress(qreal t) {
        m_t = t;
        update();
    }

protected:
    void draw(QPainter* painter) override {
        QPoint offset;
        const QPixmap picture = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        if (picture.isNull())
            return;
        paintStep(*painter, picture, QRectF(offset, QSizeF(picture.size()) / picture.devicePixelRatio()), 1.0 - m_t);
    }

private:
    qreal m_t = 0;
};

class Leaving : public QWidget {
public:
    Leaving(QPixmap picture, QWidget* parent) : QWidget(parent), m_picture(std::move(picture)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        setProperty(kLeaving, true);
    }
    void setProgress(qreal t) {
        m_t = t;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paintStep(p, m_picture, QRectF(rect()), m_t);
    }

private:
    QPixmap m_picture;
    qreal m_t = 0;
};

} // namespace

bool enabled() {
    const QByteArray v = qgetenv("TOLMEK_REDUCE_MOTION");
    return v.isEmpty() || v == "0";
}

void appear(QWidget* row) {
    if (!enabled() || !row)
        return;
    auto* effect = new ScaleFade(row);
    row->setGraphicsEffect(effect);
    // Qt leaves unpainted what an opaque widget inside a translucent effect covers: while the row
    // comes in, its opaque parts (a code editor, a focused text) let what is under them be painted.
    QList<QPointer<QWidget>> opaque;
    for (QWidget* w : row->findChildren<QWidget*>())
        if (w->testAttribute(Qt::WA_OpaquePaintEvent)) {
            w->setAttribute(Qt::WA_OpaquePaintEvent, false);
            opaque << w;
        }
    QPointer<ScaleFade> alive(effect);
    QVariantAnimation* animation = run(row, [alive](qreal t) {
        if (alive)
            alive->setProgress(t);
    });
    QObject::connect(animation, &QAbstractAnimation::finished, row, [row, alive, opaque] {
        // Painted plainly again (the effect goes with it).
        if (alive && row->graphicsEffect() == alive)
            row->setGraphicsEffect(nullptr);
        for (const QPointer<QWidget>& w : opaque)
            if (w)
                w->setAttribute(Qt::WA_OpaquePaintEvent, true);
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void disappear(QWidget* row, QWidget* host) {
    if (!enabled() || !row || !host || !row->isVisible())
        return;
    // Only what shows: a long row out of view costs no picture.
    const QRect shown = row->visibleRegion().boundingRect();
    if (shown.isEmpty())
        return;
    auto* ghost = new Leaving(row->grab(shown), host);
    ghost->setGeometry(QRect(row->mapTo(host, shown.topLeft()), shown.size()));
    ghost->show();
    ghost->raise();
    QVariantAnimation* animation = run(ghost, [ghost](qreal t) { ghost->setProgress(t); });
    QObject::connect(animation, &QAbstractAnimation::finished, ghost, &QObject::deleteLater);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool isLeaving(const QWidget* widget) { return widget && widget->property(kLeaving).toBool(); }

} // namespace rowtransition
