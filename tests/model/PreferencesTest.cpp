#include "model/Preferences.h"

#include "model/JsonCoding.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

WidgetKind kind(const char* raw) {
    return *WidgetKind::named(QString::fromUtf8(raw));
}

QStringList raws(const QList<WidgetKind>& kinds) {
    QStringList list;
    for (const auto& k : kinds)
        list.append(k.rawValue());
    return list;
}

Preferences read(const char* json) {
    return Preferences::fromJson(QByteArray(json));
}

const char* const fullDocument = R"({
  "launchers": {"shortcuts@A": {"application": "custom", "path": "~/Apps/Editor.app"}},
  "orientation": "vertical",
  "primaryAccent": "#112233",
  "customAccent": "#AbCdEf",
  "palette": "Ice",
  "board": "Page 4",
  "pageCount": 5,
  "directTouch": false,
  "showSeconds": true,
  "focusMinutes": 50,
  "note": "Buy milk\nand \"bread\" ✓",
  "displayID": 4294967295,
  "shortcuts": [
    {"id": "6F9619FF-8B86-D011-B42D-00CF4FC964FF", "name": "Files", "bundleID": "org.gnome.Nautilus",
     "symbol": "folder", "path": "/usr/share/applications/org.gnome.Nautilus.desktop"},
    {"id": "00000000-0000-0000-0000-000000000000", "name": "Web", "bundleID": "firefox", "symbol": "safari"}
  ],
  "widgetOrders": {"Page 5": ["notes", "timer"], "Page 6": []},
  "widgetStorage": {"counter@1": {"count": "3", "label": ""}},
  "pageLayouts": {
    "Overview": {"sections": [
      {"id": "a", "widget": "cpu", "x": 0, "y": 0, "width": 0.5, "height": 1},
      {"id": "b", "x": 0.5, "y": 0, "width": 0.5, "height": 1}]}
  },
  "musicPlayer": "org.mpris.MediaPlayer2.vlc",
  "someFutureKey": {"ignored": true}
})";

} // namespace

TEST(PreferencesReading, EmptyDocumentGivesDefaults) {
    const Preferences p = read("{}");
    const Preferences defaults;
    EXPECT_EQ(p.pageCount, 3);
    EXPECT_EQ(p.board, Board::overview);
    EXPECT_EQ(p.orientation, LayoutOrientation::horizontal);
    EXPECT_EQ(p.palette, Palette::mint);
    EXPECT_TRUE(p.directTouch);
    EXPECT_FALSE(p.showSeconds);
    EXPECT_EQ(p.focusMinutes, 25);
    EXPECT_FALSE(p.primaryAccent || p.customAccent || p.displayID);
    ASSERT_EQ(p.shortcuts.size(), 6);
    EXPECT_EQ(p.shortcuts[0].name, "Finder");
    EXPECT_EQ(p.shortcuts[5].name, "Settings");
    EXPECT_TRUE(p.launchers.isEmpty() && p.widgetOrders.isEmpty() && p.widgetStorage.isEmpty() &&
                p.pageLayouts.isEmpty());
    // Apart from the random shortcut ids, the same as a new record.
    Preferences comparable = p;
    comparable.shortcuts = defaults.shortcuts;
    EXPECT_EQ(comparable, defaults);
}

TEST(PreferencesReading, PageCountIsClampedAndBoardMustBeAmongThePages) {
    EXPECT_EQ(read(R"({"pageCount": 0})").pageCount, 1);
    EXPECT_EQ(read(R"({"pageCount": -4})").pageCount, 1);
    EXPECT_EQ(read(R"({"pageCount": 12})").pageCount, 8);
    EXPECT_EQ(read(R"({"pageCount": 1e15})").pageCount, 8);
    EXPECT_EQ(read(R"({"pageCount": 4.0})").pageCount, 4);
    EXPECT_EQ(read(R"({"board": "Page 5", "pageCount": 3})").board, Board::overview);
    EXPECT_EQ(read(R"({"board": "Page 5"})").board, Board::overview);
    EXPECT_EQ(read(R"({"board": "Page 5", "pageCount": 5})").board, Board::page5);
    // The board is checked after the clamp, whatever the key order.
    EXPECT_EQ(read(R"({"pageCount": 20, "board": "Page 8"})").board, Board::page8);
    EXPECT_EQ(read(R"({"board": "System", "pageCount": 0})").board, Board::overview);
}

TEST(PreferencesReading, UnboundedValuesAreTakenAsStored) {
    EXPECT_EQ(read(R"({"focusMinutes": 500})").focusMinutes, 500);
    EXPECT_EQ(read(R"({"focusMinutes": 0})").focusMinutes, 0);
    EXPECT_EQ(read(R"({"primaryAccent": "red"})").primaryAccent, "red");
}

TEST(PreferencesReading, NullCountsAsMissing) {
    const Preferences p = read(R"({"note": null, "pageCount": null, "displayID": null,
                                   "palette": null, "pageLayouts": null})");
    EXPECT_EQ(p.note, "");
    EXPECT_EQ(p.pageCount, 3);
    EXPECT_FALSE(p.displayID);
    EXPECT_EQ(p.palette, Palette::mint);
}

TEST(PreferencesReading, PageLayoutsDegradeWithoutFailingTheRecord) {
    // The wrong type empties the dictionary; every other key is still read.
    Preferences p = read(R"({"pageLayouts": [1, 2], "note": "kept", "pageCount": 4})");
    EXPECT_TRUE(p.pageLayouts.isEmpty());
    EXPECT_EQ(p.note, "kept");
    EXPECT_EQ(p.pageCount, 4);

    // One malformed layout anywhere empties the whole dictionary.
    p = read(R"({"pageLayouts": {
        "Overview": {"sections": [{"id": "a", "x": 0, "y": 0, "width": 1, "height": 1}]},
        "Focus": {"sections": [{"id": "b", "x": 0, "y": 0, "width": 1}]}}})");
    EXPECT_TRUE(p.pageLayouts.isEmpty());

    // Layouts that decode but are invalid are dropped one by one.
    p = read(R"({"pageLayouts": {
        "Overview": {"sections": [{"id": "a", "x": 0, "y": 0, "width": 1, "height": 1}]},
        "Focus": {"sections": [{"id": "b", "x": 0, "y": 0, "width": 0.6, "height": 1},
                               {"id": "c", "x": 0.5, "y": 0, "width": 0.5, "height": 1}]},
        "System": {"sections": []}}})");
    EXPECT_EQ(p.pageLayouts.keys(), QStringList({"Overview"}));
}

TEST(PreferencesReading, AnyOtherWrongValueFailsTheWholeDocument) {
    const char* const documents[] = {
            "",
            "[]",
            "not json",
            R"({"note": "unterminated)",
            R"({"orientation": "diagonal"})",
            R"({"palette": "Red"})",
            R"({"board": "Page 9"})",
            R"({"board": 1})",
            R"({"pageCount": "3"})",
            R"({"pageCount": 2.5})",
            R"({"focusMinutes": true})",
            R"({"directTouch": 1})",
            R"({"showSeconds": "false"})",
            R"({"note": 5})",
            R"({"primaryAccent": 16711680})",
            R"({"displayID": -1})",
            R"({"displayID": 4294967296})",
            R"({"displayID": 1.5})",
            R"({"launchers": []})",
            R"({"launchers": {"x": {"application": "custom"}}})",
            R"({"shortcuts": {}})",
            R"({"shortcuts": [{"id": "x", "name": "a", "bundleID": "b", "symbol": "c"}]})",
            R"({"shortcuts": [{"id": "6F9619FF-8B86-D011-B42D-00CF4FC964FF", "name": "a"}]})",
            R"({"widgetOrders": {"Focus": "notes"}})",
            R"({"widgetOrders": {"Focus": ["notes", ""]}})",
            R"({"widgetStorage": {"w": {"count": 3}}})",
            R"({"widgetStorage": {"w": ["a"]}})",
            R"({"musicPlayer": ["org.mpris.MediaPlayer2.vlc"]})",
    };
    for (const char* document : documents)
        EXPECT_THROW(read(document), DecodingError) << document;
}

TEST(PreferencesReading, FullDocumentReadsEveryKey) {
    const Preferences p = read(fullDocument);
    EXPECT_EQ(p.launchers.value("shortcuts@A"),
              (LauncherConfiguration{"custom", "~/Apps/Editor.app"}));
    EXPECT_EQ(p.orientation, LayoutOrientation::vertical);
    EXPECT_EQ(p.primaryAccent, "#112233");
    EXPECT_EQ(p.customAccent, "#AbCdEf");
    EXPECT_EQ(p.palette, Palette::ice);
    EXPECT_EQ(p.board, Board::page4);
    EXPECT_EQ(p.pageCount, 5);
    EXPECT_FALSE(p.directTouch);
    EXPECT_TRUE(p.showSeconds);
    EXPECT_EQ(p.focusMinutes, 50);
    EXPECT_EQ(p.note, QString::fromUtf8("Buy milk\nand \"bread\" ✓"));
    EXPECT_EQ(p.displayID, 4294967295u);
    ASSERT_EQ(p.shortcuts.size(), 2);
    EXPECT_EQ(p.shortcuts[0].path, "/usr/share/applications/org.gnome.Nautilus.desktop");
    EXPECT_FALSE(p.shortcuts[1].path);
    EXPECT_TRUE(p.shortcuts[1].id.isNull());
    EXPECT_EQ(raws(p.widgetOrders.value("Page 5")), QStringList({"notes", "timer"}));
    EXPECT_EQ(p.widgetStorage.value("counter@1").value("count"), "3");
    ASSERT_TRUE(p.pageLayouts.contains("Overview"));
    EXPECT_FALSE(p.pageLayouts["Overview"].sections[1].widget);
    EXPECT_EQ(p.musicPlayer, "org.mpris.MediaPlayer2.vlc");
}

TEST(PreferencesWriting, RoundTripGivesAnEqualRecord) {
    const Preferences original = read(fullDocument);
    const QByteArray written = original.toJson();
    EXPECT_EQ(Preferences::fromJson(written), original);
    EXPECT_EQ(Preferences::fromJson(written).toJson(), written);

    Preferences defaults;
    EXPECT_EQ(Preferences::fromJson(defaults.toJson()), defaults);
}

TEST(PreferencesWriting, KeysInTableOrderCompactAndOptionalsLeftOut) {
    const QStringList order = {
            "launchers", "orientation",  "primaryAccent", "customAccent", "palette",    "board",
            "pageCount", "directTouch",  "showSeconds",   "focusMinutes", "note",       "displayID",
            "shortcuts", "widgetOrders", "widgetStorage", "pageLayouts",  "musicPlayer"};
    const QByteArray written = read(fullDocument).toJson();
    EXPECT_FALSE(written.contains('\n'));
    EXPECT_FALSE(written.contains("\": "));
    EXPECT_TRUE(written.startsWith("{\"launchers\":{"));
    qsizetype previous = -1;
    for (const QString& key : order) {
        const qsizetype at = written.indexOf("\"" + key.toUtf8() + "\":");
        ASSERT_GT(at, previous) << key.toStdString();
        previous = at;
    }
    EXPECT_FALSE(written.contains("someFutureKey"));

    const QByteArray defaults = Preferences().toJson();
    EXPECT_FALSE(defaults.contains("primaryAccent"));
    EXPECT_FALSE(defaults.contains("customAccent"));
    EXPECT_FALSE(defaults.contains("displayID"));
    EXPECT_FALSE(defaults.contains("musicPlayer"));
    const QJsonObject parsed = QJsonDocument::fromJson(defaults).object();
    EXPECT_EQ(parsed.size(), order.size() - 4);
    EXPECT_EQ(parsed.value("orientation").toString(), "horizontal");
    EXPECT_EQ(parsed.value("board").toString(), "Overview");
    EXPECT_EQ(parsed.value("palette").toString(), "Mint");
}

TEST(PreferencesColours, DerivedColoursFallBackWhenTheTextIsNoColour) {
    Preferences p;
    EXPECT_EQ(p.primaryHex(), "#edf0e6");
    EXPECT_EQ(p.accentHex(), "#adebbf");
    p.palette = Palette::amber;
    p.customAccent = "#12345";
    EXPECT_EQ(p.accentHex(), "#ffc26e");
    p.customAccent = "#aBcDeF";
    EXPECT_EQ(p.accentHex(), "#aBcDeF");
    p.primaryAccent = "#12345g";
    EXPECT_EQ(p.primaryHex(), "#edf0e6");
    p.primaryAccent = "#123456\n";
    EXPECT_EQ(p.primaryHex(), "#edf0e6");
    p.primaryAccent = "#0A0b0C";
    EXPECT_EQ(p.primaryHex(), "#0A0b0C");
    // The stored text stays as it was even when it is not shown.
    p.customAccent = "teal";
    EXPECT_EQ(p.customAccent, "teal");
}

TEST(PreferencesWidgets, PageLayoutThenWidgetOrderThenDefaults) {
    Preferences p;
    EXPECT_EQ(raws(p.widgets(Board::focus)), QStringList({"today", "timer", "notes", "shortcuts"}));
    EXPECT_TRUE(p.widgets(Board::page6).isEmpty());

    p.widgetOrders["Focus"] = {kind("notes"), kind("notes"), kind("timer")};
    EXPECT_EQ(raws(p.widgets(Board::focus)), QStringList({"notes", "timer"}));
    p.widgetOrders["Focus"] = {};
    EXPECT_TRUE(p.widgets(Board::focus).isEmpty());

    PageLayout layout = PageLayout::preset(PageLayout::Preset::three, {kind("b"), kind("a")});
    p.pageLayouts["Focus"] = layout;
    EXPECT_EQ(raws(p.widgets(Board::focus)), QStringList({"b", "a"}));

    // An invalid stored layout is passed over.
    layout.sections[1].widget = kind("b");
    p.pageLayouts["Focus"] = layout;
    EXPECT_TRUE(p.widgets(Board::focus).isEmpty());
}

TEST(PreferencesWidgets, SwapInsideALayout) {
    Preferences p;
    p.pageLayouts["System"] =
            PageLayout::preset(PageLayout::Preset::three, {kind("a"), kind("b"), kind("c")});
    p.swapWidgets(kind("a"), kind("c"), Board::system);
    EXPECT_EQ(raws(p.widgets(Board::system)), QStringList({"c", "b", "a"}));
    EXPECT_TRUE(p.widgetOrders.isEmpty());

    const Preferences before = p;
    p.swapWidgets(kind("a"), kind("missing"), Board::system);
    EXPECT_EQ(p, before);
}

TEST(PreferencesWidgets, SwapInAFlatList) {
    Preferences p;
    p.swapWidgets(kind("pulse"), kind("machine"), Board::system);
    EXPECT_EQ(raws(p.widgetOrders.value("System")), QStringList({"machine", "network", "pulse"}));

    const Preferences before = p;
    p.swapWidgets(kind("pulse"), kind("notes"), Board::system);
    p.swapWidgets(kind("pulse"), kind("pulse"), Board::system);
    p.swapWidgets(kind("today"), kind("timer"), Board::page7);
    EXPECT_EQ(p, before);
}
