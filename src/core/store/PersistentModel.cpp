#include "core/store/PersistentModel.h"

#include "core/store/ModelContext.h"

PersistentModel::~PersistentModel() = default;

QString PersistentModel::storeIdText() const { return m_idText.isEmpty() ? store::uuidText(m_id) : m_idText; }

void PersistentModel::didWrite(int column) {
    if (m_context)
        m_context->noteWrite(this, column);
    emit changed(entity().columns[size_t(column)].name);
}

void PersistentModel::didChangeArray(const char* key) {
    if (m_context)
        m_context->noteArrayChange(this);
    emit changed(key);
}

bool PersistentModel::canLink(const PersistentModel& owner) const {
    if (m_deleted || owner.m_deleted || m_detached || owner.m_detached)
        return false;
    return !m_context || !owner.m_context || m_context == owner.m_context;
}

void PersistentModel::resolveLink(int, const std::shared_ptr<PersistentModel>&) {}
void PersistentModel::onInserted() {}
void PersistentModel::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) {}

void PersistentModel::ensureLoaded(int column, bool& loaded) const {
    if (loaded)
        return;
    loaded = true;
    if (m_context && m_stored)
        m_context->loadLazyColumn(const_cast<PersistentModel*>(this), column);
}

namespace store {

QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

QUuid parseUuid(const QString& text) { return QUuid::fromString(text); }

qint64 toMicros(const QDateTime& dt) { return dt.isValid() ? dt.toMSecsSinceEpoch() * 1000 : 0; }

qint64 microsToMillis(qint64 us) {
    // Floor division, so that dates before the epoch round the same way as after.
    qint64 ms = us / 1000;
    if (us % 1000 < 0)
        --ms;
    return ms;
}

QDateTime fromMicros(qint64 us) { return QDateTime::fromMSecsSinceEpoch(microsToMillis(us), Qt::UTC); }

} // namespace store
