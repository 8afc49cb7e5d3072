#include "store/FocusTimers.h"

#include "model/WidgetError.h"

#include <algorithm>
#include <cmath>

FocusSession FocusTimers::fresh(int minutes) {
    return FocusSession::fresh(std::max(minutes, FocusSession::shortestMinutes) * 60.0);
}

FocusSession FocusTimers::copy(const QString& instance, int chosenMinutes) const {
    const auto stored = m_copies.constFind(instance);
    return stored != m_copies.cend() ? *stored : fresh(chosenMinutes);
}

void FocusTimers::restore(const FocusSession& main, const FocusCopies& copies,
                          const QDateTime& now) {
    m_main = main;
    m_copies = copies;
    m_main.tick(now);
}

void FocusTimers::toggleMain(const QDateTime& now) {
    if (m_main.isRunning())
        m_main.pause(now);
    else
        m_main.start(now);
    emit mainChanged();
}

void FocusTimers::resetMain(int chosenMinutes) {
    m_main = fresh(chosenMinutes);
    emit mainChanged();
}

void FocusTimers::controlCopy(const QString& instance, const QString& method,
                              std::optional<int> minutes, const QDateTime& now, int chosenMinutes) {
    FocusSession session = copy(instance, chosenMinutes);
    if (method == QStringLiteral("focus.toggle")) {
        if (session.isRunning())
            session.pause(now);
        else
            session.start(now);
    } else if (method == QStringLiteral("focus.reset")) {
        session = fresh(int(std::trunc(session.duration / 60)));
    } else if (method == QStringLiteral("focus.setMinutes")) {
        if (!minutes || !FocusSession::isChoosableLength(*minutes) || session.isRunning())
            throw WidgetError::invalid(QStringLiteral("Invalid duration or timer is running"));
        session = fresh(*minutes);
    } else {
        return;
    }
    m_copies.insert(instance, session);
    emit copiesChanged();
}

void FocusTimers::completeDue(const QDateTime& now) {
    int copiesCompleted = 0;
    for (FocusSession& session : m_copies)
        copiesCompleted += session.tick(now) ? 1 : 0;
    if (copiesCompleted > 0)
        emit copiesChanged();
    for (int i = 0; i < copiesCompleted; ++i)
        emit completed(false);
    if (m_main.tick(now)) {
        emit mainChanged();
        emit completed(true);
    }
}

void FocusTimers::keepThroughStep(double seconds) {
    const qint64 shift = std::llround(seconds * 1000);
    if (m_main.endsAt) {
        m_main.endsAt = m_main.endsAt->addMSecs(shift);
        emit mainChanged();
    }
    bool shifted = false;
    for (FocusSession& session : m_copies) {
        if (session.endsAt) {
            session.endsAt = session.endsAt->addMSecs(shift);
            shifted = true;
        }
    }
    if (shifted)
        emit copiesChanged();
}
