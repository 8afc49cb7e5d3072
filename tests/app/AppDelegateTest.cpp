// The application as it starts: the dashboard in its window with live widget pages, the menus
// and the settings window. Offscreen, with fake screens and a temporary data folder.
#include "app/AppDelegate.h"

#include "app/RemoteControl.h"
#include "dashboard/Dashboard.h"
#include "dashboard/ErrorBadge.h"
#include "dashboard/PageStage.h"
#include "dashboard/WidgetContainer.h"
#include "dashboard/WidgetLogWindow.h"
#include "desktop/linux/TerminationSignals.h"
#include "settings/LayoutEditorView.h"
#include "settings/SettingsView.h"
#include "support/AppEnvironment.h"
#include "support/EventLoop.h"
#include "support/OneWidgetPages.h"
#include "support/PackageBuilder.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetPage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>

namespace {

class NoScreens : public ScreenDirectory {
public:
    QList<ScreenInfo> screens() const override {
        return {{"desk", QRectF(0, 0, 1920, 1080), 1, 0, {}}};
    }
    DisplayModel model(quint32) const override { return {}; }
};

class StubbornDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

struct AppDelegateTest : testing::Test {
    QTemporaryDir folder;
    std::unique_ptr<AppDelegate> delegate;

    enum class Data { onePage, firstStart };

    // Tests start with the notes widget alone, so that the pages cost little where they are not
    // the subject; the first start's test starts from an empty data folder, as a new user does.
    AppDelegate& start(QStringList arguments = {"tablora"}, Data data = Data::onePage) {
        if (data == Data::onePage)
            writeOneWidgetPages(folder.filePath("Tarn"));
        TarnStore::Environment environment = applicationEnvironment(folder);
        delegate = std::make_unique<AppDelegate>(AppDelegate::Options{std::move(arguments),
                                                                      std::move(environment),
                                                                      std::make_unique<NoScreens>(),
                                                                      {},
                                                                      false});
        return *delegate;
    }

    void TearDown() override { delegate.reset(); }

    static QList<WidgetLogWindow*> logWindows() {
        QList<WidgetLogWindow*> found;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* log = qobject_cast<WidgetLogWindow*>(window); log && log->isVisible())
                found.append(log);
        }
        return found;
    }

    QAction* menuItem(const QString& menu, const QString& title) const {
        for (QAction* top : delegate->menuBar()->actions()) {
            if (top->text() != menu || !top->menu())
                continue;
            for (QAction* item : top->menu()->actions()) {
                if (item->text() == title)
                    return item;
            }
        }
        return nullptr;
    }
};

TEST_F(AppDelegateTest, FirstStartShowsTheOverviewPageWithItsFiveLiveWidgets) {
    AppDelegate& app = start({"tablora"}, Data::firstStart);
    EXPECT_EQ(app.window().windowTitle(), QString::fromUtf8("Tablora — Preview"));
    EXPECT_EQ(app.store().displayName(), "Window preview");
    EXPECT_EQ(app.store().preferences().board, Board::overview);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.window()));

    const QList<WidgetContainer*> tiles = app.dashboard().containers();
    ASSERT_EQ(tiles.size(), 5);
    QStringList packages;
    for (WidgetContainer* tile : tiles) {
        ASSERT_NE(tile->web(), nullptr) << tile->widget().rawValue().toStdString();
        packages.append(tile->web()->package().manifest.id);
    }
    packages.sort();
    EXPECT_EQ(packages, QStringList({"cpu", "disk", "gpu", "memory", "network"}));
    EXPECT_TRUE(waitUntil(
            [&] {
                return std::all_of(tiles.begin(), tiles.end(), [](WidgetContainer* tile) {
                    return tile->web()->isReady() && !tile->web()->failure();
                });
            },
            60000));
    // The canvas fills the window's width; tiles sit inside it.
    EXPECT_NEAR(app.dashboard().scale(), app.dashboard().width() / 1920.0, 1e-9);
    for (WidgetContainer* tile : tiles)
        EXPECT_TRUE(app.dashboard().rect().contains(tile->geometry()));
}

TEST_F(AppDelegateTest, MissingPackagesShowThePlaceholderAndReloadingReplacesEveryPage) {
    AppDelegate& app = start({"tablora", "--preview"});
    const auto missing = *WidgetKind::named("com.example.absent@1");
    app.store().setLayout(PageLayout::row({missing, WidgetKind::notes()}, {}), Board::overview);
    WidgetContainer* placeholder = app.dashboard().container(missing);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->web(), nullptr);
    WidgetContainer* notes = app.dashboard().container(WidgetKind::notes());
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(notes->web(), nullptr);
    // Only a page has a log to show, in a window of the dashboard's own; one that wrote nothing
    // says so instead of opening nothing.
    EXPECT_EQ(placeholder->actions().size(), 2);
    EXPECT_EQ(placeholder->errorBadge(), nullptr);
    ASSERT_EQ(notes->actions().size(), 3);
    EXPECT_EQ(notes->actions()[2]->text(), "Show Widget Log");
    QFile::remove(notes->web()->log().path());
    notes->actions()[2]->trigger();
    notes->actions()[2]->trigger(); // again: the same window comes forward
    const QList<WidgetLogWindow*> logs = logWindows();
    ASSERT_EQ(logs.size(), 1);
    WidgetLogWindow* log = logs[0];
    EXPECT_TRUE(log->isVisible());
    EXPECT_EQ(log->path(), notes->web()->log().path());
    EXPECT_EQ(log->text()->toPlainText(), "");
    EXPECT_TRUE(log->text()->placeholderText().startsWith("Nothing written yet."));
    log->close();

    const QPointer<WidgetContainer> before(notes);
    app.reloadWidgets();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(before.isNull());
    WidgetContainer* after = app.dashboard().container(WidgetKind::notes());
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after->web(), nullptr);
}

TEST_F(AppDelegateTest, APageThatThrowsIsMarkedUntilItLoadsAgainAndTheMarkShowsItsLog) {
    PackageBuilder builder(folder.filePath("Tarn/Widgets"));
    builder.write("throws.tarnwidget", PackageBuilder::validManifest("com.example.throws"));
    builder.file("throws.tarnwidget/index.html",
                 "<!doctype html><p>--:--</p><script src=\"page.js\"></script>");
    builder.file("throws.tarnwidget/page.js", "null.property;\n");
    AppDelegate& app = start({"tablora", "--preview"});
    const auto throws = *WidgetKind::named("com.example.throws@1");
    app.store().setLayout(PageLayout::row({throws, WidgetKind::notes()}, {}), Board::overview);
    WidgetContainer* tile = app.dashboard().container(throws);
    WidgetContainer* notes = app.dashboard().container(WidgetKind::notes());
    ASSERT_NE(tile, nullptr);
    ASSERT_NE(tile->errorBadge(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.window()));
    EXPECT_TRUE(waitUntil([&] { return tile->errorBadge()->isVisible(); }, 30000));
    EXPECT_TRUE(waitUntil([&] { return notes->web()->isReady(); }, 30000));
    EXPECT_FALSE(notes->errorBadge()->isVisible()) << "a page that works has no mark";
    // In the tile's top right corner, above the page, once the new layout's tiles are in place.
    EXPECT_TRUE(
            waitUntil([&] { return !app.dashboard().stage(Board::overview)->isMovingTiles(); }));
    EXPECT_TRUE(tile->rect().contains(tile->errorBadge()->geometry()))
            << tile->width() << "x" << tile->height() << " badge at " << tile->errorBadge()->x()
            << "," << tile->errorBadge()->y() << " " << tile->errorBadge()->width();
    EXPECT_GT(tile->errorBadge()->x(), tile->width() / 2);

    // A click on the mark shows the log with the error, following what the page writes next.
    QTest::mouseClick(tile->errorBadge(), Qt::LeftButton);
    ASSERT_EQ(logWindows().size(), 1);
    WidgetLogWindow* log = logWindows()[0];
    EXPECT_EQ(log->windowTitle(), QString::fromUtf8("Clock — Widget Log"));
    EXPECT_TRUE(log->text()->toPlainText().contains(
            "page.js:1: error: Uncaught TypeError: Cannot read properties of null"))
            << log->text()->toPlainText().toStdString();
    EXPECT_TRUE(log->text()->isReadOnly());
    QString revealed;
    WidgetLogWindow::setFileManager([&](const QString& path) { revealed = path; });
    log->revealButton()->click();
    EXPECT_EQ(revealed, tile->web()->log().path());
    WidgetLogWindow::setFileManager([](const QString&) {});
    tile->web()->page()->runJavaScript("console.log('written later')");
    EXPECT_TRUE(waitUntil(
            [&] { return log->text()->toPlainText().endsWith(" info: written later"); }, 5000))
            << log->text()->toPlainText().toStdString();

    // Loading again clears the mark, until the page throws again.
    bool hiddenOnLoad = false;
    QObject::connect(tile->web()->page(), &WidgetPage::documentRequested,
                     [&] { hiddenOnLoad = tile->errorBadge()->isHidden(); });
    tile->web()->reload();
    EXPECT_TRUE(waitUntil([&] { return hiddenOnLoad; }, 10000));
    EXPECT_TRUE(waitUntil([&] { return tile->errorBadge()->isVisible(); }, 30000));
}

TEST_F(AppDelegateTest, ViewMenuListsThePagesAndAddPageStopsAtEight) {
    AppDelegate& app = start();
    QAction* second = menuItem("View", "Page 2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_2));
    second->trigger();
    EXPECT_EQ(app.store().preferences().board, Board::focus);

    ASSERT_NE(menuItem("View", "Add Page"), nullptr);
    EXPECT_TRUE(menuItem("View", "Add Page")->isEnabled());
    while (app.store().pages().size() < 8)
        menuItem("View", "Add Page")->trigger();
    EXPECT_NE(menuItem("View", "Page 8"), nullptr);
    EXPECT_FALSE(menuItem("View", "Add Page")->isEnabled());
    for (const char* title : {"Settings…", "Edit Layouts…", "Manage Widgets…", "Reload Widgets",
                              "Toggle Window Preview"})
        EXPECT_NE(menuItem("View", QString::fromUtf8(title)), nullptr) << title;
    EXPECT_EQ(menuItem("Tablora", "Quit Tablora")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(AppDelegateTest, SettingsWindowFollowsTheStoreAndClosingOnlyHidesIt) {
    AppDelegate& app = start();
    EXPECT_EQ(app.settingsWindow(), nullptr);
    app.showWidgetPackages();
    EXPECT_EQ(app.store().settingsTab(), SettingsTab::packages);
    ASSERT_NE(app.settingsWindow(), nullptr);
    DashboardWindow* settings = app.settingsWindow();
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->windowTitle(), "Tablora Settings");
    EXPECT_EQ(settings->minimumSize(), QSize(1080, 630));

    EXPECT_FALSE(settings->close());
    EXPECT_FALSE(app.store().settingsOpen());
    EXPECT_FALSE(settings->isVisible());
    app.showSettings();
    EXPECT_EQ(app.settingsWindow(), settings); // reused
    EXPECT_TRUE(settings->isVisible());

    // Escape closes it, from whatever has the focus.
    settings->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : settings,
                    Qt::Key_Escape);
    EXPECT_FALSE(app.store().settingsOpen());
    EXPECT_FALSE(settings->isVisible());
}

TEST_F(AppDelegateTest, ClosingTheDashboardSavesAndQuits) {
    AppDelegate& app = start();
    app.store().updatePreferences([](Preferences& p) { p.note = "keep me"; });
    QTimer::singleShot(0, &app.window(), [&app] { app.window().close(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(1); });
    watchdog.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    QFile saved(folder.filePath("Tarn/preferences.json"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("keep me"));
}

TEST_F(AppDelegateTest, ControlQQuitsFromTheDashboardAndFromTheSettings) {
    AppDelegate& app = start();
    app.showSettings();
    for (QWidget* window :
         {static_cast<QWidget*>(&app.window()), static_cast<QWidget*>(app.settingsWindow())}) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTimer::singleShot(0, window,
                           [window] { QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(1); });
        watchdog.start(10000);
        EXPECT_EQ(QApplication::exec(), 0) << window->windowTitle().toStdString();
    }
}

TEST_F(AppDelegateTest, QuittingEndsTheRunWhateverWindowOrDialogIsOpen) {
    AppDelegate& app = start();
    TerminationSignals termination;
    app.showWidgets();
    const std::function<void()> ways[] = {
            [&] { menuItem("Tablora", "Quit Tablora")->trigger(); },
            [] { ::raise(SIGTERM); },
    };
    for (const auto& quit : ways) {
        app.store().updatePreferences([](Preferences& p) { p.note += "+"; });
        // A dialog with an event loop of its own, which declines to close, as a window that
        // asks what to do with unsaved work would.
        StubbornDialog dialog(app.settingsWindow());
        bool dialogEnded = false;
        QTimer::singleShot(0, &dialog, [&] {
            QTimer::singleShot(0, &app, quit);
            dialog.exec();
            dialogEnded = true;
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(1); });
        watchdog.start(10000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_TRUE(dialogEnded);
    }
    QFile saved(folder.filePath("Tarn/preferences.json"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(Preferences::fromJson(saved.readAll()).note, "++");
}

CommandLine command(const QStringList& arguments) {
    return std::get<CommandLine>(CommandLine::parse(arguments));
}

TEST_F(AppDelegateTest, RemoteCommandsMapOntoTheDashboardsOwnActions) {
    AppDelegate& app = start({"tablora", "--preview"});
    TarnStore& store = app.store();
    EXPECT_EQ(runCommand(app, command({"--page", "3"})), "");
    EXPECT_EQ(store.preferences().board, Board::system);
    // Like swipes, the ends of the page list hold.
    EXPECT_EQ(runCommand(app, command({"--next-page"})), "");
    EXPECT_EQ(store.preferences().board, Board::system);
    EXPECT_EQ(runCommand(app, command({"--previous-page"})), "");
    EXPECT_EQ(runCommand(app, command({"--previous-page"})), "");
    EXPECT_EQ(runCommand(app, command({"--previous-page"})), "");
    EXPECT_EQ(store.preferences().board, Board::overview);
    EXPECT_EQ(runCommand(app, command({"--next-page"})), "");
    EXPECT_EQ(store.preferences().board, Board::focus);

    EXPECT_EQ(runCommand(app, command({"--page", "4"})),
              "there is no page 4: the dashboard has 3 pages");
    EXPECT_EQ(store.preferences().board, Board::focus);

    EXPECT_EQ(runCommand(app, command({"--notify", "Build finished"})), "");
    EXPECT_EQ(store.toast(), "Build finished");

    EXPECT_EQ(runCommand(app, command({"--settings", "widgets"})), "");
    EXPECT_EQ(store.settingsTab(), SettingsTab::packages);
    ASSERT_NE(app.settingsWindow(), nullptr);
    EXPECT_TRUE(app.settingsWindow()->isVisible());
    EXPECT_EQ(runCommand(app, command({"--settings", "layouts"})), "");
    EXPECT_EQ(store.settingsTab(), SettingsTab::layouts);
    // The open window follows: its view shows the layout editor.
    ASSERT_NE(app.settingsView(), nullptr);
    EXPECT_TRUE(app.settingsView()->layouts()->isVisibleTo(app.settingsWindow()));

    // The running dashboard's --preview switches; without a touchscreen that stays the preview.
    EXPECT_TRUE(app.placement().preview());
    EXPECT_EQ(runCommand(app, command({"--preview"})), "");
    EXPECT_FALSE(app.placement().preview());
    EXPECT_EQ(app.window().windowTitle(), QString::fromUtf8("Tablora — Preview"));

    const int revision = store.widgets().revision();
    EXPECT_EQ(runCommand(app, command({"--reload-widgets"})), "");
    EXPECT_GT(store.widgets().revision(), revision);
    app.window().hide();
    EXPECT_EQ(runCommand(app, command({})), "");
    EXPECT_TRUE(app.window().isVisible());
}

} // namespace
