#pragma once

#include <QJsonValue>
#include <QList>
#include <QRectF>
#include <QString>
#include <optional>

// A touchable control that a widget page reported, in page points.
struct WidgetControl {
    qint64 id = 0;
    QRectF frame;
    bool enabled = true;

    bool operator==(const WidgetControl&) const = default;
};

namespace WidgetControls {

constexpr int maximumCount = 100;
constexpr double coordinateLimit = 10000;

// The controls of a "controls" message's items: none when the items are not an array of at most
// 100 objects (the page's previous controls then stay); otherwise the valid items in order.
std::optional<QList<WidgetControl>> fromItems(const QJsonValue& items);

// The touch region identifier of a control of the widget instance with this key.
QString regionID(const QString& instanceKey, qint64 controlID);

} // namespace WidgetControls
