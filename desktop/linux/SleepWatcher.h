#pragma once

#include <QObject>

// Tells when the computer woke from sleep, from logind on the system bus. Without a system bus
// (containers, tests) it simply never fires.
class SleepWatcher : public QObject {
    Q_OBJECT

public:
    explicit SleepWatcher(QObject* parent = nullptr);

signals:
    void woke();

private slots:
    void prepareForSleep(bool sleeping);
};
