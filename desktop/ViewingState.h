#pragma once

#include "desktop/ViewingSource.h"

#include <QList>
#include <QPointer>
#include <QStringList>

// Decides whether anybody can see the dashboard: nobody can while any source hides it (the
// screen blanked or off, the session locked or idle, the window minimised or covered).
class ViewingState : public QObject {
    Q_OBJECT

public:
    explicit ViewingState(QObject* parent = nullptr) : QObject(parent) {}

    // The state follows the source from now on; a source that goes away no longer counts.
    void addSource(ViewingSource* source);
    bool someoneLooks() const { return m_someoneLooks; }
    // Someone touched the bar: the sources that hide the dashboard are asked to wake the screen.
    void wake();
    // The names of the sources that hide the dashboard now.
    QStringList hiddenBy() const;

signals:
    void someoneLooksChanged(bool someoneLooks);

private:
    void update();

    QList<QPointer<ViewingSource>> m_sources;
    bool m_someoneLooks = true;
};
