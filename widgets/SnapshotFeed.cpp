#include "SnapshotFeed.h"

#include "model/JsonCoding.h"
#include "store/TarnStore.h"
#include "widgets/SnapshotSections.h"

SnapshotFeed::SnapshotFeed(WidgetManifest manifest, TarnStore& store,
                           std::optional<QString> instanceID)
    : m_manifest(std::move(manifest)), m_store(store), m_sections(SnapshotSections::of(store)),
      m_instanceID(std::move(instanceID)) {}

std::optional<QByteArray> SnapshotFeed::next(bool onTouchscreen) {
    if (m_fixed) {
        if (m_fixed->isEmpty() || m_fixed == m_sent)
            return std::nullopt;
        m_sent = m_fixed;
        return m_sent;
    }
    const Origin origin{m_sections.generation(),
                        m_store.preferences().directTouch && onTouchscreen};
    // Made from the same state: the same text.
    if (m_sent && origin == m_sentFrom)
        return std::nullopt;
    QByteArray json = m_sections.snapshot(m_manifest, m_instanceID, origin.touchMode);
    m_sentFrom = origin;
    if (json == m_sent)
        return std::nullopt;
    m_sent = std::move(json);
    return m_sent;
}

void SnapshotFeed::fix(const QJsonObject& state) {
    m_fixed = Json::fastCompact(state);
}
