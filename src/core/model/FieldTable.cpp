#include "core/model/Models.h"

namespace fieldtable {

ColumnKind kindOf(QUuid*) { return ColumnKind::Uuid; }
ColumnKind kindOf(QString*) { return ColumnKind::Text; }
ColumnKind kindOf(OptText*) { return ColumnKind::OptText; }
ColumnKind kindOf(qint64*) { return ColumnKind::Int; }
ColumnKind kindOf(bool*) { return ColumnKind::Bool; }
ColumnKind kindOf(QDateTime*) { return ColumnKind::Date; }
ColumnKind kindOf(OptDate*) { return ColumnKind::OptDate; }
ColumnKind kindOf(OptData*) { return ColumnKind::OptBlob; }

ColumnValue toValue(const QUuid& v) { return store::uuidText(v); }
ColumnValue toValue(const QString& v) { return v; }
ColumnValue toValue(const OptText& v) { return v ? ColumnValue(*v) : ColumnValue(); }
ColumnValue toValue(qint64 v) { return v; }
ColumnValue toValue(bool v) { return qint64(v ? 1 : 0); }
ColumnValue toValue(const QDateTime& v) { return store::toMicros(v); }
ColumnValue toValue(const OptDate& v) { return v ? ColumnValue(store::toMicros(*v)) : ColumnValue(); }
ColumnValue toValue(const OptData& v) { return v ? ColumnValue(*v) : ColumnValue(); }

namespace {
qint64 integer(const ColumnValue& c) {
    const auto* i = std::get_if<qint64>(&c);
    return i ? *i : 0;
}
} // namespace

void fromValue(const ColumnValue& c, QUuid& v) {
    const auto* t = std::get_if<QString>(&c);
    v = t ? store::parseUuid(*t) : QUuid();
}
void fromValue(const ColumnValue& c, QString& v) {
    const auto* t = std::get_if<QString>(&c);
    v = t ? *t : QString();
}
void fromValue(const ColumnValue& c, OptText& v) {
    if (const auto* t = std::get_if<QString>(&c))
        v = *t;
    else
        v.reset();
}
void fromValue(const ColumnValue& c, qint64& v) { v = integer(c); }
void fromValue(const ColumnValue& c, bool& v) { v = integer(c) != 0; }
void fromValue(const ColumnValue& c, QDateTime& v) { v = store::fromMicros(integer(c)); }
void fromValue(const ColumnValue& c, OptDate& v) {
    if (std::holds_alternative<std::monostate>(c))
        v.reset();
    else
        v = store::fromMicros(integer(c));
}
void fromValue(const ColumnValue& c, OptData& v) {
    if (const auto* b = std::get_if<QByteArray>(&c))
        v = *b;
    else
        v.reset();
}

} // namespace fieldtable

template <class T, class F>
ColumnValue StoredModel<T, F>::columnValue(int column) const {
    return std::visit([&](auto member) { return fieldtable::toValue(m_f.*member); },
                      T::fieldTable()[size_t(column)].member);
}

template <class T, class F>
void StoredModel<T, F>::setColumnValue(int column, const ColumnValue& value) {
    std::visit([&](auto member) { fieldtable::fromValue(value, m_f.*member); }, T::fieldTable()[size_t(column)].member);
}

template class StoredModel<Project, ProjectFields>;
template class StoredModel<Doc, DocFields>;
template class StoredModel<DocBlock, DocBlockFields>;
template class StoredModel<Checklist, ChecklistFields>;
template class StoredModel<ChecklistColumn, ChecklistColumnFields>;
template class StoredModel<ChecklistCard, ChecklistCardFields>;
template class StoredModel<ChecklistAttachment, ChecklistAttachmentFields>;
