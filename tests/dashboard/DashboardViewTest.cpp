// The dashboard view without web pages (no package is installed, so every tile is a
// placeholder): tile frames, drag and drop onto tiles, the page indicator's timing, the toast.
#include "dashboard/Dashboard.h"
#include "dashboard/DashboardOverlay.h"
#include "dashboard/MissingWidgetPlaceholder.h"
#include "dashboard/WidgetContainer.h"
#include "support/EventLoop.h"
#include "support/StoreFixture.h"

#include <QDragEnterEvent>
#include <QFontMetricsF>
#include <QMimeData>
#include <QTest>

namespace {

struct DashboardViewTest : StoreFixture {
    DashboardViewTest() { tasks = std::make_shared<ManualTasks>(clock); }
    std::unique_ptr<Dashboard> dashboard;

    Dashboard& showOverview(QSize size = {960, 270}) {
        open();
        dashboard = std::make_unique<Dashboard>(*store);
        dashboard->resize(size);
        dashboard->show();
        return *dashboard;
    }
    void TearDown() override { dashboard.reset(); }

    static bool dragEnter(QWidget* target, const QString& text) {
        QMimeData data;
        data.setText(text);
        QDragEnterEvent event(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        return event.isAccepted();
    }
    static void drop(QWidget* target, const QString& text) {
        QMimeData data;
        data.setText(text);
        QDropEvent event(QPointF(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Straight to the widget: the application delivers drops only inside a real drag.
        static_cast<QObject*>(target)->event(&event);
    }
};

TEST_F(DashboardViewTest, TilesAreTheSectionFramesScaledIntoTheWindow) {
    Dashboard& view = showOverview();
    EXPECT_DOUBLE_EQ(view.scale(), 0.5);
    const QList<WidgetKind> widgets = store->preferences().widgets(Board::overview);
    ASSERT_EQ(widgets.size(), 5);
    WidgetContainer* first = view.container(widgets.first());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->web(), nullptr); // no package: the placeholder
    // Canvas (21, 19, 364.4, 502) at half size.
    EXPECT_EQ(first->geometry(), QRect(11, 10, 182, 251));
    WidgetContainer* second = view.container(widgets[1]);
    EXPECT_EQ(second->geometry().left() - first->geometry().right() - 1, 7);

    view.resize(1000, 1000);
    const QRectF canvas = view.canvasFrame();
    EXPECT_DOUBLE_EQ(canvas.height(), 540 * 1000.0 / 1920);
    EXPECT_TRUE(canvas.contains(view.container(widgets.last())->geometry()));
}

TEST_F(DashboardViewTest, DraggedWidgetsOutlineTheTargetAndSwapWhenDropped) {
    Dashboard& view = showOverview();
    const QList<WidgetKind> widgets = store->preferences().widgets(Board::overview);
    WidgetContainer* target = view.container(widgets[2]);
    EXPECT_TRUE(dragEnter(target, "tarn-widget:" + widgets[0].rawValue()));
    EXPECT_TRUE(target->isTargeted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(target, &leave);
    EXPECT_FALSE(target->isTargeted());
    EXPECT_FALSE(dragEnter(target, "just some text"));
    EXPECT_FALSE(target->isTargeted());

    drop(target, "tarn-widget:" + widgets[0].rawValue());
    EXPECT_FALSE(target->isTargeted());
    EXPECT_TRUE(waitUntil(
            [&] { return store->preferences().widgets(Board::overview).first() == widgets[2]; }));
    EXPECT_EQ(store->preferences().widgets(Board::overview)[2], widgets[0]);
}

TEST_F(DashboardViewTest, MoveActionsSwapWithTheNeighbour) {
    Dashboard& view = showOverview();
    const QList<WidgetKind> widgets = store->preferences().widgets(Board::overview);
    WidgetContainer* first = view.container(widgets[0]);
    ASSERT_EQ(first->actions().size(), 2);
    EXPECT_EQ(first->actions()[0]->text(), "Move left");
    first->actions()[0]->trigger(); // at the start: nothing
    EXPECT_EQ(store->preferences().widgets(Board::overview), widgets);
    first->actions()[1]->trigger();
    EXPECT_EQ(store->preferences().widgets(Board::overview)[1], widgets[0]);
}

TEST(MissingWidgetPlaceholder, ReadsWholeAtEverySectionSizeTheEditorAllows) {
    const QString package = "com.example.a-rather-long-package-name";
    // The corners of the layout editor's sizes, landscape and portrait, and a sixth of the page.
    for (const QSizeF tile : {QSizeF(175, 158), QSizeF(175, 502), QSizeF(1878, 158),
                              QSizeF(1878, 502), QSizeF(156, 175), QSizeF(156, 1882),
                              QSizeF(498, 175), QSizeF(498, 1882), QSizeF(301, 502)}) {
        const auto layout = MissingWidgetPlaceholder::layout(tile, package);
        ASSERT_FALSE(layout.lines.isEmpty());
        EXPECT_EQ(layout.lines[0].text, "Widget unavailable");
        QRectF used = layout.symbol;
        for (const auto& line : layout.lines) {
            QFont font;
            font.setPixelSize(qRound(line.size));
            font.setWeight(line.heading ? QFont::DemiBold : QFont::Normal);
            // Each word fits the line, or the line may break inside it (an identity).
            for (const QString& word : line.text.split(' '))
                EXPECT_TRUE(QFontMetricsF(font).horizontalAdvance(word) <= line.frame.width() ||
                            word == package)
                        << word.toStdString() << " at " << tile.width() << "x" << tile.height();
            used = used.united(line.frame);
        }
        EXPECT_TRUE(QRectF(QPointF(), tile).contains(used)) << tile.width() << "x" << tile.height();
    }
    // A sixth of the page has room for all of it: what to do names the Layouts tab.
    const auto roomy = MissingWidgetPlaceholder::layout(QSizeF(301, 502), package);
    EXPECT_FALSE(roomy.symbol.isEmpty());
    ASSERT_EQ(roomy.lines.size(), 3);
    EXPECT_EQ(roomy.lines[2].text, "Install the package or replace it in Layouts.");
}

TEST_F(DashboardViewTest, PageIndicatorStaysTwoSecondsAfterTheLastPageChange) {
    Dashboard& view = showOverview();
    DashboardOverlay* overlay = view.overlay();
    EXPECT_EQ(overlay->indicatorOpacity(), 0);
    view.setPageIndicatorRevision(1);
    EXPECT_TRUE(waitUntil([&] { return overlay->indicatorOpacity() == 1; }));
    tasks->advance(1.5);
    EXPECT_EQ(overlay->indicatorOpacity(), 1);
    view.setPageIndicatorRevision(2); // a second change restarts the wait
    tasks->advance(2.1);
    spin(100);
    EXPECT_EQ(overlay->indicatorOpacity(), 1);
    tasks->advance(0.1);
    EXPECT_TRUE(waitUntil([&] { return overlay->indicatorOpacity() == 0; }));
    view.setPageIndicatorRevision(2); // no change, no flash
    tasks->advance(1);
    spin(200);
    EXPECT_EQ(overlay->indicatorOpacity(), 0);
}

TEST_F(DashboardViewTest, ToastFollowsTheStore) {
    Dashboard& view = showOverview();
    store->notify("Saved elsewhere");
    EXPECT_EQ(view.overlay()->toast(), QString("Saved elsewhere"));
}

} // namespace
