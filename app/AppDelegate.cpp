#include "AppDelegate.h"

#include "app/DashboardWindow.h"
#include "dashboard/Dashboard.h"
#include "dashboard/TarnTheme.h"
#include "dashboard/WidgetLogWindow.h"
#include "desktop/ApplicationLog.h"
#include "settings/PackagePreviews.h"
#include "settings/SettingsView.h"
#include "store/StoreTouchHost.h"
#include "touch/views/MouseFallback.h"
#include "touch/views/WidgetTouchWindows.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

// One of the product's drawings at the sizes panels and window lists ask for.
QIcon drawnIcon(const QString& drawingFile) {
    QSvgRenderer drawing(drawingFile);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QWebEngineView* enclosingWebView(QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (auto* view = qobject_cast<QWebEngineView*>(widget))
            return view;
    }
    return nullptr;
}

// Without a desktop to ask, the settings' desktop buttons do nothing.
class NoDesktop : public SettingsDesktop {
public:
    void openTouchPermissionHelp() override {}
    void revealApplication() override {}
    void openFolder(const QString&) override {}
    void reveal(const QString&) override {}
};

} // namespace

AppDelegate::AppDelegate(Options options, QObject* parent)
    : QObject(parent), m_screens(std::move(options.screens)),
      m_refreshScreens(std::move(options.refreshScreens)),
      m_settingsDialogs(options.settingsDialogs ? std::move(options.settingsDialogs)
                                                : std::make_shared<WidgetSettingsDialogs>()),
      m_settingsDesktop(options.settingsDesktop ? std::move(options.settingsDesktop)
                                                : std::make_shared<NoDesktop>()),
      m_previews(std::move(options.previews)) {
    m_store = std::make_unique<TarnStore>(std::move(options.environment));
    // A widget's log is shown in the file manager the settings window uses.
    WidgetLogWindow::setFileManager(
            [desktop = m_settingsDesktop](const QString& path) { desktop->reveal(path); });
    // However the run ends, what changed is saved.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, m_store.get(),
            &TarnStore::save);
    createTouch(std::move(options.touch));

    m_window = std::make_unique<DashboardWindow>();
    m_placement = std::make_unique<WindowPlacement>(
            *m_screens, *m_window,
            WindowPlacement::Host{[this] { return m_store->preferences().orientation; },
                                  [this] { return m_store->preferences().displayID; },
                                  [this](const QString& name) { displayChosen(name); },
                                  [this](bool on) { setDirectTouch(on); },
                                  [this](const QString& message) { m_store->notify(message); }});
    m_placement->setPreview(options.arguments.contains(QStringLiteral("--preview")));

    const QPointer<AppDelegate> self(this);
    m_store->moveToDisplay = [self] {
        if (self)
            self->m_placement->moveToDisplay();
    };
    m_store->orientationChanged = [self] {
        if (self)
            self->m_placement->place();
    };
    m_store->togglePreview = [self] {
        if (self)
            self->m_placement->togglePreview();
    };
    m_store->pagesChanged = [self] {
        if (self)
            self->setupMenu();
    };

    m_window->setWindowTitle(QStringLiteral("Tablora"));
    QGuiApplication::setWindowIcon(drawnIcon(QStringLiteral(":/icons/tablora.svg")));
    m_window->setGeometry(100, 100, 1440, 405);
    m_dashboard = new Dashboard(*m_store, m_window.get());
    m_dashboard->attachTouch(*m_touch);
    m_window->setCentralWidget(m_dashboard);
    m_window->setMinimumSize(960, 270);
    connect(m_window.get(), &DashboardWindow::closeRequested, this,
            [this] { closeRequested(m_window.get()); });
    connect(m_window.get(), &DashboardWindow::fullScreenEntered, this,
            [this] { m_placement->didEnterFullScreen(); });
    connect(m_window.get(), &DashboardWindow::fullScreenLeft, this,
            [this] { m_placement->didExitFullScreen(); });
    connect(m_window.get(), &DashboardWindow::fullScreenFailed, this,
            [this] { m_placement->didFailToEnterFullScreen(); });

    setupMenu();
    if (options.trayIcon)
        setupStatusItem();

    connect(m_store.get(), &TarnStore::settingsOpenChanged, this,
            &AppDelegate::settingsOpenChanged);
    connect(&m_store->widgets(), &WidgetRegistry::errorsChanged, this,
            &AppDelegate::logSkippedPackages);
    logSkippedPackages();

    // Screens change in bursts (an output goes, the others move): place once it settled.
    m_displaysSettle.setSingleShot(true);
    m_displaysSettle.setInterval(250);
    connect(&m_displaysSettle, &QTimer::timeout, this, &AppDelegate::displaysChanged);
    const auto watchScreen = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, &m_displaysSettle, qOverload<>(&QTimer::start));
        connect(screen, &QScreen::orientationChanged, &m_displaysSettle,
                qOverload<>(&QTimer::start));
    };
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* screen) {
        watchScreen(screen);
        m_displaysSettle.start();
    });
    connect(qApp, &QGuiApplication::screenRemoved, &m_displaysSettle, qOverload<>(&QTimer::start));
    connect(qApp, &QGuiApplication::primaryScreenChanged, &m_displaysSettle,
            qOverload<>(&QTimer::start));

    m_placement->place();
}

AppDelegate::~AppDelegate() {
    setDirectTouch(false);
    delete m_settingsWindow;
    // Web pages go before the store they read, surfaces before the controller that holds them.
    m_window.reset();
    m_mouseFallback.reset();
    m_touch.reset();
}

void AppDelegate::createTouch(Options::Touch touch) {
    DirectTouchController::Environment environment;
    environment.host = storeTouchHost(*m_store);
    environment.screens = m_screens.get();
    environment.windows = std::make_unique<WidgetTouchWindows>();
    environment.devices = std::move(touch.devices);
    environment.services = std::move(touch.services);
    environment.tasks = std::move(touch.tasks);
    if (touch.clock)
        environment.clock = std::move(touch.clock);
    environment.supportFolder = m_store->directory();
    m_touch = std::make_unique<DirectTouchController>(std::move(environment));
    m_mouseFallback = std::make_unique<MouseFallback>(*m_touch);
}

QMenuBar* AppDelegate::menuBar() const {
    return m_window->menuBar();
}

// ---- Menus

void AppDelegate::setupMenu() {
    for (QAction* action : std::as_const(m_windowActions))
        m_window->removeAction(action);
    m_windowActions.clear();
    QMenuBar* bar = m_window->menuBar();
    bar->clear();
    const auto item = [this](QMenu* menu, const QString& title, const QKeySequence& keys,
                             auto&& action) {
        QAction* added = menu->addAction(title, this, action);
        if (!keys.isEmpty()) {
            added->setShortcut(keys);
            // Also the window's own action, so the shortcut works while the menu bar is hidden
            // in full screen.
            m_window->addAction(added);
            m_windowActions.append(added);
        }
        return added;
    };
    const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };

    QMenu* application = bar->addMenu(tr("Tablora"));
    item(application, tr("Settings…"), ctrl(Qt::Key_Comma), &AppDelegate::showSettings);
    application->addSeparator();
    item(application, tr("Quit Tablora"), ctrl(Qt::Key_Q), &AppDelegate::quit);

    QMenu* edit = bar->addMenu(tr("Edit"));
    item(edit, tr("Undo"), ctrl(Qt::Key_Z), [this] { editAction("undo"); });
    item(edit, tr("Cut"), ctrl(Qt::Key_X), [this] { editAction("cut"); });
    item(edit, tr("Copy"), ctrl(Qt::Key_C), [this] { editAction("copy"); });
    item(edit, tr("Paste"), ctrl(Qt::Key_V), [this] { editAction("paste"); });
    item(edit, tr("Select All"), ctrl(Qt::Key_A), [this] { editAction("selectAll"); });

    QMenu* view = bar->addMenu(tr("View"));
    const QList<Board> pages = m_store->pages();
    for (int index = 0; index < pages.size(); ++index) {
        item(view, tr("Page %1").arg(index + 1), ctrl(Qt::Key_1 + index),
             [this, index] { showPage(index); });
    }
    QAction* add = item(view, tr("Add Page"), {}, &AppDelegate::addPage);
    add->setEnabled(pages.size() < Preferences::maximumPages);
    // The same shortcut on two items would make both dead: the first one carries it.
    item(view, tr("Settings…"), {}, &AppDelegate::showSettings);
    item(view, tr("Edit Layouts…"), ctrl(Qt::Key_L), &AppDelegate::showWidgets);
    item(view, tr("Manage Widgets…"), {}, &AppDelegate::showWidgetPackages);
    item(view, tr("Reload Widgets"), ctrl(Qt::Key_R), &AppDelegate::reloadWidgets);
    view->addSeparator();
    item(view, tr("Toggle Window Preview"), ctrl(Qt::Key_W), &AppDelegate::toggleWindow);
}

void AppDelegate::setupStatusItem() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // The same drawing as the product's icon, in one light colour for the panel.
    m_tray = new QSystemTrayIcon(drawnIcon(QStringLiteral(":/icons/tablora-tray.svg")), this);
    m_tray->setToolTip(QStringLiteral("Tablora"));
    // A context menu has no parent widget: the delegate owns it.
    m_trayMenu = std::make_unique<QMenu>();
    m_trayMenu->addAction(tr("Show Tablora"), this, &AppDelegate::showDashboard);
    m_trayMenu->addAction(tr("Settings…"), this, &AppDelegate::showSettings);
    m_trayMenu->addAction(tr("Toggle Window Preview"), this, &AppDelegate::toggleWindow);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(tr("Quit Tablora"), this, &AppDelegate::quit);
    m_tray->setContextMenu(m_trayMenu.get());
    m_tray->show();
}

void AppDelegate::editAction(const char* method) {
    QWidget* focus = QApplication::focusWidget();
    if (QWebEngineView* view = enclosingWebView(focus)) {
        static const QHash<QByteArray, QWebEnginePage::WebAction> actions = {
                {"undo", QWebEnginePage::Undo},
                {"cut", QWebEnginePage::Cut},
                {"copy", QWebEnginePage::Copy},
                {"paste", QWebEnginePage::Paste},
                {"selectAll", QWebEnginePage::SelectAll}};
        view->page()->triggerAction(actions.value(method));
        return;
    }
    if (focus)
        QMetaObject::invokeMethod(focus, method);
}

// ---- Actions

void AppDelegate::showDashboard() {
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::showSettings() {
    m_window->raise();
    // Already open: only brought forward.
    if (m_store->settingsOpen())
        presentSettingsWindow();
    m_store->setSettingsOpen(true);
}

void AppDelegate::showWidgets() {
    m_store->setSettingsTab(SettingsTab::layouts);
    showSettings();
}

void AppDelegate::showWidgetPackages() {
    m_store->setSettingsTab(SettingsTab::packages);
    showSettings();
}

void AppDelegate::reloadWidgets() {
    m_store->widgets().reload();
}

void AppDelegate::toggleWindow() {
    m_placement->togglePreview();
}

void AppDelegate::showPage(int index) {
    const QList<Board> pages = m_store->pages();
    if (index < 0 || index >= pages.size())
        return;
    m_store->updatePreferences([&](Preferences& p) { p.board = pages[index]; });
}

void AppDelegate::addPage() {
    if (m_store->pages().size() < Preferences::maximumPages)
        m_store->addPage();
}

void AppDelegate::quit() {
    // Not QCoreApplication::quit(): that asks every window to close first, and a window that
    // declines (the settings window hides instead) would cancel the quit.
    QCoreApplication::exit(0);
}

void AppDelegate::displaysChanged() {
    if (m_refreshScreens)
        m_refreshScreens();
    m_placement->place();
}

void AppDelegate::displayChosen(const QString& name) {
    m_store->setDisplayName(name);
    const bool windowed = name == WindowPlacement::previewName;
    const QString placed =
            !windowed ? QStringLiteral("full screen on %1").arg(name)
            : m_placement->preview()
                    ? QStringLiteral("the window preview, as asked")
                    : QStringLiteral("the window preview: no touchscreen display is connected");
    if (placed != m_lastPlacement)
        qCInfo(tabloraLog).noquote() << "Dashboard in" << placed;
    m_lastPlacement = placed;
}

void AppDelegate::logSkippedPackages() {
    for (const QString& error : m_store->widgets().errors())
        qCWarning(tabloraLog).noquote() << "Widget package skipped:" << error;
}

// Direct touch runs only while the dashboard is full screen on the touchscreen.
void AppDelegate::setDirectTouch(bool on) {
    if (on != m_directTouch)
        qCInfo(tabloraLog).noquote() << (on ? "Direct touch started" : "Direct touch stopped");
    m_directTouch = on;
    if (on)
        m_touch->start();
    else
        m_touch->stop();
    if (m_dashboard)
        m_dashboard->setOnTouchscreen(on);
}

// ---- Settings window

void AppDelegate::settingsOpenChanged() {
    if (m_store->settingsOpen())
        presentSettingsWindow();
    else if (m_settingsWindow)
        m_settingsWindow->hide();
}

void AppDelegate::presentSettingsWindow() {
    if (!m_settingsWindow) {
        m_settingsWindow = new DashboardWindow;
        m_settingsWindow->setWindowTitle(QStringLiteral("Tablora Settings"));
        m_settingsWindow->setMinimumSize(1080, 630);
        m_settingsWindow->resize(1080, 700);
        m_settingsView = new SettingsView({*m_store, *m_touch, *m_screens, *m_settingsDialogs,
                                           *m_settingsDesktop, QStringLiteral(TABLORA_VERSION),
                                           m_previews.get()},
                                          m_settingsWindow);
        m_settingsWindow->setCentralWidget(m_settingsView);
        connect(m_settingsWindow, &DashboardWindow::closeRequested, this,
                [this] { closeRequested(m_settingsWindow); });
        // Escape closes it as it would a dialog; Ctrl+Q quits from here too.
        auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), m_settingsWindow);
        connect(close, &QShortcut::activated, this, [this] { closeRequested(m_settingsWindow); });
        auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), m_settingsWindow);
        connect(quit, &QShortcut::activated, this, &AppDelegate::quit);
        const QScreen* screen =
                m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : m_window->geometry();
        QRect frame(QPoint(), QSize(1080, 700));
        frame.moveCenter(area.center());
        m_settingsWindow->setGeometry(frame);
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void AppDelegate::closeRequested(DashboardWindow* window) {
    if (window == m_settingsWindow) {
        m_store->setSettingsOpen(false);
        m_store->save();
        return;
    }
    quit();
}
