#pragma once

#include "packages/WidgetManifest.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

class TarnStore;

// The application's side of the widget protocol: what a widget may see, given its declared
// permissions, and the commands it may run. The instance key names the widget's own state; a
// widget whose key is its package identity shares the application's note and focus timer.
namespace WidgetBridge {

// The shortcuts a snapshot lists at most, the first ones in order; all of them can be launched.
constexpr int shortcutsInSnapshot = 1000;

constexpr qint64 noteLimit = 100000;   // bytes of UTF-8
constexpr qint64 storageLimit = 65536; // bytes of the instance's storage as JSON
constexpr int storageKeyLimit = 100;   // characters

QString instanceKey(const WidgetManifest& manifest, const std::optional<QString>& instanceID);

// The state a widget receives: compact JSON with sorted keys.
QJsonObject snapshot(const WidgetManifest& manifest, TarnStore& store,
                     const std::optional<QString>& instanceID);
// The top-level entries of that state, by name, as the manifest's permissions allow.
QStringList sectionNames(const WidgetManifest& manifest);
// Whether an entry is the same for every widget that receives it.
bool isShared(const QString& name);
// Whether an entry changes only when the preferences do, not with the clock, the metrics or the
// services.
bool followsPreferencesOnly(const QString& name);
// One entry's value for the widget whose instance key is `key`.
QJsonValue section(const QString& name, const WidgetManifest& manifest, TarnStore& store,
                   const QString& key);

// The seven commands the bridge runs itself, each with the permission it needs.
const QMap<QString, QString>& localCommands();
// The permission a command needs, local or integration; none for a name that is no command.
std::optional<QString> permissionFor(const QString& method);

// Takes the user's latest gesture in the widget: true when there was a fresh one.
using GestureTaker = std::function<bool()>;

QString gestureRequired();

// Runs one of the seven local commands. Opening an application also needs a gesture. Throws
// WidgetError.
void perform(const QString& method, const QJsonObject& arguments, const WidgetManifest& manifest,
             TarnStore& store, const std::optional<QString>& instanceID,
             const GestureTaker& takeGesture);

// Handles one "command" message of a page: checks it, runs it locally or through the
// integration hub, and answers with {id, ok} or {id, ok: false, error}. A message without an
// integer id and a string method gets no answer. The answer may come later than newer ones.
void handleCommand(const QJsonObject& message, const WidgetManifest& manifest, TarnStore& store,
                   const std::optional<QString>& instanceID, const GestureTaker& takeGesture,
                   std::function<void(const QJsonObject& reply)> reply);

// Answers one "command" message of a page with {id, ok: false, error: reason} without running
// it; a message without an integer id and a string method gets no answer.
void refuseCommand(const QJsonObject& message, const QString& reason,
                   const std::function<void(const QJsonObject& reply)>& reply);

} // namespace WidgetBridge
