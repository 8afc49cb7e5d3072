#pragma once

#include <QJsonValue>
#include <QObject>
#include <functional>

// The object a widget page reaches as the channel's "tarn": it has one method, postMessage, and
// deliberately no signals or properties the page could read.
class WidgetChannelEndpoint : public QObject {
    Q_OBJECT

public:
    explicit WidgetChannelEndpoint(std::function<void(const QJsonValue&)> receive,
                                   QObject* parent = nullptr)
        : QObject(parent), m_receive(std::move(receive)) {}

    Q_INVOKABLE void postMessage(const QJsonValue& message) { m_receive(message); }

private:
    std::function<void(const QJsonValue&)> m_receive;
};
