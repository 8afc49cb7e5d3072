#pragma once

#include "settings/PackagePreviews.h"
#include "settings/SettingsDesktop.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsView.h"
#include "store/StoreTouchHost.h"
#include "support/StoreFixture.h"
#include "touch/DirectTouchController.h"
#include "touch/views/WidgetTouchWindows.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWidget>

// Answers the settings window's questions when the test says so.
class FakeDialogs : public SettingsDialogs {
public:
    struct Asked {
        Alert alert;
        Answer answer;
    };
    struct Chooser {
        QString title;
        QString folder;
        Chosen chosen;
    };
    QList<Asked> asked;
    QList<Chooser> choosers;
    QList<Picked> colours;

    void ask(QWidget*, const Alert& alert, Answer answer) override {
        asked.append({alert, std::move(answer)});
    }
    void chooseFolder(QWidget*, const QString& title, Chosen chosen) override {
        choosers.append({title, QString(), std::move(chosen)});
    }
    void chooseApplication(QWidget*, const QString& title, const QString& folder,
                           Chosen chosen) override {
        choosers.append({title, folder, std::move(chosen)});
    }
    void chooseColor(QWidget*, const QString&, const QColor&, Picked picked) override {
        colours.append(std::move(picked));
    }

    // Answers the oldest open alert with the button of that title.
    void answer(const QString& button) {
        const Asked open = asked.takeFirst();
        open.answer(int(open.alert.buttons.indexOf(button)));
    }
    void choose(const std::optional<QString>& path) { choosers.takeFirst().chosen(path); }
};

class FakeDesktop : public SettingsDesktop {
public:
    QStringList calls;
    void openTouchPermissionHelp() override { calls.append("help"); }
    void revealApplication() override { calls.append("reveal application"); }
    void openFolder(const QString& path) override { calls.append("open " + path); }
    void reveal(const QString& path) override { calls.append("reveal " + path); }
};

class ListedScreens : public ScreenDirectory {
public:
    QList<ScreenInfo> list = {{"DP-1", QRectF(0, 0, 2560, 1440), 11, 0, {}, "DELL U2720Q"},
                              {"HDMI-2", QRectF(2560, 0, 2560, 720), 22, 0, {}}};
    QList<ScreenInfo> screens() const override { return list; }
    DisplayModel model(quint32) const override { return {}; }
};

// A store with the included widgets, a touch controller without a touchscreen, and the settings
// view in a window of its own, with fake dialogs and desktop.
struct SettingsFixture : StoreFixture {
    ListedScreens screens;
    FakeDialogs dialogs;
    FakeDesktop desktop;
    std::unique_ptr<DirectTouchController> touch;
    std::unique_ptr<PackagePreviews> previews; // none: the libraries show no previews
    std::unique_ptr<QWidget> window;
    SettingsView* view = nullptr;

    TarnStore& openStore() {
        customize = [](TarnStore::Environment& environment) {
            environment.resources = QStringLiteral(TABLORA_RESOURCES_DIRECTORY);
        };
        TarnStore& opened = open();
        DirectTouchController::Environment environment;
        environment.host = storeTouchHost(opened);
        environment.screens = &screens;
        environment.windows = std::make_unique<WidgetTouchWindows>();
        environment.supportFolder = directory();
        touch = std::make_unique<DirectTouchController>(std::move(environment));
        return opened;
    }

    SettingsView& openSettings(QSize size = QSize(1080, 700)) {
        if (!store)
            openStore();
        window = std::make_unique<QWidget>();
        window->setAttribute(Qt::WA_DontShowOnScreen);
        view = new SettingsView(
                {*store, *touch, screens, dialogs, desktop, "0.1.0", previews.get()}, window.get());
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        window->resize(size);
        window->show();
        QCoreApplication::processEvents();
        return *view;
    }

    void TearDown() override {
        window.reset();
        previews.reset();
        touch.reset();
        store.reset();
    }
};
