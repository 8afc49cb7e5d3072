#pragma once

#include <QObject>
#include <QString>

// One thing the desktop can tell about whether the dashboard can be seen: the screen saver, the
// session's lock, the screen's power, the window's exposure. A source that knows nothing (no
// bus, no extension, no answer yet) never hides the dashboard.
class ViewingSource : public QObject {
    Q_OBJECT

public:
    explicit ViewingSource(QString name, QObject* parent = nullptr)
        : QObject(parent), m_name(std::move(name)) {}

    // For the log: what hides the dashboard.
    const QString& name() const { return m_name; }
    // True while this source knows that nobody can see the dashboard.
    bool hides() const { return m_hides; }

signals:
    void hidesChanged(bool hides);

protected:
    void setHides(bool hides) {
        if (hides == m_hides)
            return;
        m_hides = hides;
        emit hidesChanged(hides);
    }

private:
    QString m_name;
    bool m_hides = false;
};
