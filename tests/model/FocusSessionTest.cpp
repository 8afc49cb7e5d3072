#include "model/FocusSession.h"

#include "model/JsonCoding.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

const QDateTime start(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

QDateTime after(double seconds) {
    return start.addMSecs(qint64(seconds * 1000));
}

} // namespace

TEST(FocusSession, PauseRoundsTheTimeLeftUp) {
    FocusSession session = FocusSession::fresh(1500);
    session.start(start);
    EXPECT_EQ(*session.endsAt, after(1500));
    session.pause(after(600.2));
    EXPECT_EQ(session.remaining, 900);
    EXPECT_FALSE(session.isRunning());
    EXPECT_FALSE(session.completed);
    session.start(after(1000));
    EXPECT_EQ(*session.endsAt, after(1900));
    // Pausing again without a start does nothing.
    FocusSession paused = FocusSession::fresh(60);
    paused.pause(after(5));
    EXPECT_EQ(paused, FocusSession::fresh(60));
}

TEST(FocusSession, SecondsLeftStaysWithinTheDuration) {
    FocusSession session = FocusSession::fresh(300);
    EXPECT_EQ(session.secondsLeft(start), 300);
    session.endsAt = after(10000); // the clock was set back
    EXPECT_EQ(session.secondsLeft(start), 300);
    EXPECT_EQ(session.secondsLeft(after(9999.5)), 1);
    EXPECT_EQ(session.secondsLeft(after(20000)), 0);
}

TEST(FocusSession, CompletionAndRestart) {
    FocusSession session = FocusSession::fresh(60);
    session.start(start);
    EXPECT_FALSE(session.tick(after(59.9)));
    EXPECT_TRUE(session.isRunning());
    EXPECT_TRUE(session.tick(after(60)));
    EXPECT_EQ(session, (FocusSession{60, 0, std::nullopt, true}));
    EXPECT_FALSE(session.tick(after(61)));
    // Starting a completed timer runs a full new interval.
    session.start(after(100));
    EXPECT_FALSE(session.completed);
    EXPECT_EQ(*session.endsAt, after(160));

    // Pausing exactly at the end counts as completed.
    FocusSession exact = FocusSession::fresh(60);
    exact.start(start);
    exact.pause(after(60));
    EXPECT_TRUE(exact.completed);
    EXPECT_EQ(exact.remaining, 0);
}

TEST(FocusSessionJson, KeysInOrderAndDatesSinceTwoThousandOne) {
    FocusSession session{1500, 1200, QDateTime(QDate(2001, 1, 1), QTime(0, 1), Qt::UTC), false};
    EXPECT_EQ(session.toJson(),
              QByteArray(R"({"duration":1500,"remaining":1200,"endsAt":60,"completed":false})"));
    EXPECT_EQ(FocusSession::fromJson(QJsonDocument::fromJson(session.toJson()).object()), session);
    session.endsAt.reset();
    EXPECT_EQ(session.toJson(),
              QByteArray(R"({"duration":1500,"remaining":1200,"completed":false})"));

    const QDateTime precise(QDate(2026, 12, 7), QTime(9, 30, 15, 250), Qt::UTC);
    EXPECT_EQ(dateFromReferenceSeconds(referenceSeconds(precise)), precise);
    EXPECT_DOUBLE_EQ(referenceSeconds(QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC)),
                     -978307200);
}

TEST(FocusSessionJson, RequiredKeysAndCopies) {
    const auto decode = [](const char* text) {
        return FocusSession::fromJson(QJsonDocument::fromJson(text).object());
    };
    EXPECT_EQ(decode(R"({"duration":60,"remaining":30,"completed":true,"endsAt":null})"),
              (FocusSession{60, 30, std::nullopt, true}));
    EXPECT_THROW(decode(R"({"duration":60,"remaining":30})"), DecodingError);
    EXPECT_THROW(decode(R"({"duration":"60","remaining":30,"completed":false})"), DecodingError);
    EXPECT_THROW(decode(R"({"duration":60,"remaining":30,"completed":false,"endsAt":"x"})"),
                 DecodingError);

    const FocusCopies copies{{"timer@A", FocusSession::fresh(600)},
                             {"timer@B", FocusSession{60, 0, std::nullopt, true}}};
    EXPECT_EQ(focusCopiesFromJson(focusCopiesToJson(copies)), copies);
    EXPECT_EQ(focusCopiesToJson({}), "{}");
    EXPECT_THROW(focusCopiesFromJson(R"({"timer@A": 5})"), DecodingError);
    EXPECT_THROW(focusCopiesFromJson("[]"), DecodingError);
}
