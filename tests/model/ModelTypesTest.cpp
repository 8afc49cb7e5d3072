#include "model/Board.h"
#include "model/CPUReading.h"
#include "model/JsonCoding.h"
#include "model/LauncherConfiguration.h"
#include "model/LayoutOrientation.h"
#include "model/LogText.h"
#include "model/Palette.h"
#include "model/Shortcut.h"
#include "model/WidgetKind.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QJsonObject object(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

QStringList raws(const QList<WidgetKind>& kinds) {
    QStringList list;
    for (const auto& kind : kinds)
        list.append(kind.rawValue());
    return list;
}

} // namespace

TEST(LogText, LongLinesAreCutOnceAndNothingDrivesTheTerminal) {
    EXPECT_EQ(LogText::cut("short"), "short");
    const QString flood(400'000, 'C');
    const QString cut = LogText::cut(flood);
    EXPECT_LE(cut.size(), LogText::lineLimit);
    EXPECT_TRUE(cut.startsWith("CCCC"));
    EXPECT_TRUE(cut.endsWith(QString::fromUtf8(" … (cut, 400000 characters in all)")));
    EXPECT_EQ(LogText::cut(cut), cut);
    // A character outside the basic plane is kept whole or not at all.
    QString faces = "x";
    while (faces.size() <= LogText::lineLimit)
        faces += QString::fromUtf8("😀");
    EXPECT_TRUE(LogText::cut(faces).isValidUtf16());

    // An OSC 52 sequence would set the clipboard; a newline would forge a line.
    EXPECT_EQ(LogText::escapeControls(QString::fromUtf8("A\x1b]52;c;aGk=\x07\nok\tB\r\x7f"
                                                        "\u0085\u009b\u2028\u202e")),
              "A\\x1b]52;c;aGk=\\x07\\nok\\tB\\r\\x7f\\x85\\x9b\\u2028\\u202e");
    EXPECT_EQ(LogText::escapeControls(QString::fromUtf8("Café 日本 😀 \\")),
              QString::fromUtf8("Café 日本 😀 \\"));
    EXPECT_EQ(LogText::entry("  first\nsecond\x1b[2J\n"), "first\n    second\\x1b[2J");
}

TEST(Board, RawValuesAreTitlesInPageOrder) {
    QStringList titles;
    for (Board board : allBoards)
        titles.append(rawValue(board));
    EXPECT_EQ(titles, QStringList({"Overview", "Focus", "System", "Page 4", "Page 5", "Page 6",
                                   "Page 7", "Page 8"}));
    for (Board board : allBoards)
        EXPECT_EQ(boardNamed(rawValue(board)), board);
    EXPECT_EQ(pageNumber(Board::page8), 8);
    EXPECT_FALSE(boardNamed("Page 9"));
    EXPECT_FALSE(boardNamed("overview"));
}

TEST(EnumerationRawValues, OnlyTheTableNamesRead) {
    EXPECT_EQ(orientationNamed("vertical"), LayoutOrientation::vertical);
    EXPECT_FALSE(orientationNamed("Vertical"));
    EXPECT_DOUBLE_EQ(aspectRatio(LayoutOrientation::horizontal), 1920.0 / 540.0);
    EXPECT_DOUBLE_EQ(aspectRatio(LayoutOrientation::vertical), 540.0 / 1920.0);
    EXPECT_EQ(paletteNamed("Amber"), Palette::amber);
    EXPECT_FALSE(paletteNamed("amber"));
    EXPECT_EQ(accentHex(Palette::ice), "#99c9ff");
}

TEST(WidgetKind, AnyNonEmptyTextIsAKind) {
    EXPECT_FALSE(WidgetKind::named(""));
    ASSERT_TRUE(WidgetKind::named("@"));
    EXPECT_EQ(WidgetKind::named("@")->packageID(), "");
    EXPECT_EQ(WidgetKind::named("notes")->packageID(), "notes");
    EXPECT_EQ(WidgetKind::named("project@a@b")->packageID(), "project");
}

TEST(WidgetKind, InstanceAppendsAnUpperCaseUuid) {
    const WidgetKind first = WidgetKind::instance("notes");
    const WidgetKind second = WidgetKind::instance("notes");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.packageID(), "notes");
    EXPECT_EQ(first.rawValue().size(), QString("notes@").size() + 36);
    static const QRegularExpression uuid(
            "^notes@[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    EXPECT_TRUE(uuid.match(first.rawValue()).hasMatch()) << first.rawValue().toStdString();
}

TEST(WidgetKind, DefaultsPerBoard) {
    EXPECT_EQ(raws(WidgetKind::defaults(Board::overview)),
              QStringList({"today", "pulse", "timer", "shortcuts"}));
    EXPECT_EQ(raws(WidgetKind::defaults(Board::focus)),
              QStringList({"today", "timer", "notes", "shortcuts"}));
    EXPECT_EQ(raws(WidgetKind::defaults(Board::system)),
              QStringList({"pulse", "network", "machine"}));
    EXPECT_TRUE(WidgetKind::defaults(Board::page4).isEmpty());
}

TEST(WidgetKind, JsonIsABareNonEmptyString) {
    EXPECT_EQ(WidgetKind::fromJson(QJsonValue("cpu@x"), "k").rawValue(), "cpu@x");
    EXPECT_THROW(WidgetKind::fromJson(QJsonValue(""), "k"), DecodingError);
    EXPECT_THROW(WidgetKind::fromJson(QJsonValue(3), "k"), DecodingError);
}

TEST(Shortcut, StandardListInOrderWithFreshIds) {
    const QList<Shortcut> standard = Shortcut::standard();
    ASSERT_EQ(standard.size(), 6);
    QStringList names;
    for (const Shortcut& s : standard) {
        names.append(s.name);
        EXPECT_FALSE(s.id.isNull());
        EXPECT_FALSE(s.path);
    }
    EXPECT_EQ(names, QStringList({"Finder", "Safari", "Music", "Notes", "Terminal", "Settings"}));
    EXPECT_EQ(standard[5].bundleID, "com.apple.systempreferences");
    EXPECT_EQ(standard[5].symbol, "slider.horizontal.3");
    EXPECT_NE(standard[0].id, Shortcut::standard()[0].id);
}

TEST(Shortcut, JsonRoundTripAndRequiredKeys) {
    Shortcut shortcut = Shortcut::make("Files", "org.gnome.Nautilus", "folder");
    EXPECT_FALSE(shortcut.toJson().contains("path"));
    shortcut.path = "/usr/bin/nautilus";
    const QJsonObject json = shortcut.toJson();
    EXPECT_EQ(json.value("id").toString(), Json::uuidText(shortcut.id));
    EXPECT_EQ(json.value("id").toString(), json.value("id").toString().toUpper());
    EXPECT_EQ(Shortcut::fromJson(json), shortcut);

    EXPECT_THROW(Shortcut::fromJson(object(R"({"name":"a","bundleID":"b","symbol":"c"})")),
                 DecodingError);
    EXPECT_THROW(Shortcut::fromJson(
                         object(R"({"id":"not-a-uuid","name":"a","bundleID":"b","symbol":"c"})")),
                 DecodingError);
    EXPECT_THROW(Shortcut::fromJson(object(R"({"id":"{6F9619FF-8B86-D011-B42D-00CF4FC964FF}",
                                               "name":"a","bundleID":"b","symbol":"c"})")),
                 DecodingError);
    const Shortcut lower = Shortcut::fromJson(object(
            R"({"id":"6f9619ff-8b86-d011-b42d-00cf4fc964ff","name":"a","bundleID":"b","symbol":"c"})"));
    EXPECT_EQ(Json::uuidText(lower.id), "6F9619FF-8B86-D011-B42D-00CF4FC964FF");
}

TEST(LauncherConfiguration, BothKeysAreRequired) {
    EXPECT_EQ(LauncherConfiguration::fromJson(object(R"({"application":"custom","path":"/x"})")),
              (LauncherConfiguration{"custom", "/x"}));
    EXPECT_THROW(LauncherConfiguration::fromJson(object(R"({"application":"custom"})")),
                 DecodingError);
    EXPECT_THROW(LauncherConfiguration::fromJson(object(R"({"path":""})")), DecodingError);
}

TEST(CPUReading, Utilization) {
    const CPUReading start{100, 50, 800, 50};
    EXPECT_FALSE(CPUReading::utilization(start, start));
    EXPECT_EQ(CPUReading::utilization(start, {110, 60, 800, 50}), 100.0);
    EXPECT_DOUBLE_EQ(*CPUReading::utilization(start, {130, 60, 850, 60}), 50.0);
    // Any counter going backwards means the counters were reset.
    EXPECT_FALSE(CPUReading::utilization(start, {200, 60, 799, 60}));
    EXPECT_DOUBLE_EQ(*CPUReading::utilization(start, {100, 50, 900, 50}), 0.0);
    // Counters near the top of their range do not overflow the arithmetic.
    const quint64 high = std::numeric_limits<quint64>::max() - 10;
    EXPECT_DOUBLE_EQ(*CPUReading::utilization({high, 0, 0, 0}, {high + 5, 0, 5, 0}), 50.0);
}

TEST(FastCompactJson, ValidSortedAndRoundTrips) {
    const QJsonObject value{{"z", QJsonArray{1.5, 1e-7, 12345678901234.0, -0.0001, 3.0e21}},
                            {"a", QString::fromUtf8("quote\" back\\ line\n tab\t \x01 é ✓ /")},
                            {"m", QJsonObject{{"t", true}, {"n", QJsonValue::Null}}}};
    const QByteArray written = Json::fastCompact(value);
    EXPECT_TRUE(written.startsWith("{\"a\":"));
    EXPECT_FALSE(written.contains(' ') && written.contains(": "));
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(written, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << written.toStdString();
    EXPECT_EQ(parsed.object(), value);
    EXPECT_TRUE(written.contains("12345678901234,"));
    EXPECT_EQ(Json::fastCompact(QJsonArray{qQNaN()}), "[null]");
}
