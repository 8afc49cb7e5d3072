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
    // Asks the desktop to end what hides the dashboard, as any user input would, where it can:
    // the bar's touches are read by the dashboard alone and never reach the desktop, so a
    // touch on a blanked bar would otherwise wake nothing.
    virtual void wake() {}

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
