#include "WidgetKind.h"

#include "JsonCoding.h"

#include <QSet>
#include <QUuid>

std::optional<WidgetKind> WidgetKind::named(const QString& raw) {
    if (raw.isEmpty())
        return std::nullopt;
    return WidgetKind(raw);
}

WidgetKind WidgetKind::instance(const QString& packageID) {
    return WidgetKind(packageID + QLatin1Char('@') + Json::uuidText(QUuid::createUuid()));
}

QList<WidgetKind> WidgetKind::defaults(Board board) {
    switch (board) {
    case Board::overview:
        return {today(), pulse(), timer(), shortcuts()};
    case Board::focus:
        return {today(), timer(), notes(), shortcuts()};
    case Board::system:
        return {pulse(), network(), machine()};
    default:
        return {};
    }
}

QString WidgetKind::packageID() const {
    return m_rawValue.section(QLatin1Char('@'), 0, 0);
}

WidgetKind WidgetKind::fromJson(const QJsonValue& value, const QString& context) {
    const std::optional<WidgetKind> kind = named(Json::stringValue(value, context));
    if (!kind)
        throw DecodingError(context + QStringLiteral(": a widget kind cannot be empty"));
    return *kind;
}

QList<WidgetKind> withoutRepeats(const QList<WidgetKind>& kinds) {
    QList<WidgetKind> result;
    QSet<WidgetKind> seen;
    for (const WidgetKind& kind : kinds) {
        if (!seen.contains(kind)) {
            seen.insert(kind);
            result.append(kind);
        }
    }
    return result;
}
