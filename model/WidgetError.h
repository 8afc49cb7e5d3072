#pragma once

#include <QString>
#include <stdexcept>

// The program's own error: a short, user-readable message for a toast, a widget's error reply or
// a service's state.
class WidgetError : public std::runtime_error {
public:
    static WidgetError invalid(const QString& message) { return WidgetError(message); }

    QString message() const { return QString::fromStdString(what()); }

private:
    explicit WidgetError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
