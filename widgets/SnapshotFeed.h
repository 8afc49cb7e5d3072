#pragma once

#include "widgets/WidgetManifest.h"

#include <QByteArray>
#include <QJsonObject>
#include <optional>

class TarnStore;

// What one placed widget is sent: the text of its snapshot, and only when it differs from the
// text sent last, so a page whose visible data did not change gets nothing.
class SnapshotFeed {
public:
    SnapshotFeed(WidgetManifest manifest, TarnStore& store, std::optional<QString> instanceID);

    // The snapshot to send now, or nothing when the page already has exactly that. Touch mode
    // is on when the user chose direct touch and the dashboard is on the touchscreen.
    std::optional<QByteArray> next(bool onTouchscreen);
    // From now on the page gets this state instead of the store's.
    void fix(const QJsonObject& state);
    // The page was loaded again and has nothing.
    void forget() { m_sent.reset(); }

private:
    QByteArray live(bool onTouchscreen) const;

    WidgetManifest m_manifest;
    TarnStore& m_store;
    std::optional<QString> m_instanceID;
    std::optional<QByteArray> m_fixed;
    std::optional<QByteArray> m_sent;
};
