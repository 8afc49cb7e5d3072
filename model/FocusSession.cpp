#include "FocusSession.h"

#include "JsonCoding.h"

#include <algorithm>
#include <cmath>

namespace {

// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr double referenceEpoch = 978307200;

double secondsBetween(const QDateTime& from, const QDateTime& to) {
    return from.msecsTo(to) / 1000.0;
}

} // namespace

double referenceSeconds(const QDateTime& date) {
    return date.toMSecsSinceEpoch() / 1000.0 - referenceEpoch;
}

QDateTime dateFromReferenceSeconds(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(std::llround((seconds + referenceEpoch) * 1000), Qt::UTC);
}

FocusSession FocusSession::fresh(double seconds) {
    return FocusSession{seconds, seconds, std::nullopt, false};
}

int FocusSession::secondsLeft(const QDateTime& at) const {
    const double left = endsAt ? secondsBetween(at, *endsAt) : remaining;
    return int(std::ceil(std::clamp(left, 0.0, std::max(duration, 0.0))));
}

void FocusSession::start(const QDateTime& at) {
    if (completed || !(remaining > 0)) {
        remaining = duration;
        completed = false;
    }
    endsAt = at.addMSecs(std::llround(remaining * 1000));
}

void FocusSession::pause(const QDateTime& at) {
    if (!isRunning())
        return;
    remaining = secondsLeft(at);
    endsAt.reset();
    if (remaining == 0)
        completed = true;
}

bool FocusSession::tick(const QDateTime& at) {
    if (!isRunning() || at < *endsAt)
        return false;
    remaining = 0;
    endsAt.reset();
    completed = true;
    return true;
}

FocusSession FocusSession::fromJson(const QJsonValue& value) {
    const QJsonObject object = Json::objectValue(value, QStringLiteral("focus"));
    FocusSession session;
    session.duration = Json::requiredNumber(object, QStringLiteral("duration"));
    session.remaining = Json::requiredNumber(object, QStringLiteral("remaining"));
    if (!Json::isMissing(object, QStringLiteral("endsAt")))
        session.endsAt = dateFromReferenceSeconds(Json::numberValue(
                object.value(QStringLiteral("endsAt")), QStringLiteral("endsAt")));
    session.completed =
            Json::boolValue(object.value(QStringLiteral("completed")), QStringLiteral("completed"));
    return session;
}

QByteArray FocusSession::toJson() const {
    QByteArray document = "{\"duration\":" + Json::compact(duration) +
                          ",\"remaining\":" + Json::compact(remaining);
    if (endsAt)
        document += ",\"endsAt\":" + Json::compact(referenceSeconds(*endsAt));
    document += ",\"completed\":" + Json::compact(completed) + "}";
    return document;
}

FocusCopies focusCopiesFromJson(const QByteArray& document) {
    const QJsonObject object = Json::parseObject(document);
    FocusCopies copies;
    for (auto it = object.begin(); it != object.end(); ++it)
        copies.insert(it.key(), FocusSession::fromJson(it.value()));
    return copies;
}

QByteArray focusCopiesToJson(const FocusCopies& copies) {
    QByteArray document = "{";
    for (auto it = copies.begin(); it != copies.end(); ++it) {
        if (document.size() > 1)
            document += ',';
        document += Json::compact(it.key()) + ':' + it.value().toJson();
    }
    return document + '}';
}
