#include "SnapshotFeed.h"

#include "model/JsonCoding.h"
#include "store/TarnStore.h"
#include "widgets/WidgetBridge.h"

SnapshotFeed::SnapshotFeed(WidgetManifest manifest, TarnStore& store,
                           std::optional<QString> instanceID)
    : m_manifest(std::move(manifest)), m_store(store), m_instanceID(std::move(instanceID)) {}

std::optional<QByteArray> SnapshotFeed::next(bool onTouchscreen) {
    QByteArray json = m_fixed ? *m_fixed : live(onTouchscreen);
    if (json.isEmpty() || json == m_sent)
        return std::nullopt;
    m_sent = json;
    return json;
}

void SnapshotFeed::fix(const QJsonObject& state) {
    m_fixed = Json::fastCompact(state);
}

QByteArray SnapshotFeed::live(bool onTouchscreen) const {
    QJsonObject snapshot = WidgetBridge::snapshot(m_manifest, m_store, m_instanceID);
    snapshot.insert(QStringLiteral("touchMode"),
                    m_store.preferences().directTouch && onTouchscreen);
    return Json::fastCompact(snapshot);
}
