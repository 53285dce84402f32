#include "app/SaveStatusBanner.h"

#include "core/store/LogSync.h"
#include "core/store/ModelContext.h"
#include "prefs/Preferences.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

const QString SaveStatusBanner::messageTemplate = QStringLiteral(
    "Les dernières modifications n’ont pas pu être enregistrées (%1). "
    "Tolmek réessaie de lui-même.");
const QString SaveStatusBanner::damagedTemplate = QStringLiteral(
    "Le fichier de données est endommagé (%1). Pour ne pas l’abîmer davantage, Tolmek n’y "
    "enregistre plus rien : les modifications faites maintenant ne seront pas conservées.");

namespace {
constexpr int kMarginH = 16, kMarginBottom = 8, kPadH = 12, kPadV = 8, kGlyph = 16;
}

SaveStatusBanner::SaveStatusBanner(ModelContext& context, Preferences& prefs, QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    // Room on the leading side for the warning symbol, painted.
    row->setContentsMargins(kMarginH + kPadH + kGlyph + 8, kPadV, kMarginH + kPadH, kMarginBottom + kPadV);
    m_label = new QLabel(this);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(Fonts::system(13, 500));
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_label, 1);
    hide();

    // Queued: a save may fail inside a widget's own handler; the banner shows once that has returned.
    connect(&context, &ModelContext::saveFailed, this, &SaveStatusBanner::onSaveFailed, Qt::QueuedConnection);
    connect(&context, &ModelContext::saved, this, &SaveStatusBanner::onSaved, Qt::QueuedConnection);
    connect(&context, &ModelContext::damaged, this, &SaveStatusBanner::onDamaged, Qt::QueuedConnection);
    connect(&context, &ModelContext::changesDropped, this, &SaveStatusBanner::onChangesDropped, Qt::QueuedConnection);
    if (LogSync* log = context.logSync()) {
        // From the sync's own thread.
        connect(
            log, &LogSync::syncFailed, this, [this](const QString& r) { onWriterFailed(Writer::log, r); },
            Qt::QueuedConnection);
        connect(
            log, &LogSync::syncRecovered, this, [this] { onWriterRecovered(Writer::log); }, Qt::QueuedConnection);
    }
    connect(&prefs, &Preferences::writeFailed, this, [this](const QString& r) { onWriterFailed(Writer::prefs, r); });
    connect(&prefs, &Preferences::writeRecovered, this, [this] { onWriterRecovered(Writer::prefs); });
    if (!prefs.writeError().isEmpty())
        onWriterFailed(Writer::prefs, prefs.writeError());
    if (context.isDamaged())
        onDamaged(context.damage());
}

void SaveStatusBanner::onSaveFailed(const QString& error) {
    if (m_damaged || !m_reason.isEmpty())
        return; // already on screen
    m_droppedShown.invalidate();
    m_reason = error.isEmpty() ? QStringLiteral("erreur inconnue") : error;
    ++m_streaks;
    present(messageTemplate.arg(m_reason));
}

void SaveStatusBanner::onSaved() {
    if (m_droppedShown.isValid()) {
        if (m_droppedShown.elapsed() < droppedNoteMs)
            return;
        m_droppedShown.invalidate();
        showRemaining();
        return;
    }
    if (m_damaged || m_reason.isEmpty())
        return;
    m_reason.clear();
    showRemaining();
}

void SaveStatusBanner::onWriterFailed(Writer writer, const QString& reason) {
    const bool shown = !m_writerFailures.empty();
    m_writerFailures[writer] = reason.isEmpty() ? QStringLiteral("erreur inconnue") : reason;
    if (m_damaged || !m_reason.isEmpty() || shown)
        return; // already on screen
    m_droppedShown.invalidate();
    ++m_streaks;
    present(messageTemplate.arg(m_writerFailures[writer]));
}

void SaveStatusBanner::onWriterRecovered(Writer writer) {
    if (!m_writerFailures.erase(writer) || m_damaged || !m_reason.isEmpty())
        return;
    showRemaining();
}

void SaveStatusBanner::showRemaining() {
    if (!m_writerFailures.empty())
        present(messageTemplate.arg(m_writerFailures.begin()->second));
    else if (!m_droppedShown.isValid())
        hide();
}

void SaveStatusBanner::onDamaged(const QString& reason) {
    if (m_damaged)
        return;
    m_damaged = true;
    m_reason = reason;
    ++m_streaks;
    present(damagedTemplate.arg(reason));
}

void SaveStatusBanner::onChangesDropped(const QString& message) {
    if (m_damaged)
        return;
    // The save went through: any failure streak is over.
    m_reason.clear();
    m_droppedShown.start();
    present(message);
}

void SaveStatusBanner::present(const QString& text) {
    m_label->setText(text);
    setAccessibleName(text);
    show();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void SaveStatusBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF box = QRectF(rect()).adjusted(kMarginH, 0, -kMarginH, -kMarginBottom);
    Paint::fillRoundedRect(p, box, 10, AppPalette::dangerBackground());
    Paint::strokeRoundedRect(p, box.adjusted(0.5, 0.5, -0.5, -0.5), 10, AppPalette::dangerBorder(), 1);
    const QRectF glyph(box.left() + kPadH, box.top() + kPadV + 1, kGlyph, kGlyph);
    Symbols::paint(p, glyph, QStringLiteral("exclamationmark.triangle.fill"), AppPalette::dangerRed());
}
