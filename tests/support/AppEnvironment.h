#pragma once

#include "store/TarnStore.h"
#include "support/StoreFixture.h"

#include <QSettings>
#include <QTemporaryDir>

// The store's environment for tests that run the whole application: a temporary data folder,
// the project's own resources (so the included widgets are there), no heartbeat and no way to
// open applications.
inline TarnStore::Environment applicationEnvironment(const QTemporaryDir& folder) {
    TarnStore::Environment environment;
    environment.directory = folder.filePath("Tarn");
    environment.resources = TABLORA_RESOURCES_DIRECTORY;
    environment.startTimer = false;
    environment.launcher = std::make_shared<FakeLauncher>();
    environment.integrations.settings =
            std::make_shared<QSettings>(folder.filePath("settings.ini"), QSettings::IniFormat);
    environment.integrations.homeFolder = folder.filePath("home");
    return environment;
}
