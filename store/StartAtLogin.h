#pragma once

#include <QObject>
#include <QString>

// Whether the program starts when the user logs in. A settings switch shows `enabled` and sets it
// with setEnabled; when that is refused, the message says why and `enabled` stays as it was.
class StartAtLogin : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled NOTIFY enabledChanged)

public:
    using QObject::QObject;

    virtual bool isEnabled() const = 0;
    // Empty when done, else one line saying why not.
    virtual QString setEnabled(bool enabled) = 0;

signals:
    void enabledChanged(bool enabled);
};
