#include "WidgetControls.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cmath>

namespace WidgetControls {

namespace {

// Integers beyond 2^53 are no longer exact in a JSON number.
constexpr double largestExactInteger = 9007199254740992.0;

std::optional<double> coordinate(const QJsonObject& item, const char* key) {
    const QJsonValue value = item.value(QLatin1String(key));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::abs(number) >= coordinateLimit)
        return std::nullopt;
    return number;
}

std::optional<WidgetControl> control(const QJsonObject& item) {
    const QJsonValue id = item.value(QStringLiteral("id"));
    if (!id.isDouble() || std::trunc(id.toDouble()) != id.toDouble() ||
        std::abs(id.toDouble()) > largestExactInteger)
        return std::nullopt;
    const auto x = coordinate(item, "x");
    const auto y = coordinate(item, "y");
    const auto width = coordinate(item, "width");
    const auto height = coordinate(item, "height");
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0)
        return std::nullopt;
    const QJsonValue enabled = item.value(QStringLiteral("enabled"));
    return WidgetControl{qint64(id.toDouble()), QRectF(*x, *y, *width, *height),
                         enabled.isBool() ? enabled.toBool() : true};
}

} // namespace

std::optional<QList<WidgetControl>> fromItems(const QJsonValue& items) {
    if (!items.isArray())
        return std::nullopt;
    const QJsonArray array = items.toArray();
    if (array.size() > maximumCount)
        return std::nullopt;
    for (const QJsonValue& item : array) {
        if (!item.isObject())
            return std::nullopt;
    }
    QList<WidgetControl> controls;
    for (const QJsonValue& item : array) {
        if (const auto converted = control(item.toObject()))
            controls.append(*converted);
    }
    return controls;
}

QString regionID(const QString& instanceKey, qint64 controlID) {
    return QStringLiteral("web-") + instanceKey + QLatin1Char('-') + QString::number(controlID);
}

} // namespace WidgetControls
