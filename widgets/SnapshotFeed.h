#pragma once

#include "packages/WidgetManifest.h"

class SnapshotSections;

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
    // The store's change count and the touch mode that the text sent last was made at.
    struct Origin {
        quint64 generation = 0;
        bool touchMode = false;
        bool operator==(const Origin&) const = default;
    };

    WidgetManifest m_manifest;
    TarnStore& m_store;
    SnapshotSections& m_sections;
    std::optional<QString> m_instanceID;
    std::optional<QByteArray> m_fixed;
    std::optional<QByteArray> m_sent;
    Origin m_sentFrom;
};
