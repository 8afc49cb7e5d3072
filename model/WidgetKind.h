#pragma once

#include "Board.h"

#include <QHashFunctions>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>

// The identity of a placed widget: a package identifier, optionally followed by "@" and an
// instance suffix. The full text keys the per-instance state of the widget.
class WidgetKind {
public:
    // Any non-empty text is a kind.
    static std::optional<WidgetKind> named(const QString& raw);

    // A new kind of the package with a fresh UUID suffix, for placements with their own settings.
    static WidgetKind instance(const QString& packageID);

    // The widgets a page starts with when it has neither a layout nor a stored order.
    static QList<WidgetKind> defaults(Board board);

    static WidgetKind today() { return WidgetKind(QStringLiteral("today")); }
    static WidgetKind pulse() { return WidgetKind(QStringLiteral("pulse")); }
    static WidgetKind timer() { return WidgetKind(QStringLiteral("timer")); }
    static WidgetKind shortcuts() { return WidgetKind(QStringLiteral("shortcuts")); }
    static WidgetKind notes() { return WidgetKind(QStringLiteral("notes")); }
    static WidgetKind network() { return WidgetKind(QStringLiteral("network")); }
    static WidgetKind machine() { return WidgetKind(QStringLiteral("machine")); }

    const QString& rawValue() const { return m_rawValue; }
    QString packageID() const;

    // Throws DecodingError for anything but a non-empty string.
    static WidgetKind fromJson(const QJsonValue& value, const QString& context);
    QJsonValue toJson() const { return m_rawValue; }

    bool operator==(const WidgetKind&) const = default;

private:
    explicit WidgetKind(QString raw) : m_rawValue(std::move(raw)) {}

    QString m_rawValue;
};

inline size_t qHash(const WidgetKind& kind, size_t seed = 0) {
    return qHash(kind.rawValue(), seed);
}

// Removes later repeats of a kind; the first occurrence keeps its place.
QList<WidgetKind> withoutRepeats(const QList<WidgetKind>& kinds);
