#include "board/BoardDrag.h"

#include "checklists/ChecklistLogic.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextEdit>

namespace BoardDrag {

namespace {

const QString kCardPrefix = QStringLiteral("card:");
const QString kColumnPrefix = QStringLiteral("col:");

QString idText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> strictUuid(QStringView text) {
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (text.size() != 36 || !form.match(text.toString()).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

} // namespace

QString cardPayload(const QUuid& id) { return kCardPrefix + idText(id); }
QString columnPayload(const QUuid& id) { return kColumnPrefix + idText(id); }

Payload parse(const QString& text) {
    const QStringView t(text);
    if (t.startsWith(kCardPrefix)) {
        if (auto id = strictUuid(t.mid(kCardPrefix.size())))
            return {Payload::card, *id};
    } else if (t.startsWith(kColumnPrefix)) {
        if (auto id = strictUuid(t.mid(kColumnPrefix.size())))
            return {Payload::column, *id};
    }
    return {};
}

Payload read(const QMimeData* mime) {
    if (!mime)
        return {};
    // Our own drags: the private types, which no text field takes.
    for (auto [type, kind] : {std::pair{kCardMime, Payload::card}, std::pair{kColumnMime, Payload::column}}) {
        if (mime->hasFormat(QLatin1String(type))) {
            if (auto id = strictUuid(QString::fromLatin1(mime->data(QLatin1String(type)))))
                return {kind, *id};
            return {};
        }
    }
    if (!mime->hasText())
        return {};
    // Several items arrive one per line: only the first is read.
    const QString text = mime->text();
    const auto end = text.indexOf(QLatin1Char('\n'));
    QString first = end < 0 ? text : text.left(end);
    if (first.endsWith(QLatin1Char('\r')))
        first.chop(1);
    return parse(first);
}

bool isBoardPayload(const QMimeData* mime) {
    if (!mime)
        return false;
    return mime->hasFormat(QLatin1String(kCardMime)) || mime->hasFormat(QLatin1String(kColumnMime)) ||
        read(mime).kind != Payload::none;
}

QMimeData* makeMime(const Payload& payload) {
    auto* mime = new QMimeData;
    if (payload.kind == Payload::card) {
        mime->setData(QLatin1String(kCardMime), idText(payload.id).toLatin1());
        mime->setText(cardPayload(payload.id));
    } else if (payload.kind == Payload::column) {
        mime->setData(QLatin1String(kColumnMime), idText(payload.id).toLatin1());
        mime->setText(columnPayload(payload.id));
    }
    return mime;
}

namespace {

class TextFieldRefusal : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* e) override {
        const auto type = e->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        if (!isTextField(receiver) || !isBoardPayload(static_cast<QDropEvent*>(e)->mimeData()))
            return false;
        e->ignore();
        return true;
    }

private:
    static bool isTextField(QObject* o) {
        if (qobject_cast<QLineEdit*>(o) || qobject_cast<QTextEdit*>(o) || qobject_cast<QPlainTextEdit*>(o))
            return true;
        // Text edits take drops on their viewport.
        auto* area = o ? qobject_cast<QAbstractScrollArea*>(o->parent()) : nullptr;
        return area && area->viewport() == o && (qobject_cast<QTextEdit*>(area) || qobject_cast<QPlainTextEdit*>(area));
    }
};

} // namespace

void refuseInTextFields() {
    static QPointer<TextFieldRefusal> filter;
    if (!filter && qApp) {
        filter = new TextFieldRefusal(qApp);
        qApp->installEventFilter(filter);
    }
}

// ---------------------------------------------------------------------------------------------
void setColumnReorderTarget(Marks& m, bool targeted, const QUuid& column) {
    if (targeted)
        m.dropTargetColumnReorderId = column;
    else
        m.dropTargetColumnReorderId.reset();
}

void setCardSlotTarget(Marks& m, bool targeted, const QUuid& column, const std::optional<QUuid>& card) {
    if (targeted) {
        m.dropTargetColumnId = column;
        m.dropTargetCardId = card;
    } else if (m.dropTargetCardId == card) {
        // The column mark stays until its zone is left or a drop is taken.
        m.dropTargetCardId.reset();
    }
}

void setColumnZoneTarget(Marks& m, bool targeted, const QUuid& column) {
    if (targeted) {
        m.dropTargetColumnId = column;
        m.dropTargetCardId.reset();
    } else if (m.dropTargetColumnId == column) {
        m.dropTargetColumnId.reset();
    }
}

bool isSlotMarked(const Marks& m, const QUuid& column, const std::optional<QUuid>& card) {
    return m.dropTargetColumnId == column && m.dropTargetCardId == card;
}

// ---------------------------------------------------------------------------------------------
std::optional<CardDrop> resolveCardDrop(const Checklist& board, const Payload& payload,
                                        const ChecklistColumnPtr& column, const ChecklistCardPtr& before) {
    if (payload.kind != Payload::card || !column || !ChecklistLogic::findColumn(board, column->id()))
        return std::nullopt;
    auto card = ChecklistLogic::findCard(board, payload.id);
    if (!card)
        return std::nullopt;
    return CardDrop{card, column, before};
}

std::optional<ColumnDrop> resolveColumnDrop(const Checklist& board, const Payload& payload,
                                            const ChecklistColumnPtr& column) {
    if (payload.kind != Payload::column || !column || !ChecklistLogic::findColumn(board, column->id()))
        return std::nullopt;
    auto dragged = ChecklistLogic::findColumn(board, payload.id);
    if (!dragged)
        return std::nullopt;
    return ColumnDrop{dragged, column};
}

} // namespace BoardDrag
