#include "packages/WidgetManifest.h"

#include "model/JsonCoding.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

WidgetManifest decode(const char* json) {
    return WidgetManifest::fromJson(QJsonDocument::fromJson(json).object());
}

const char* const minimal = R"({"apiVersion": 1, "id": "a", "name": "A", "version": "1",
                                "author": "", "entry": "index.html", "permissions": []})";

WidgetManifest withCategory(std::optional<QString> category) {
    WidgetManifest manifest = decode(minimal);
    manifest.category = std::move(category);
    return manifest;
}

} // namespace

TEST(WidgetManifest, StrictTypesAndRequiredKeys) {
    const WidgetManifest manifest = decode(R"({"apiVersion": 1, "id": "a", "name": "A",
        "version": "1", "author": "me", "entry": "index.html", "permissions": ["focus"],
        "category": "Tools", "symbol": "clock", "networkOrigins": ["https://a.org"],
        "preferredWidth": 300, "boardWidths": {"Focus": 500}, "unknown": [1, 2]})");
    EXPECT_EQ(manifest.permissions, QStringList({"focus"}));
    EXPECT_EQ(manifest.networkOrigins, QStringList({"https://a.org"}));
    EXPECT_EQ(manifest.width("Focus"), 500);
    EXPECT_EQ(manifest.width("Overview"), 300);
    EXPECT_EQ(manifest.symbolName(), "clock");
    EXPECT_EQ(WidgetManifest::fromJson(manifest.toJson()), manifest);

    EXPECT_EQ(decode(minimal).symbolName(), "puzzlepiece.extension");
    EXPECT_FALSE(decode(minimal).width("Focus"));

    const char* const broken[] = {
            R"({"id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": []})",
            R"({"apiVersion": "1", "id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": []})",
            R"({"apiVersion": 1, "id": "a", "name": "A", "version": 1, "author": "", "entry": "i.html", "permissions": []})",
            R"({"apiVersion": 1, "id": "a", "name": "A", "version": "1", "entry": "i.html", "permissions": []})",
            R"({"apiVersion": 1, "id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": "focus"})",
            R"({"apiVersion": 1, "id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": [1]})",
            R"({"apiVersion": 1, "id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": [], "category": 5})",
            R"({"apiVersion": 1, "id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": [], "boardWidths": {"Focus": "wide"}})",
            R"({"apiVersion": 1.5, "id": "a", "name": "A", "version": "1", "author": "", "entry": "i.html", "permissions": []})",
    };
    for (const char* json : broken)
        EXPECT_THROW(decode(json), DecodingError) << json;
}

TEST(WidgetManifest, CategoryNames) {
    EXPECT_EQ(withCategory(std::nullopt).categoryName(), "General");
    EXPECT_EQ(withCategory("  monitoring \n").categoryName(), "Monitoring");
    EXPECT_EQ(withCategory("SYSTEM INFO").categoryName(), "System Info");
    EXPECT_EQ(withCategory("ai").categoryName(), "AI");
    EXPECT_EQ(withCategory(" Ai ").categoryName(), "AI");
    EXPECT_EQ(withCategory("web-tools").categoryName(), "Web-tools");
}

TEST(WidgetManifest, FourteenSupportedPermissions) {
    EXPECT_EQ(WidgetManifest::supportedPermissions().size(), 14);
    for (const char* name :
         {"metrics", "focus", "notes", "shortcuts", "storage", "network", "spotify", "audio",
          "calendar", "reminders", "activity", "automations", "project", "ai"})
        EXPECT_TRUE(WidgetManifest::supportedPermissions().contains(name)) << name;
}
