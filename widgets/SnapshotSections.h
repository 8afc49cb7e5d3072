#pragma once

#include "model/Shortcut.h"
#include "packages/WidgetManifest.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <optional>

class TarnStore;

// The text of the snapshot sections that every widget receives alike (the metrics with their
// histories, the integrations' states, the theme...), made once per change of the store rather
// than once per widget, and each widget's snapshot put together from them.
class SnapshotSections : public QObject {
    Q_OBJECT

public:
    // The store's one instance, made on first use; it goes with the store.
    static SnapshotSections& of(TarnStore& store);

    // The widget's snapshot as compact JSON with sorted keys, the same text as the one its
    // state object would be written as.
    QByteArray snapshot(const WidgetManifest& manifest, const std::optional<QString>& instanceID,
                        bool touchMode);
    // Counts the store's changes: a widget whose last snapshot was made at the same count, with
    // the same touch mode, would get the same text again.
    quint64 generation() const { return m_generation; }
    // How many times a shared section was written out: once per change of what it shows.
    quint64 sectionsWritten() const { return m_sectionsWritten; }

private:
    explicit SnapshotSections(TarnStore& store);
    void invalidate(bool preferencesChanged);
    void forgetChangedPreferences();
    const QByteArray& sharedText(const QString& name, const WidgetManifest& manifest,
                                 const QString& key);

    TarnStore& m_store;
    // The sections that change with the clock, the metrics or the services, and those that wait
    // for the preferences: a long list of shortcuts is not written out again every second.
    QHash<QString, QByteArray> m_live;
    QHash<QString, QByteArray> m_settled;
    QList<Shortcut> m_shortcutsWritten;
    quint64 m_generation = 0;
    quint64 m_sectionsWritten = 0;
};
