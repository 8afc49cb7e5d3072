#include "LauncherConfiguration.h"

#include "JsonCoding.h"

LauncherConfiguration LauncherConfiguration::fromJson(const QJsonObject& object) {
    return {Json::requiredString(object, QStringLiteral("application")),
            Json::requiredString(object, QStringLiteral("path"))};
}

QJsonObject LauncherConfiguration::toJson() const {
    return {{QStringLiteral("application"), application}, {QStringLiteral("path"), path}};
}
