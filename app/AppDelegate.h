#pragma once

#include "app/DashboardWindow.h"
#include "app/WindowPlacement.h"
#include "settings/SettingsDesktop.h"
#include "settings/SettingsDialogs.h"
#include "store/TarnStore.h"
#include "touch/DirectTouchController.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

class Dashboard;
class MouseFallback;
class QAction;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;
class ScreenDirectory;
class PackagePreviews;
class SettingsView;

// Owns everything that lives for the whole run: the store, the dashboard window with its menus,
// the tray icon and the settings window; places the dashboard and keeps it placed.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    struct Options {
        QStringList arguments;
        TarnStore::Environment environment;
        std::unique_ptr<ScreenDirectory> screens;
        // Reads the displays' identities again after a change; may be empty.
        std::function<void()> refreshScreens;
        bool trayIcon = true;
        // How direct touch reaches the touchscreen and the legacy driver; empty parts: no
        // touchscreen ever attaches, there is no legacy driver, timers of the event loop.
        struct Touch {
            std::unique_ptr<HidDeviceSource> devices;
            std::unique_ptr<ServiceControl> services;
            std::shared_ptr<DelayedTasks> tasks;
            std::shared_ptr<const Clock> clock;
        };
        Touch touch = {};
        // The settings window's dialogs (none: the desktop's own) and what it asks of the
        // desktop (none: nothing happens).
        std::shared_ptr<SettingsDialogs> settingsDialogs = {};
        std::shared_ptr<SettingsDesktop> settingsDesktop = {};
        // Pictures of the packages for the settings window's libraries; none: no pictures.
        std::shared_ptr<PackagePreviews> previews = {};
    };

    explicit AppDelegate(Options options, QObject* parent = nullptr);
    ~AppDelegate() override;

    TarnStore& store() const { return *m_store; }
    DirectTouchController& touch() const { return *m_touch; }
    DashboardWindow& window() const { return *m_window; }
    Dashboard& dashboard() const { return *m_dashboard; }
    WindowPlacement& placement() const { return *m_placement; }
    DashboardWindow* settingsWindow() const { return m_settingsWindow; }
    SettingsView* settingsView() const { return m_settingsView; }
    QMenuBar* menuBar() const;
    QMenu* trayMenu() const { return m_trayMenu.get(); }
    bool directTouchRunning() const { return m_touch->isRunning(); }

    // Menu actions
    void showDashboard();
    void showSettings();
    void showWidgets();
    void showWidgetPackages();
    void reloadWidgets();
    void toggleWindow();
    void showPage(int index);
    void addPage();
    void quit();
    void displaysChanged();

private:
    void setupMenu();
    void setupStatusItem();
    void presentSettingsWindow();
    void settingsOpenChanged();
    void createTouch(Options::Touch touch);
    void setDirectTouch(bool on);
    void displayChosen(const QString& name);
    void logSkippedPackages();
    void closeRequested(DashboardWindow* window);
    void editAction(const char* method);

    std::unique_ptr<ScreenDirectory> m_screens;
    std::function<void()> m_refreshScreens;
    std::unique_ptr<TarnStore> m_store;
    // After the store it reads, before the windows whose surfaces it holds.
    std::unique_ptr<DirectTouchController> m_touch;
    std::unique_ptr<MouseFallback> m_mouseFallback;
    std::unique_ptr<DashboardWindow> m_window;
    Dashboard* m_dashboard = nullptr;
    std::unique_ptr<WindowPlacement> m_placement;
    std::shared_ptr<SettingsDialogs> m_settingsDialogs;
    std::shared_ptr<SettingsDesktop> m_settingsDesktop;
    std::shared_ptr<PackagePreviews> m_previews;
    QPointer<DashboardWindow> m_settingsWindow;
    SettingsView* m_settingsView = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<QMenu> m_trayMenu;
    QList<QAction*> m_windowActions;
    QTimer m_displaysSettle;
    bool m_directTouch = false; // wanted by the placement
    QString m_lastPlacement;
};
