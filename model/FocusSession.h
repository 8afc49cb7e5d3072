#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <optional>

// A focus countdown. It runs exactly while `endsAt` is present; `remaining` is the time left while
// it is paused or stopped.
struct FocusSession {
    // The lengths a user can choose, in whole minutes.
    static constexpr int shortestMinutes = 1;
    static constexpr int longestMinutes = 120;
    static bool isChoosableLength(int minutes) {
        return minutes >= shortestMinutes && minutes <= longestMinutes;
    }

    double duration = 1500; // seconds
    double remaining = 1500;
    std::optional<QDateTime> endsAt;
    bool completed = false;

    static FocusSession fresh(double seconds);

    bool isRunning() const { return endsAt.has_value(); }
    // Whole seconds left (rounded up), never above the duration nor below zero.
    int secondsLeft(const QDateTime& at) const;
    void start(const QDateTime& at);
    void pause(const QDateTime& at);
    // Completes a running interval whose end has come; true when this call completed it.
    bool tick(const QDateTime& at);

    // Throws DecodingError; "endsAt" may be missing, the other keys are required.
    static FocusSession fromJson(const QJsonValue& value);
    // Compact, keys in the order duration, remaining, endsAt, completed.
    QByteArray toJson() const;

    bool operator==(const FocusSession&) const = default;
};

// The per-widget copies, keyed by widget instance.
using FocusCopies = QMap<QString, FocusSession>;

FocusCopies focusCopiesFromJson(const QByteArray& document);
QByteArray focusCopiesToJson(const FocusCopies& copies);

// Dates in the program's own files: seconds since 2001-01-01 00:00:00 UTC.
double referenceSeconds(const QDateTime& date);
QDateTime dateFromReferenceSeconds(double seconds);
