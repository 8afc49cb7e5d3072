#include "SnapshotSections.h"

#include "model/JsonCoding.h"
#include "store/TarnStore.h"
#include "widgets/WidgetBridge.h"

namespace {

const QString childName = QStringLiteral("snapshotSections");
const QString shortcutsName = QStringLiteral("shortcuts");

} // namespace

SnapshotSections& SnapshotSections::of(TarnStore& store) {
    auto* found = store.findChild<SnapshotSections*>(childName, Qt::FindDirectChildrenOnly);
    return found ? *found : *new SnapshotSections(store);
}

SnapshotSections::SnapshotSections(TarnStore& store) : QObject(&store), m_store(store) {
    setObjectName(childName);
    // Every signal that can change what a widget is sent; the widgets publish after them.
    for (auto signal :
         {&TarnStore::nowChanged, &TarnStore::focusChanged, &TarnStore::focusCopiesChanged,
          &TarnStore::machineChanged, &TarnStore::changed})
        connect(&m_store, signal, this, [this] { invalidate(false); });
    connect(&m_store, &TarnStore::preferencesChanged, this, [this] { invalidate(true); });
}

void SnapshotSections::invalidate(bool preferencesChanged) {
    m_live.clear();
    if (preferencesChanged)
        forgetChangedPreferences();
    ++m_generation;
}

// Most changes of the preferences (a page turned, a widget's storage written) leave the
// shortcuts as they were, and their text, the longest of all, is kept.
void SnapshotSections::forgetChangedPreferences() {
    const QByteArray shortcuts = m_settled.value(shortcutsName);
    m_settled.clear();
    const QList<Shortcut>& current = m_store.preferences().shortcuts;
    if (shortcuts.isNull() || current != m_shortcutsWritten)
        return;
    // The same entries: sharing the list makes the next comparison instant.
    m_shortcutsWritten = current;
    m_settled.insert(shortcutsName, shortcuts);
}

const QByteArray& SnapshotSections::sharedText(const QString& name, const WidgetManifest& manifest,
                                               const QString& key) {
    QHash<QString, QByteArray>& texts =
            WidgetBridge::followsPreferencesOnly(name) ? m_settled : m_live;
    auto found = texts.find(name);
    if (found == texts.end()) {
        found = texts.insert(
                name, Json::fastCompact(WidgetBridge::section(name, manifest, m_store, key)));
        ++m_sectionsWritten;
        if (name == shortcutsName)
            m_shortcutsWritten = m_store.preferences().shortcuts;
    }
    return *found;
}

QByteArray SnapshotSections::snapshot(const WidgetManifest& manifest,
                                      const std::optional<QString>& instanceID, bool touchMode) {
    const QString key = WidgetBridge::instanceKey(manifest, instanceID);
    const QString touch = QStringLiteral("touchMode");
    QStringList names = WidgetBridge::sectionNames(manifest);
    names.append(touch);
    // The order a JSON object keeps its keys in.
    names.sort();
    QByteArray out;
    out.reserve(8192);
    out.append('{');
    for (const QString& name : names) {
        if (out.size() > 1)
            out.append(',');
        out.append('"').append(name.toLatin1()).append("\":");
        if (name == touch)
            out.append(touchMode ? "true" : "false");
        else if (WidgetBridge::isShared(name))
            out.append(sharedText(name, manifest, key));
        else
            out.append(Json::fastCompact(WidgetBridge::section(name, manifest, m_store, key)));
    }
    out.append('}');
    return out;
}
