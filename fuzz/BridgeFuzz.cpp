// Messages a hostile page could post, handled as the web host handles them: the JSON text is
// parsed, controls are read, and commands run against a real store. Every command with an id
// gets at most one reply, local ones exactly one, and the limits on notes, storage and controls
// hold whatever came before.
#include "FuzzSupport.h"
#include "integrations/IntegrationServices.h"
#include "model/AppLauncher.h"
#include "packages/WidgetControls.h"
#include "store/TarnStore.h"
#include "widgets/WidgetBridge.h"

#include <QJsonDocument>
#include <QSettings>
#include <cmath>

namespace {

class CountingLauncher : public AppLauncher {
public:
    std::optional<QString> locate(const QString& id) override { return "/bin/" + id; }
    std::optional<Application> inspect(const QString&) override { return std::nullopt; }
    void open(const QString&, Completion completion) override { completion(std::nullopt); }
};

TarnStore& store() {
    FuzzSupport::application();
    // Lives for the whole run: the store is the state every message works on.
    static TarnStore* made = [] {
        const QString base = FuzzSupport::scratch().path();
        TarnStore::Environment environment;
        environment.directory = base + "/Tarn";
        environment.resources = base;
        environment.startTimer = false;
        environment.launcher = std::make_shared<CountingLauncher>();
        // Nothing here may reach the network or start the user's programs.
        environment.integrations.homeFolder = base + "/home";
        environment.integrations.settings =
                std::make_shared<QSettings>(base + "/settings.ini", QSettings::IniFormat);
        environment.integrations.activityPrograms.ping = "/bin/true";
        environment.integrations.openUrl = [](const QUrl&) { return true; };
        return new TarnStore(std::move(environment));
    }();
    return *made;
}

WidgetManifest everything() {
    WidgetManifest manifest;
    manifest.id = "com.example.fuzz";
    manifest.name = "Fuzz";
    manifest.entry = "index.html";
    manifest.permissions = WidgetManifest::supportedPermissions().values();
    return manifest;
}

void handle(const QJsonObject& message, const std::optional<QString>& instance, bool gesture) {
    const QJsonValue type = message.value("type");
    if (type == QStringLiteral("controls")) {
        if (const auto controls = WidgetControls::fromItems(message.value("items"))) {
            FuzzSupport::require(controls->size() <= WidgetControls::maximumCount);
            for (const WidgetControl& control : *controls)
                FuzzSupport::require(std::abs(control.frame.x()) < 10000 &&
                                     std::abs(control.frame.y()) < 10000 &&
                                     control.frame.width() > 0 && control.frame.height() > 0);
        }
    } else if (type == QStringLiteral("command")) {
        static const WidgetManifest manifest = everything();
        int replies = 0;
        WidgetBridge::handleCommand(
                message, manifest, store(), instance, [gesture] { return gesture; },
                [&replies](const QJsonObject&) { ++replies; });
        const QJsonValue id = message.value("id");
        const bool answerable = id.isDouble() && std::trunc(id.toDouble()) == id.toDouble() &&
                                message.value("method").isString();
        const QString method = message.value("method").toString();
        if (answerable && !IntegrationServices::commands().contains(method))
            FuzzSupport::require(replies == 1);
        if (!answerable)
            FuzzSupport::require(replies == 0);
        FuzzSupport::require(replies <= 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool gesture = data[0] & 1;
    const std::optional<QString> instance =
            data[0] & 2 ? std::optional<QString>("com.example.fuzz@one") : std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(FuzzSupport::bytes(data + 1, size - 1));
    if (document.isObject())
        handle(document.object(), instance, gesture);
    QCoreApplication::processEvents();
    const Preferences& preferences = store().preferences();
    FuzzSupport::require(preferences.note.toUtf8().size() <= WidgetBridge::noteLimit);
    for (const auto& storage : preferences.widgetStorage)
        FuzzSupport::require(storage.value("note").toUtf8().size() <= WidgetBridge::noteLimit);
    return 0;
}
