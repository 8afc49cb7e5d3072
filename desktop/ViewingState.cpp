#include "ViewingState.h"

void ViewingState::addSource(ViewingSource* source) {
    m_sources.append(source);
    connect(source, &ViewingSource::hidesChanged, this, &ViewingState::update);
    connect(source, &QObject::destroyed, this, &ViewingState::update, Qt::QueuedConnection);
    update();
}

QStringList ViewingState::hiddenBy() const {
    QStringList names;
    for (const QPointer<ViewingSource>& source : m_sources) {
        if (source && source->hides())
            names.append(source->name());
    }
    return names;
}

void ViewingState::wake() {
    for (const QPointer<ViewingSource>& source : m_sources) {
        if (source && source->hides())
            source->wake();
    }
}

void ViewingState::update() {
    m_sources.removeAll(nullptr);
    const bool looks = hiddenBy().isEmpty();
    if (looks == m_someoneLooks)
        return;
    m_someoneLooks = looks;
    emit someoneLooksChanged(looks);
}
