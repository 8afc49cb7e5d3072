#include "WidgetBridge.h"

#include "model/JsonCoding.h"
#include "model/WidgetError.h"
#include "model/linux/PlatformTexts.h"
#include "packages/WidgetPackage.h"
#include "store/TarnStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QSysInfo>
#include <QThread>
#include <cmath>

namespace WidgetBridge {

namespace {

const QString unavailable = QStringLiteral("Action is unavailable or permission was not declared");

using Json::orNull;

QJsonArray numbers(const QList<double>& values) {
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array;
}

QJsonObject metrics(const TarnStore& store) {
    const MachineSnapshot& machine = store.machine();
    QJsonArray disks;
    for (const DiskSnapshot& disk : machine.disks) {
        disks.append(QJsonObject{{QStringLiteral("id"), disk.id},
                                 {QStringLiteral("name"), disk.name},
                                 {QStringLiteral("total"), orNull(disk.total)},
                                 {QStringLiteral("free"), orNull(disk.free)},
                                 {QStringLiteral("startup"), disk.startup}});
    }
    // Read once: the system's release text comes from a file.
    static const QString operatingSystem = QSysInfo::prettyProductName();
    static const int cores = QThread::idealThreadCount();
    const QString host = QSysInfo::machineHostName();
    return {{QStringLiteral("cpu"), orNull(machine.cpu)},
            {QStringLiteral("gpu"), orNull(machine.gpu)},
            {QStringLiteral("memoryUsed"), orNull(machine.memoryUsed)},
            {QStringLiteral("memoryActive"), orNull(machine.memoryActive)},
            {QStringLiteral("memoryWired"), orNull(machine.memoryWired)},
            {QStringLiteral("memoryCompressed"), orNull(machine.memoryCompressed)},
            {QStringLiteral("swapUsed"), orNull(machine.swapUsed)},
            {QStringLiteral("download"), orNull(machine.download)},
            {QStringLiteral("upload"), orNull(machine.upload)},
            {QStringLiteral("diskTotal"), orNull(machine.diskTotal)},
            {QStringLiteral("diskFree"), orNull(machine.diskFree)},
            {QStringLiteral("memoryTotal"), machine.memoryTotal},
            {QStringLiteral("uptime"), machine.uptime},
            {QStringLiteral("gpuName"), orNull(machine.gpuName)},
            {QStringLiteral("diskName"), orNull(machine.diskName)},
            {QStringLiteral("cores"), cores},
            {QStringLiteral("name"), host.isEmpty() ? PlatformTexts::unnamedComputer() : host},
            {QStringLiteral("os"), operatingSystem},
            {QStringLiteral("disks"), disks},
            {QStringLiteral("cpuHistory"), numbers(store.cpuHistory())},
            {QStringLiteral("gpuHistory"), numbers(store.gpuHistory())},
            {QStringLiteral("memoryHistory"), numbers(store.memoryHistory())},
            {QStringLiteral("uploadHistory"), numbers(store.uploadHistory())},
            {QStringLiteral("downloadHistory"), numbers(store.downloadHistory())}};
}

LauncherConfiguration launcherFor(const TarnStore& store, const QString& key) {
    const auto stored = store.preferences().launchers.constFind(key);
    return stored != store.preferences().launchers.cend()
                   ? *stored
                   : LauncherConfiguration::exampleDefault(key);
}

QJsonObject storageObject(const QMap<QString, QString>& storage) {
    QJsonObject object;
    for (auto it = storage.begin(); it != storage.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

// The size the storage takes as JSON, counting escaped forward slashes the way the stored
// file's original encoder wrote them.
qsizetype encodedSize(const QMap<QString, QString>& storage) {
    qsizetype slashes = 0;
    for (auto it = storage.begin(); it != storage.end(); ++it)
        slashes += it.key().count(QLatin1Char('/')) + it.value().count(QLatin1Char('/'));
    return QJsonDocument(storageObject(storage)).toJson(QJsonDocument::Compact).size() + slashes;
}

std::optional<int> integerArgument(const QJsonObject& arguments, const char* key) {
    const QJsonValue value = arguments.value(QLatin1String(key));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || std::abs(number) > 1e9)
        return std::nullopt;
    return int(number);
}

void performFocus(const QString& method, const QJsonObject& arguments, TarnStore& store,
                  const QString& key, bool shared) {
    const std::optional<int> minutes = integerArgument(arguments, "minutes");
    if (!shared) {
        store.controlFocusCopy(key, method, minutes);
        return;
    }
    if (method == QStringLiteral("focus.toggle")) {
        store.toggleFocus();
    } else if (method == QStringLiteral("focus.reset")) {
        store.resetFocus();
    } else {
        if (!minutes || !FocusSession::isChoosableLength(*minutes) || store.focus().isRunning())
            throw WidgetError::invalid(QStringLiteral("Invalid duration or timer is running"));
        store.setFocusMinutes(*minutes);
    }
}

void setNote(const QJsonObject& arguments, TarnStore& store, const QString& key, bool shared) {
    const QJsonValue text = arguments.value(QStringLiteral("text"));
    if (!text.isString())
        throw WidgetError::invalid(QStringLiteral("Note expects a text string"));
    if (text.toString().toUtf8().size() > noteLimit)
        throw WidgetError::invalid(QStringLiteral("Note is too large"));
    store.updatePreferences([&](Preferences& p) {
        if (shared)
            p.note = text.toString();
        else
            p.widgetStorage[key].insert(QStringLiteral("note"), text.toString());
    });
}

void setStorage(const QJsonObject& arguments, TarnStore& store, const QString& key) {
    const QJsonValue name = arguments.value(QStringLiteral("key"));
    const QJsonValue value = arguments.value(QStringLiteral("value"));
    if (!name.isString() || name.toString().isEmpty() ||
        characterCount(name.toString()) > storageKeyLimit || !value.isString())
        throw WidgetError::invalid(QStringLiteral("Storage expects a key and string value"));
    QMap<QString, QString> storage = store.preferences().widgetStorage.value(key);
    storage.insert(name.toString(), value.toString());
    if (encodedSize(storage) > storageLimit)
        throw WidgetError::invalid(QStringLiteral("Widget storage is limited to 64 KB"));
    store.updatePreferences([&](Preferences& p) { p.widgetStorage.insert(key, storage); });
}

// Checked last, so a command that fails anyway leaves the gesture for the next one.
void launchAfterGesture(TarnStore& store, const Shortcut& shortcut,
                        const GestureTaker& takeGesture) {
    if (!takeGesture || !takeGesture())
        throw WidgetError::invalid(gestureRequired());
    store.launch(shortcut);
}

void launchShortcut(const QJsonObject& arguments, TarnStore& store,
                    const GestureTaker& takeGesture) {
    const QJsonValue id = arguments.value(QStringLiteral("id"));
    const QList<Shortcut>& shortcuts = store.preferences().shortcuts;
    const auto found = std::find_if(shortcuts.begin(), shortcuts.end(), [&](const Shortcut& s) {
        return id.isString() && Json::uuidText(s.id) == id.toString();
    });
    if (found == shortcuts.end())
        throw WidgetError::invalid(QStringLiteral("Unknown shortcut"));
    launchAfterGesture(store, *found, takeGesture);
}

} // namespace

QString gestureRequired() {
    return QStringLiteral("Opening an app needs a tap on the widget first");
}

QString instanceKey(const WidgetManifest& manifest, const std::optional<QString>& instanceID) {
    return instanceID.value_or(manifest.id);
}

QStringList sectionNames(const WidgetManifest& manifest) {
    QStringList names{QStringLiteral("apiVersion"), QStringLiteral("instanceID"),
                      QStringLiteral("now"), QStringLiteral("theme"),
                      QStringLiteral("showSeconds")};
    if (manifest.declares(QStringLiteral("metrics")))
        names.append(QStringLiteral("metrics"));
    for (const QString& permission : IntegrationServices::permissions()) {
        if (manifest.declares(permission))
            names.append(permission);
    }
    if (manifest.declares(QStringLiteral("focus")))
        names.append(QStringLiteral("focus"));
    if (manifest.declares(QStringLiteral("notes")))
        names.append(QStringLiteral("note"));
    if (manifest.declares(QStringLiteral("shortcuts")))
        names << QStringLiteral("launcher") << QStringLiteral("shortcuts");
    if (manifest.declares(QStringLiteral("storage")))
        names.append(QStringLiteral("storage"));
    return names;
}

bool isShared(const QString& name) {
    static const QSet<QString> perInstance{QStringLiteral("instanceID"), QStringLiteral("project"),
                                           QStringLiteral("focus"),      QStringLiteral("note"),
                                           QStringLiteral("launcher"),   QStringLiteral("storage")};
    return !perInstance.contains(name);
}

bool followsPreferencesOnly(const QString& name) {
    static const QSet<QString> settled{QStringLiteral("apiVersion"),  QStringLiteral("theme"),
                                       QStringLiteral("showSeconds"), QStringLiteral("note"),
                                       QStringLiteral("launcher"),    QStringLiteral("shortcuts"),
                                       QStringLiteral("storage")};
    return settled.contains(name);
}

QJsonValue section(const QString& name, const WidgetManifest& manifest, TarnStore& store,
                   const QString& key) {
    const bool shared = key == manifest.id;
    const Preferences& preferences = store.preferences();
    if (name == QStringLiteral("apiVersion"))
        return 1;
    if (name == QStringLiteral("instanceID"))
        return key;
    if (name == QStringLiteral("now"))
        return double(store.now().toMSecsSinceEpoch());
    if (name == QStringLiteral("theme"))
        return QJsonObject{{QStringLiteral("accent"), preferences.accentHex()},
                           {QStringLiteral("primary"), preferences.primaryHex()},
                           {QStringLiteral("mode"), QStringLiteral("dark")}};
    if (name == QStringLiteral("showSeconds"))
        return preferences.showSeconds;
    if (name == QStringLiteral("metrics"))
        return metrics(store);
    if (IntegrationServices::permissions().contains(name))
        return store.services().snapshot(name, key);
    if (name == QStringLiteral("focus")) {
        const FocusSession timer = shared ? store.focus() : store.focusCopy(key);
        return QJsonObject{{QStringLiteral("secondsLeft"), timer.secondsLeft(store.now())},
                           {QStringLiteral("duration"), timer.duration},
                           {QStringLiteral("running"), timer.isRunning()},
                           {QStringLiteral("completed"), timer.completed},
                           {QStringLiteral("minutes"), qint64(std::trunc(timer.duration / 60))}};
    }
    if (name == QStringLiteral("note"))
        return shared ? preferences.note
                      : preferences.widgetStorage.value(key).value(QStringLiteral("note"));
    if (name == QStringLiteral("launcher")) {
        const LauncherConfiguration launcher = launcherFor(store, key);
        const auto standard = launcher.standardApp();
        return QJsonObject{
                {QStringLiteral("name"), launcher.name(store.launcher().get())},
                {QStringLiteral("symbol"), standard ? standard->symbol : QStringLiteral("app")}};
    }
    if (name == QStringLiteral("shortcuts")) {
        // A page gets its state again whenever anything in it changes, the clock included: a list
        // without end would be sent in full every second.
        QJsonArray shortcuts;
        for (const Shortcut& shortcut : preferences.shortcuts.first(
                     qMin(preferences.shortcuts.size(), qsizetype(shortcutsInSnapshot))))
            shortcuts.append(QJsonObject{{QStringLiteral("id"), Json::uuidText(shortcut.id)},
                                         {QStringLiteral("name"), shortcut.name},
                                         {QStringLiteral("symbol"), shortcut.symbol}});
        return shortcuts;
    }
    if (name == QStringLiteral("storage"))
        return storageObject(preferences.widgetStorage.value(key));
    return QJsonValue::Null;
}

QJsonObject snapshot(const WidgetManifest& manifest, TarnStore& store,
                     const std::optional<QString>& instanceID) {
    const QString key = instanceKey(manifest, instanceID);
    QJsonObject state;
    for (const QString& name : sectionNames(manifest))
        state.insert(name, section(name, manifest, store, key));
    return state;
}

const QMap<QString, QString>& localCommands() {
    static const QMap<QString, QString> local = {
            {QStringLiteral("focus.toggle"), QStringLiteral("focus")},
            {QStringLiteral("focus.reset"), QStringLiteral("focus")},
            {QStringLiteral("focus.setMinutes"), QStringLiteral("focus")},
            {QStringLiteral("notes.set"), QStringLiteral("notes")},
            {QStringLiteral("launcher.launch"), QStringLiteral("shortcuts")},
            {QStringLiteral("shortcuts.launch"), QStringLiteral("shortcuts")},
            {QStringLiteral("storage.set"), QStringLiteral("storage")}};
    return local;
}

std::optional<QString> permissionFor(const QString& method) {
    if (const auto local = localCommands().constFind(method); local != localCommands().cend())
        return *local;
    const auto integration = IntegrationServices::commands().constFind(method);
    if (integration != IntegrationServices::commands().cend())
        return *integration;
    return std::nullopt;
}

void perform(const QString& method, const QJsonObject& arguments, const WidgetManifest& manifest,
             TarnStore& store, const std::optional<QString>& instanceID,
             const GestureTaker& takeGesture) {
    const auto permission = localCommands().constFind(method);
    if (permission == localCommands().cend() || !manifest.declares(*permission))
        throw WidgetError::invalid(unavailable);
    const QString key = instanceKey(manifest, instanceID);
    const bool shared = key == manifest.id;
    if (method.startsWith(QStringLiteral("focus.")))
        performFocus(method, arguments, store, key, shared);
    else if (method == QStringLiteral("notes.set"))
        setNote(arguments, store, key, shared);
    else if (method == QStringLiteral("launcher.launch"))
        launchAfterGesture(store, launcherFor(store, key).shortcut(*store.launcher()), takeGesture);
    else if (method == QStringLiteral("shortcuts.launch"))
        launchShortcut(arguments, store, takeGesture);
    else
        setStorage(arguments, store, key);
}

namespace {

// The request's id when the message is a well-formed command.
std::optional<QJsonValue> requestOf(const QJsonObject& message) {
    const QJsonValue id = message.value(QStringLiteral("id"));
    const QJsonValue method = message.value(QStringLiteral("method"));
    if (!id.isDouble() || std::trunc(id.toDouble()) != id.toDouble() || !method.isString())
        return std::nullopt;
    return id;
}

QJsonObject failure(const QJsonValue& requestID, const QString& error) {
    return {{QStringLiteral("id"), requestID},
            {QStringLiteral("ok"), false},
            {QStringLiteral("error"), error}};
}

} // namespace

void refuseCommand(const QJsonObject& message, const QString& reason,
                   const std::function<void(const QJsonObject& reply)>& reply) {
    if (const auto requestID = requestOf(message))
        reply(failure(*requestID, reason));
}

void handleCommand(const QJsonObject& message, const WidgetManifest& manifest, TarnStore& store,
                   const std::optional<QString>& instanceID, const GestureTaker& takeGesture,
                   std::function<void(const QJsonObject& reply)> reply) {
    const auto request = requestOf(message);
    if (!request)
        return;
    const QJsonValue requestID = *request;
    const QJsonValue method = message.value(QStringLiteral("method"));
    const auto answer = [reply, requestID](const std::optional<QString>& error) {
        if (error)
            reply(failure(requestID, *error));
        else
            reply({{QStringLiteral("id"), requestID}, {QStringLiteral("ok"), true}});
    };
    const QJsonValue given = message.value(QStringLiteral("arguments"));
    const QJsonObject arguments = given.isObject() ? given.toObject() : QJsonObject();
    const auto integration = IntegrationServices::commands().constFind(method.toString());
    if (integration != IntegrationServices::commands().cend()) {
        if (!manifest.declares(*integration)) {
            answer(QStringLiteral("Permission was not declared"));
            return;
        }
        store.services().perform(method.toString(), arguments, instanceKey(manifest, instanceID),
                                 answer);
        return;
    }
    try {
        perform(method.toString(), arguments, manifest, store, instanceID, takeGesture);
        answer(std::nullopt);
    } catch (const WidgetError& error) {
        answer(error.message());
    }
}

} // namespace WidgetBridge
