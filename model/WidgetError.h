#pragma once

#include <QString>
#include <stdexcept>

// The program's own error: a short, user-readable message for a toast, a widget's error reply or
// a service's state. The message is fixed text that callers and stored lines compare; the
// optional detail says what to fix (the field, the offending value, the rule) for people
// reading it.
class WidgetError : public std::runtime_error {
public:
    static WidgetError invalid(const QString& message, const QString& detail = {}) {
        return WidgetError(message, detail);
    }

    QString message() const { return QString::fromStdString(what()); }
    const QString& detail() const { return m_detail; }
    // The message, then ": " and the detail when there is one.
    QString explained() const {
        return m_detail.isEmpty() ? message() : message() + QStringLiteral(": ") + m_detail;
    }

private:
    WidgetError(const QString& message, const QString& detail)
        : std::runtime_error(message.toStdString()), m_detail(detail) {}

    QString m_detail;
};
