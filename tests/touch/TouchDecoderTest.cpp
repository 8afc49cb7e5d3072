#include "touch/TouchDecoder.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

using Phase = TouchSample::Phase;

QByteArray report(bool contact, int x, int y, quint8 id = 7) {
    return QByteArray::fromStdString(std::string{char(id), char(contact ? 0x01 : 0x00),
                                                 char(x & 0xFF), char((x >> 8) & 0xFF),
                                                 char(y & 0xFF), char((y >> 8) & 0xFF), char(0)});
}

TouchSample sample(Phase phase, double x, double y) {
    return TouchSample{phase, QPointF(x, y)};
}

} // namespace

TEST(TouchDecoder, ContactLifecycle) {
    TouchDecoder decoder;
    EXPECT_EQ(decoder.decode(7, report(true, 0, 0)), sample(Phase::began, 0, 0));
    // The same position again is suppressed.
    EXPECT_EQ(decoder.decode(7, report(true, 0, 0)), std::nullopt);
    EXPECT_EQ(decoder.decode(7, report(true, 1, 0)), sample(Phase::moved, 1 / 16383.0, 0));
    EXPECT_EQ(decoder.decode(7, report(true, 1, 1)), sample(Phase::moved, 1 / 16383.0, 1 / 9599.0));
    // Lifting reports the last position, whatever the lift report carries.
    EXPECT_EQ(decoder.decode(7, report(false, 5000, 5000)),
              sample(Phase::ended, 1 / 16383.0, 1 / 9599.0));
    EXPECT_EQ(decoder.decode(7, report(false, 0, 0)), std::nullopt);
    EXPECT_EQ(decoder.decode(7, report(true, 1, 1)), sample(Phase::began, 1 / 16383.0, 1 / 9599.0));
}

TEST(TouchDecoder, CoordinateLimits) {
    TouchDecoder decoder;
    EXPECT_EQ(decoder.decode(7, report(true, 16383, 9599)), sample(Phase::began, 1.0, 1.0));
    // X high byte 0x40 and Y of 9600 are out of range and change nothing.
    EXPECT_EQ(decoder.decode(7, report(true, 0x4000, 0)), std::nullopt);
    EXPECT_EQ(decoder.decode(7, report(true, 0, 9600)), std::nullopt);
    EXPECT_EQ(decoder.decode(7, report(true, 0, 0xFFFF)), std::nullopt);
    EXPECT_EQ(decoder.previous(), QPointF(1.0, 1.0));
    EXPECT_EQ(decoder.decode(7, report(true, 8192, 4800)),
              sample(Phase::moved, 8192 / 16383.0, 4800 / 9599.0));
}

TEST(TouchDecoder, ReportsItDoesNotUseLeaveTheStateAlone) {
    TouchDecoder decoder;
    ASSERT_TRUE(decoder.decode(7, report(true, 100, 100)));
    const QByteArray lift = report(false, 0, 0);
    EXPECT_EQ(decoder.decode(7, lift.left(6)), std::nullopt);
    EXPECT_EQ(decoder.decode(8, lift), std::nullopt);
    EXPECT_EQ(decoder.decode(7, report(false, 0, 0, 8)), std::nullopt);
    EXPECT_EQ(decoder.decode(7, QByteArray()), std::nullopt);
    EXPECT_TRUE(decoder.previous());
    // Longer reports are fine; the extra bytes are ignored.
    EXPECT_EQ(decoder.decode(7, lift + QByteArray(57, '\xff')),
              sample(Phase::ended, 100 / 16383.0, 100 / 9599.0));
}

TEST(TouchDecoder, OtherBitsOfTheContactByteAreIgnored) {
    TouchDecoder decoder;
    QByteArray down = report(true, 10, 10);
    down[1] = char(0xFF);
    EXPECT_EQ(decoder.decode(7, down)->phase, Phase::began);
    QByteArray up = report(false, 10, 10);
    up[1] = char(0xFE);
    EXPECT_EQ(decoder.decode(7, up)->phase, Phase::ended);
}

TEST(TouchDecoder, ResetDropsTheContactWithoutAnEnd) {
    TouchDecoder decoder;
    ASSERT_TRUE(decoder.decode(7, report(true, 100, 100)));
    decoder.reset();
    EXPECT_EQ(decoder.decode(7, report(false, 0, 0)), std::nullopt);
    EXPECT_EQ(decoder.decode(7, report(true, 100, 100))->phase, Phase::began);
}

TEST(TouchDecoder, ArbitraryBytesKeepTheSampleSequenceWellFormed) {
    QRandomGenerator random(20261207);
    TouchDecoder decoder;
    bool down = false;
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(int(random.bounded(12)), Qt::Uninitialized);
        for (auto& byte : bytes)
            byte = char(random.bounded(256));
        // Most reports should at least have the right ID, or nothing is exercised.
        if (!bytes.isEmpty() && random.bounded(4) != 0)
            bytes[0] = 7;
        const auto result = decoder.decode(random.bounded(4) ? 7 : random.generate(), bytes);
        if (!result)
            continue;
        EXPECT_GE(result->normalized.x(), 0.0);
        EXPECT_LE(result->normalized.x(), 1.0);
        EXPECT_GE(result->normalized.y(), 0.0);
        EXPECT_LE(result->normalized.y(), 1.0);
        EXPECT_EQ(result->phase == Phase::began, !down) << "began only while lifted";
        down = result->phase != Phase::ended;
    }
}
