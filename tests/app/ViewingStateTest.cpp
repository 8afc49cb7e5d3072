#include "desktop/ViewingState.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FakeSource : public ViewingSource {
public:
    explicit FakeSource(const QString& name) : ViewingSource(name) {}
    using ViewingSource::setHides;
    void wake() override { ++wakes; }
    int wakes = 0;
};

} // namespace

TEST(ViewingState, AnySourceThatHidesMeansNobodyLooks) {
    ViewingState viewing;
    FakeSource saver("saver");
    FakeSource lock("lock");
    QSignalSpy changes(&viewing, &ViewingState::someoneLooksChanged);
    viewing.addSource(&saver);
    viewing.addSource(&lock);
    EXPECT_TRUE(viewing.someoneLooks());
    EXPECT_EQ(changes.count(), 0);

    saver.setHides(true);
    lock.setHides(true);
    EXPECT_FALSE(viewing.someoneLooks());
    EXPECT_EQ(viewing.hiddenBy(), QStringList({"saver", "lock"}));
    saver.setHides(false);
    EXPECT_FALSE(viewing.someoneLooks()); // still locked
    lock.setHides(false);
    EXPECT_TRUE(viewing.someoneLooks());
    // One change each way, however many sources took part.
    ASSERT_EQ(changes.count(), 2);
    EXPECT_FALSE(changes.at(0).at(0).toBool());
    EXPECT_TRUE(changes.at(1).at(0).toBool());

    // A touch wakes only what hides the dashboard.
    lock.setHides(true);
    viewing.wake();
    EXPECT_EQ(saver.wakes, 0);
    EXPECT_EQ(lock.wakes, 1);
}

TEST(ViewingState, ASourceThatHidesFromTheStartOrGoesAwayCounts) {
    ViewingState viewing;
    auto* window = new FakeSource("window");
    window->setHides(true);
    viewing.addSource(window);
    EXPECT_FALSE(viewing.someoneLooks());
    EXPECT_EQ(viewing.hiddenBy(), QStringList({"window"}));

    // A source that is gone no longer hides anything.
    QSignalSpy changes(&viewing, &ViewingState::someoneLooksChanged);
    delete window;
    ASSERT_TRUE(changes.wait(1000));
    EXPECT_TRUE(viewing.someoneLooks());
    EXPECT_TRUE(viewing.hiddenBy().isEmpty());
}
