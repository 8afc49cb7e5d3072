#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <optional>
#include <stdexcept>

// Strict reading of the program's own JSON files. Every helper throws DecodingError for a value
// of the wrong type, so a record is either read completely or not at all. JSON null counts as a
// missing key, as it does for every optional field of the files.
class DecodingError : public std::runtime_error {
public:
    explicit DecodingError(const QString& message);
    QString message() const { return QString::fromStdString(what()); }
};

namespace Json {

QJsonObject parseObject(const QByteArray& document);

bool isMissing(const QJsonObject& object, const QString& key);

QJsonObject objectValue(const QJsonValue& value, const QString& context);
QJsonArray arrayValue(const QJsonValue& value, const QString& context);
QString stringValue(const QJsonValue& value, const QString& context);
bool boolValue(const QJsonValue& value, const QString& context);
double numberValue(const QJsonValue& value, const QString& context);
// A whole number; 25.0 is accepted as 25, 25.5 is not.
qint64 integerValue(const QJsonValue& value, const QString& context);
QUuid uuidValue(const QJsonValue& value, const QString& context);

QString requiredString(const QJsonObject& object, const QString& key);
double requiredNumber(const QJsonObject& object, const QString& key);
std::optional<QString> optionalString(const QJsonObject& object, const QString& key);

// UUIDs are written in canonical upper-case form.
QString uuidText(const QUuid& uuid);

// A single value in compact form, for documents whose keys must be written in a fixed order.
QByteArray compact(const QJsonValue& value);

// Compact JSON with sorted keys, the form widget pages receive. Like QJsonDocument's, except that
// numbers are formatted several times faster (snapshots carry hundreds of them every second):
// whole numbers as integers, others in the shortest form that reads back exactly.
QByteArray fastCompact(const QJsonValue& value);

// A value for a state key that may be absent: JSON null when it is.
template <typename T> QJsonValue orNull(const std::optional<T>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace Json
