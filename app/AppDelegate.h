#pragma once

#include "app/DashboardWindow.h"
#include "app/WindowPlacement.h"
#include "store/TarnStore.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

class Dashboard;
class QAction;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;
class ScreenDirectory;

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
    };

    explicit AppDelegate(Options options, QObject* parent = nullptr);
    ~AppDelegate() override;

    TarnStore& store() const { return *m_store; }
    DashboardWindow& window() const { return *m_window; }
    Dashboard& dashboard() const { return *m_dashboard; }
    WindowPlacement& placement() const { return *m_placement; }
    DashboardWindow* settingsWindow() const { return m_settingsWindow; }
    QMenuBar* menuBar() const;
    QMenu* trayMenu() const { return m_trayMenu.get(); }
    bool directTouchRunning() const { return m_directTouch; }

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
    void setDirectTouch(bool on);
    void displayChosen(const QString& name);
    void logSkippedPackages();
    void closeRequested(DashboardWindow* window);
    void editAction(const char* method);

    std::unique_ptr<ScreenDirectory> m_screens;
    std::function<void()> m_refreshScreens;
    std::unique_ptr<TarnStore> m_store;
    std::unique_ptr<DashboardWindow> m_window;
    Dashboard* m_dashboard = nullptr;
    std::unique_ptr<WindowPlacement> m_placement;
    QPointer<DashboardWindow> m_settingsWindow;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<QMenu> m_trayMenu;
    QList<QAction*> m_windowActions;
    QTimer m_displaysSettle;
    bool m_directTouch = false;
    QString m_lastPlacement;
};
