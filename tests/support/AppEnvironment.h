#pragma once

#include "store/TarnStore.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

// Writes a data folder whose first page holds the notes widget alone and whose other pages are
// empty. A first start loads the thirteen widgets of the example pages, each in a process of its
// own; a test whose subject is not the pages starts this way, with one live page, at a fraction
// of the cost.
inline void writeOneWidgetPages(const QString& dataDirectory) {
    Preferences preferences;
    for (int index = 0; index < preferences.pageCount; ++index) {
        PageLayout layout = PageLayout::row({WidgetKind::notes()}, {});
        if (index > 0)
            layout.sections.first().widget.reset();
        preferences.pageLayouts.insert(rawValue(allBoards.at(index)), layout);
    }
    QDir().mkpath(dataDirectory);
    QSaveFile file(dataDirectory + "/preferences.json");
    if (!file.open(QIODevice::WriteOnly) || file.write(preferences.toJson()) < 0 || !file.commit())
        ADD_FAILURE() << "could not write " << file.fileName().toStdString();
}
