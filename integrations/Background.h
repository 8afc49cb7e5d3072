#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <utility>

// Runs `work` on the shared thread pool, then `then(result)` on the main thread, always later
// (never inside this call) and only while `receiver` still exists.
template <typename Work, typename Then>
void runInBackground(QObject* receiver, Work work, Then then) {
    QPointer<QObject> guard(receiver);
    QThreadPool::globalInstance()->start(
            [guard, work = std::move(work), then = std::move(then)]() mutable {
                auto result = work();
                QMetaObject::invokeMethod(
                        QCoreApplication::instance(),
                        [guard, then = std::move(then), result = std::move(result)]() mutable {
                            if (guard)
                                then(std::move(result));
                        },
                        Qt::QueuedConnection);
            });
}
