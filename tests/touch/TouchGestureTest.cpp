#include "touch/TouchGesture.h"

#include <gtest/gtest.h>

namespace {

using Outcome = TouchGesture::Outcome;

// A straight stroke from `from` by (dx, dy), lasting `seconds`.
Outcome stroke(QPointF from, double dx, double dy, double seconds) {
    TouchGesture gesture = TouchGesture::began(from, 100.0);
    gesture.moveTo(from + QPointF(dx, dy));
    return gesture.outcome(100.0 + seconds);
}

} // namespace

TEST(TouchGesture, Bookkeeping) {
    TouchGesture gesture = TouchGesture::began(QPointF(10, 10), 5);
    EXPECT_EQ(gesture.last, QPointF(10, 10));
    EXPECT_EQ(gesture.maxDistance, 0);
    gesture.moveTo(QPointF(13, 14));
    EXPECT_DOUBLE_EQ(gesture.maxDistance, 5);
    gesture.moveTo(QPointF(11, 10));
    EXPECT_DOUBLE_EQ(gesture.maxDistance, 5); // never decreases
    EXPECT_EQ(gesture.last, QPointF(11, 10));
}

TEST(TouchGesture, TopEdgeSwipe) {
    EXPECT_EQ(stroke({300, 54}, 50, 86, 1.9), Outcome::edgeSwipe);
    // From 55 points down it is no edge swipe; this one is nothing else either.
    EXPECT_EQ(stroke({300, 55}, 50, 86, 1.9), Outcome::none);
    EXPECT_EQ(stroke({300, 10}, 0, 85, 0.5), Outcome::none);
    EXPECT_EQ(stroke({300, 10}, 0, 86, 2.0), Outcome::none);
    // Not steep enough: 1.5 * 60 = 90 is not below 86.
    EXPECT_EQ(stroke({300, 10}, 60, 86, 0.5), Outcome::none);
}

TEST(TouchGesture, HorizontalSwipes) {
    EXPECT_EQ(stroke({500, 300}, -85, 56, 1.0), Outcome::swipeLeft);
    EXPECT_EQ(stroke({500, 300}, 85, -56, 1.0), Outcome::swipeRight);
    EXPECT_EQ(stroke({500, 300}, -85, 57, 1.0), Outcome::none);
    // A short fast flick.
    EXPECT_EQ(stroke({500, 300}, 40, 0, 0.1), Outcome::swipeRight);
    EXPECT_EQ(stroke({500, 300}, 39, 0, 0.01), Outcome::none);
    EXPECT_EQ(stroke({500, 300}, 40, 0, 0.2), Outcome::none); // 200 points per second
    EXPECT_EQ(stroke({500, 300}, -300, 0, 2.0), Outcome::none);
    EXPECT_EQ(stroke({500, 300}, -300, 0, 1.99), Outcome::swipeLeft);
    // A stroke that ends before it began (clock steps) is still measured sanely.
    EXPECT_EQ(stroke({500, 300}, 40, 0, -1), Outcome::swipeRight);
}

TEST(TouchGesture, Taps) {
    EXPECT_EQ(stroke({500, 300}, 3, 3, 1.49), Outcome::tap);
    EXPECT_EQ(stroke({500, 300}, 3, 3, 1.5), Outcome::none);
    EXPECT_EQ(stroke({500, 300}, 18, 0, 0.2), Outcome::tap);
    EXPECT_EQ(stroke({500, 300}, 0, 18.5, 0.2), Outcome::none);

    // Wandering away and back is no tap.
    TouchGesture wander = TouchGesture::began(QPointF(500, 300), 0);
    wander.moveTo(QPointF(500, 330));
    wander.moveTo(QPointF(500, 301));
    EXPECT_EQ(wander.outcome(0.3), Outcome::none);
}

TEST(TouchGesture, EdgeSwipeWinsOverTap) {
    // A top-edge stroke is tested before anything else.
    TouchGesture gesture = TouchGesture::began(QPointF(200, 0), 0);
    gesture.moveTo(QPointF(200, 90));
    EXPECT_EQ(gesture.outcome(0.1), Outcome::edgeSwipe);
}
