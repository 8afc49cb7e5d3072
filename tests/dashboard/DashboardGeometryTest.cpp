#include "dashboard/DashboardGeometry.h"

#include "dashboard/KeptPages.h"

#include <gtest/gtest.h>

namespace {

const QSizeF horizontal = canvasSize(LayoutOrientation::horizontal);

WidgetSection section(double x, double y, double width, double height) {
    return WidgetSection{"s", std::nullopt, x, y, width, height};
}

TEST(DashboardGeometry, CanvasIsScaledIntoTheWindowAndCentred) {
    EXPECT_DOUBLE_EQ(DashboardGeometry::scale({960, 270}, horizontal), 0.5);
    EXPECT_EQ(DashboardGeometry::canvasFrame({960, 270}, horizontal), QRectF(0, 0, 960, 270));

    // A square window: the width decides, with empty bands above and below.
    const double scale = 1000.0 / 1920;
    EXPECT_DOUBLE_EQ(DashboardGeometry::scale({1000, 1000}, horizontal), scale);
    const QRectF frame = DashboardGeometry::canvasFrame({1000, 1000}, horizontal);
    EXPECT_DOUBLE_EQ(frame.width(), 1000);
    EXPECT_DOUBLE_EQ(frame.height(), 540 * scale);
    EXPECT_DOUBLE_EQ(frame.top(), (1000 - 540 * scale) / 2);

    const QSizeF vertical = canvasSize(LayoutOrientation::vertical);
    EXPECT_DOUBLE_EQ(DashboardGeometry::scale({1000, 1000}, vertical), 1000.0 / 1920);
    EXPECT_DOUBLE_EQ(DashboardGeometry::scale({0, 0}, horizontal), 0);
}

TEST(DashboardGeometry, SectionsSitInThePageAreaWithFourteenPointsBetween) {
    EXPECT_EQ(DashboardGeometry::pageArea(horizontal), QRectF(14, 12, 1892, 516));
    const QRectF whole = DashboardGeometry::sectionFrame(section(0, 0, 1, 1), horizontal);
    EXPECT_DOUBLE_EQ(whole.width(), 1878);
    EXPECT_DOUBLE_EQ(whole.height(), 502);
    EXPECT_EQ(whole.topLeft(), QPointF(21, 19));

    const QRectF left = DashboardGeometry::sectionFrame(section(0, 0, 0.5, 1), horizontal);
    const QRectF right = DashboardGeometry::sectionFrame(section(0.5, 0, 0.5, 1), horizontal);
    EXPECT_DOUBLE_EQ(right.left() - left.right(), 14);
}

} // namespace

TEST(KeptPages, TheShownPageItsNeighboursAndTheRecentOnesWithinTheBudget) {
    const QList<Board> pages = {Board::overview, Board::focus, Board::system, Board::page4,
                                Board::page5};
    const auto eight = [](Board) { return 8; };
    // Within the budget, the next page comes before the previous one, then the recent ones.
    EXPECT_EQ(KeptPages::choose(pages, Board::system, {Board::page5, Board::overview}, eight, 24),
              (QList<Board>{Board::system, Board::page4, Board::focus}));
    EXPECT_EQ(KeptPages::choose(pages, Board::system, {Board::page5}, eight, 32),
              (QList<Board>{Board::system, Board::page4, Board::focus, Board::page5}));
    // At the ends there is one neighbour; a page too large for what is left is passed over for
    // a smaller one; the page shown stays whatever it holds.
    const auto sizes = [](Board board) { return board == Board::focus ? 20 : 2; };
    EXPECT_EQ(KeptPages::choose(pages, Board::overview, {Board::page5}, sizes, 16),
              (QList<Board>{Board::overview, Board::page5}));
    EXPECT_EQ(KeptPages::choose(pages, Board::focus, {Board::overview}, sizes, 16),
              (QList<Board>{Board::focus}));
    // A recent page that was deleted is not kept.
    EXPECT_EQ(KeptPages::choose({Board::overview}, Board::overview, {Board::page8}, eight),
              QList<Board>{Board::overview});
}
