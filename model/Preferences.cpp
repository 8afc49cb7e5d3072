#include "Preferences.h"

#include "JsonCoding.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>
#include <utility>

namespace {

template <typename Enum>
Enum enumValue(const QJsonObject& object, const QString& key,
               std::optional<Enum> (*named)(const QString&)) {
    const QString raw = Json::stringValue(object.value(key), key);
    const std::optional<Enum> value = named(raw);
    if (!value)
        throw DecodingError(QStringLiteral("%1: unknown value \"%2\"").arg(key, raw));
    return *value;
}

// Applies read(value) when the key is present.
template <typename Read> void ifPresent(const QJsonObject& object, const QString& key, Read read) {
    if (!Json::isMissing(object, key))
        read(object.value(key));
}

QMap<QString, LauncherConfiguration> readLaunchers(const QJsonValue& value) {
    QMap<QString, LauncherConfiguration> launchers;
    const QJsonObject object = Json::objectValue(value, QStringLiteral("launchers"));
    for (auto it = object.begin(); it != object.end(); ++it)
        launchers.insert(it.key(),
                         LauncherConfiguration::fromJson(Json::objectValue(it.value(), it.key())));
    return launchers;
}

QList<Shortcut> readShortcuts(const QJsonValue& value) {
    QList<Shortcut> shortcuts;
    for (const QJsonValue& entry : Json::arrayValue(value, QStringLiteral("shortcuts")))
        shortcuts.append(Shortcut::fromJson(Json::objectValue(entry, QStringLiteral("shortcut"))));
    return shortcuts;
}

QMap<QString, QList<WidgetKind>> readWidgetOrders(const QJsonValue& value) {
    QMap<QString, QList<WidgetKind>> orders;
    const QJsonObject object = Json::objectValue(value, QStringLiteral("widgetOrders"));
    for (auto it = object.begin(); it != object.end(); ++it) {
        QList<WidgetKind> kinds;
        for (const QJsonValue& entry : Json::arrayValue(it.value(), it.key()))
            kinds.append(WidgetKind::fromJson(entry, it.key()));
        orders.insert(it.key(), kinds);
    }
    return orders;
}

QMap<QString, QMap<QString, QString>> readWidgetStorage(const QJsonValue& value) {
    QMap<QString, QMap<QString, QString>> storage;
    const QJsonObject object = Json::objectValue(value, QStringLiteral("widgetStorage"));
    for (auto it = object.begin(); it != object.end(); ++it) {
        QMap<QString, QString> entries;
        const QJsonObject inner = Json::objectValue(it.value(), it.key());
        for (auto entry = inner.begin(); entry != inner.end(); ++entry)
            entries.insert(entry.key(), Json::stringValue(entry.value(), entry.key()));
        storage.insert(it.key(), entries);
    }
    return storage;
}

// Layouts degrade instead of failing the record: one malformed layout empties the dictionary,
// and layouts that decode but are not valid are dropped one by one.
QMap<QString, PageLayout> readPageLayouts(const QJsonValue& value, bool& dropped) {
    QMap<QString, PageLayout> layouts;
    try {
        const QJsonObject object = Json::objectValue(value, QStringLiteral("pageLayouts"));
        for (auto it = object.begin(); it != object.end(); ++it)
            layouts.insert(it.key(), PageLayout::fromJson(it.value(), it.key()));
    } catch (const DecodingError&) {
        dropped = true;
        return {};
    }
    if (layouts.removeIf([](const auto& entry) { return !entry.value().isValid(); }) > 0)
        dropped = true;
    return layouts;
}

bool hasUnknownKeys(const QJsonObject& object) {
    static const QSet<QString> known = {
            "launchers", "orientation",  "primaryAccent", "customAccent", "palette",    "board",
            "pageCount", "directTouch",  "showSeconds",   "focusMinutes", "note",       "displayID",
            "shortcuts", "widgetOrders", "widgetStorage", "pageLayouts",  "musicPlayer"};
    const QStringList keys = object.keys();
    return std::any_of(keys.begin(), keys.end(),
                       [](const QString& key) { return !known.contains(key); });
}

int clampedInt(qint64 value, int low = std::numeric_limits<int>::min(),
               int high = std::numeric_limits<int>::max()) {
    return int(std::clamp<qint64>(value, low, high));
}

quint32 readDisplayID(const QJsonValue& value) {
    const qint64 number = Json::integerValue(value, QStringLiteral("displayID"));
    if (number < 0 || number > std::numeric_limits<quint32>::max())
        throw DecodingError(QStringLiteral("displayID: out of range"));
    return quint32(number);
}

} // namespace

Preferences Preferences::fromJson(const QByteArray& document, bool* dropped) {
    return fromJsonObject(Json::parseObject(document), dropped);
}

Preferences Preferences::fromJsonObject(const QJsonObject& o, bool* dropped) {
    Preferences p;
    bool left = hasUnknownKeys(o);
    using V = const QJsonValue&;
    ifPresent(o, QStringLiteral("launchers"), [&](V v) { p.launchers = readLaunchers(v); });
    ifPresent(o, QStringLiteral("orientation"), [&](V) {
        p.orientation = enumValue(o, QStringLiteral("orientation"), &orientationNamed);
    });
    p.primaryAccent = Json::optionalString(o, QStringLiteral("primaryAccent"));
    p.customAccent = Json::optionalString(o, QStringLiteral("customAccent"));
    ifPresent(o, QStringLiteral("palette"),
              [&](V) { p.palette = enumValue(o, QStringLiteral("palette"), &paletteNamed); });
    ifPresent(o, QStringLiteral("board"),
              [&](V) { p.board = enumValue(o, QStringLiteral("board"), &boardNamed); });
    ifPresent(o, QStringLiteral("pageCount"), [&](V v) {
        p.pageCount =
                clampedInt(Json::integerValue(v, QStringLiteral("pageCount")), 1, maximumPages);
    });
    ifPresent(o, QStringLiteral("directTouch"),
              [&](V v) { p.directTouch = Json::boolValue(v, QStringLiteral("directTouch")); });
    ifPresent(o, QStringLiteral("showSeconds"),
              [&](V v) { p.showSeconds = Json::boolValue(v, QStringLiteral("showSeconds")); });
    // Taken as stored; the focus timer bounds it where it is used.
    ifPresent(o, QStringLiteral("focusMinutes"), [&](V v) {
        p.focusMinutes = clampedInt(Json::integerValue(v, QStringLiteral("focusMinutes")));
    });
    ifPresent(o, QStringLiteral("note"),
              [&](V v) { p.note = Json::stringValue(v, QStringLiteral("note")); });
    ifPresent(o, QStringLiteral("displayID"), [&](V v) { p.displayID = readDisplayID(v); });
    ifPresent(o, QStringLiteral("shortcuts"), [&](V v) { p.shortcuts = readShortcuts(v); });
    ifPresent(o, QStringLiteral("widgetOrders"),
              [&](V v) { p.widgetOrders = readWidgetOrders(v); });
    ifPresent(o, QStringLiteral("widgetStorage"),
              [&](V v) { p.widgetStorage = readWidgetStorage(v); });
    ifPresent(o, QStringLiteral("pageLayouts"),
              [&](V v) { p.pageLayouts = readPageLayouts(v, left); });
    p.musicPlayer = Json::optionalString(o, QStringLiteral("musicPlayer"));
    if (dropped)
        *dropped = left;

    if (pageNumber(p.board) > p.pageCount)
        p.board = Board::overview;
    return p;
}

QByteArray Preferences::toJson() const {
    QJsonObject launcherObject;
    for (auto it = launchers.begin(); it != launchers.end(); ++it)
        launcherObject.insert(it.key(), it.value().toJson());
    QJsonArray shortcutList;
    for (const Shortcut& shortcut : shortcuts)
        shortcutList.append(shortcut.toJson());
    QJsonObject orderObject;
    for (auto it = widgetOrders.begin(); it != widgetOrders.end(); ++it) {
        QJsonArray kinds;
        for (const WidgetKind& kind : it.value())
            kinds.append(kind.toJson());
        orderObject.insert(it.key(), kinds);
    }
    QJsonObject storageObject;
    for (auto it = widgetStorage.begin(); it != widgetStorage.end(); ++it) {
        QJsonObject entries;
        for (auto entry = it.value().begin(); entry != it.value().end(); ++entry)
            entries.insert(entry.key(), entry.value());
        storageObject.insert(it.key(), entries);
    }
    QJsonObject layoutObject;
    for (auto it = pageLayouts.begin(); it != pageLayouts.end(); ++it)
        layoutObject.insert(it.key(), it.value().toJson());

    const auto optionalText = [](const std::optional<QString>& text) {
        return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Undefined);
    };
    // In the order in which the file lists its keys; undefined values are left out.
    const std::pair<const char*, QJsonValue> fields[] = {
            {"launchers", launcherObject},
            {"orientation", rawValue(orientation)},
            {"primaryAccent", optionalText(primaryAccent)},
            {"customAccent", optionalText(customAccent)},
            {"palette", rawValue(palette)},
            {"board", rawValue(board)},
            {"pageCount", pageCount},
            {"directTouch", directTouch},
            {"showSeconds", showSeconds},
            {"focusMinutes", focusMinutes},
            {"note", note},
            {"displayID",
             displayID ? QJsonValue(qint64(*displayID)) : QJsonValue(QJsonValue::Undefined)},
            {"shortcuts", shortcutList},
            {"widgetOrders", orderObject},
            {"widgetStorage", storageObject},
            {"pageLayouts", layoutObject},
            {"musicPlayer", optionalText(musicPlayer)},
    };
    QByteArray document("{");
    for (const auto& [key, value] : fields) {
        if (value.isUndefined())
            continue;
        if (document.size() > 1)
            document.append(',');
        document.append(Json::compact(QLatin1String(key)));
        document.append(':');
        document.append(Json::compact(value));
    }
    document.append('}');
    return document;
}

bool isColorText(const QString& text) {
    static const QRegularExpression pattern(
            QRegularExpression::anchoredPattern(QStringLiteral("#[0-9a-fA-F]{6}")));
    return pattern.match(text).hasMatch();
}

QString Preferences::primaryHex() const {
    return primaryAccent && isColorText(*primaryAccent) ? *primaryAccent
                                                        : QStringLiteral("#edf0e6");
}

QString Preferences::accentHex() const {
    return customAccent && isColorText(*customAccent) ? *customAccent : ::accentHex(palette);
}

QList<WidgetKind> Preferences::widgets(Board on) const {
    const QString key = rawValue(on);
    const auto layout = pageLayouts.constFind(key);
    if (layout != pageLayouts.constEnd() && layout->isValid())
        return layout->widgets();
    const auto order = widgetOrders.constFind(key);
    if (order != widgetOrders.constEnd())
        return withoutRepeats(*order);
    return withoutRepeats(WidgetKind::defaults(on));
}

void Preferences::swapWidgets(const WidgetKind& a, const WidgetKind& b, Board on) {
    const QString key = rawValue(on);
    const auto layout = pageLayouts.find(key);
    if (layout != pageLayouts.end()) {
        const auto holderOf = [&](const WidgetKind& kind) {
            return std::find_if(layout->sections.cbegin(), layout->sections.cend(),
                                [&](const WidgetSection& s) { return s.widget == kind; });
        };
        const auto holderOfB = holderOf(b);
        if (holderOf(a) != layout->sections.cend() && holderOfB != layout->sections.cend()) {
            const QString target = holderOfB->id; // place() may detach the list
            layout->place(a, target);
            return;
        }
    }
    QList<WidgetKind> kinds = widgets(on);
    const qsizetype indexA = kinds.indexOf(a);
    const qsizetype indexB = kinds.indexOf(b);
    if (a == b || indexA < 0 || indexB < 0)
        return;
    kinds.swapItemsAt(indexA, indexB);
    widgetOrders.insert(key, kinds);
}
