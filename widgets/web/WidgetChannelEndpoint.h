#pragma once

#include <QObject>
#include <QString>
#include <functional>

// The object the page's relay reaches as the channel's "tarn": postMessage for the JSON text of
// what the page sends, exceeded when the page tried for far more than its budget, and one signal,
// dispatch, for what the dashboard calls on the page. Nothing else the page could read.
//
// Everything the dashboard sends travels as a signal argument rather than as evaluated script:
// each evaluated script is compiled and cached by the page's engine, and a renderer fed a fresh
// script every second grows without bound.
class WidgetChannelEndpoint : public QObject {
    Q_OBJECT

public:
    WidgetChannelEndpoint(std::function<void(const QString&)> receive,
                          std::function<void()> exceeded, QObject* parent = nullptr)
        : QObject(parent), m_receive(std::move(receive)), m_exceeded(std::move(exceeded)) {}

    Q_INVOKABLE void postMessage(const QString& text) { m_receive(text); }
    Q_INVOKABLE void exceeded() { m_exceeded(); }

signals:
    // Calls `Tarn[function](...arguments)` in the page; `arguments` is the text of a JSON array.
    void dispatch(const QString& function, const QString& arguments);

private:
    std::function<void(const QString&)> m_receive;
    std::function<void()> m_exceeded;
};
