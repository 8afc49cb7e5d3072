#include "JsonCoding.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <charconv>
#include <cmath>
#include <cstdio>

DecodingError::DecodingError(const QString& message) : std::runtime_error(message.toStdString()) {}

namespace Json {

namespace {

[[noreturn]] void fail(const QString& context, const char* expected) {
    throw DecodingError(QStringLiteral("%1: expected %2").arg(context, QLatin1String(expected)));
}

} // namespace

QJsonObject parseObject(const QByteArray& document) {
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(QStringLiteral("invalid JSON at offset %1: %2")
                                    .arg(error.offset)
                                    .arg(error.errorString()));
    if (!parsed.isObject())
        throw DecodingError(QStringLiteral("the document is not a JSON object"));
    return parsed.object();
}

bool isMissing(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    return value.isUndefined() || value.isNull();
}

QJsonObject objectValue(const QJsonValue& value, const QString& context) {
    if (!value.isObject())
        fail(context, "an object");
    return value.toObject();
}

QJsonArray arrayValue(const QJsonValue& value, const QString& context) {
    if (!value.isArray())
        fail(context, "a list");
    return value.toArray();
}

QString stringValue(const QJsonValue& value, const QString& context) {
    if (!value.isString())
        fail(context, "a string");
    return value.toString();
}

bool boolValue(const QJsonValue& value, const QString& context) {
    if (!value.isBool())
        fail(context, "true or false");
    return value.toBool();
}

double numberValue(const QJsonValue& value, const QString& context) {
    if (!value.isDouble())
        fail(context, "a number");
    return value.toDouble();
}

qint64 integerValue(const QJsonValue& value, const QString& context) {
    const double number = numberValue(value, context);
    // 2^63 itself is out of range, hence the strict upper bound.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(number) || std::trunc(number) != number || number < -limit ||
        number >= limit)
        fail(context, "a whole number");
    // Integers written by QJsonDocument are kept exactly, beyond a double's 53 bits.
    return value.toInteger();
}

QUuid uuidValue(const QJsonValue& value, const QString& context) {
    const QString text = stringValue(value, context);
    // Only the canonical 8-4-4-4-12 form, without braces.
    const QUuid uuid = QUuid::fromString(text);
    if (text.size() != 36 || text.startsWith(QLatin1Char('{')) ||
        (uuid.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000")))
        fail(context, "a UUID");
    return uuid;
}

QString requiredString(const QJsonObject& object, const QString& key) {
    return stringValue(object.value(key), key);
}

double requiredNumber(const QJsonObject& object, const QString& key) {
    return numberValue(object.value(key), key);
}

std::optional<QString> optionalString(const QJsonObject& object, const QString& key) {
    if (isMissing(object, key))
        return std::nullopt;
    return stringValue(object.value(key), key);
}

QString uuidText(const QUuid& uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

namespace {

void appendString(QByteArray& out, const QString& text) {
    out.append('"');
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out.append(escaped);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

void appendNumber(QByteArray& out, const QJsonValue& value) {
    const double number = value.toDouble();
    if (!std::isfinite(number)) {
        out.append("null");
        return;
    }
    char digits[32];
    // Whole numbers a double holds exactly are written as integers, the rest in the shortest
    // form that reads back the same.
    constexpr double exactIntegers = 9007199254740992.0; // 2^53
    const auto result = std::trunc(number) == number && std::abs(number) < exactIntegers
                                ? std::to_chars(digits, digits + sizeof digits, qint64(number))
                                : std::to_chars(digits, digits + sizeof digits, number,
                                                std::chars_format::general);
    out.append(digits, result.ptr - digits);
}

void append(QByteArray& out, const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        out.append("null");
        break;
    case QJsonValue::Bool:
        out.append(value.toBool() ? "true" : "false");
        break;
    case QJsonValue::Double:
        appendNumber(out, value);
        break;
    case QJsonValue::String:
        appendString(out, value.toString());
        break;
    case QJsonValue::Array: {
        out.append('[');
        bool first = true;
        for (const QJsonValue& item : value.toArray()) {
            if (!first)
                out.append(',');
            first = false;
            append(out, item);
        }
        out.append(']');
        break;
    }
    case QJsonValue::Object: {
        out.append('{');
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it != object.begin())
                out.append(',');
            appendString(out, it.key());
            out.append(':');
            append(out, it.value());
        }
        out.append('}');
        break;
    }
    }
}

} // namespace

QByteArray fastCompact(const QJsonValue& value) {
    QByteArray out;
    out.reserve(4096);
    append(out, value);
    return out;
}

QByteArray compact(const QJsonValue& value) {
    // QJsonDocument only holds arrays and objects; wrap the value and drop the brackets.
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

} // namespace Json
