#pragma once

#include "touch/ServiceControl.h"

#include <QStringList>
#include <deque>
#include <memory>

// A user service manager with one unit. Answers at once, or only when the test says so.
class FakeServices : public ServiceControl {
public:
    bool exists = true;
    bool active = true;
    int stopStatus = 0;
    int startStatus = 0;
    bool deferred = false; // answers wait for answer()
    QStringList commands;  // "is-active", "stop", "start" in order

    void run(Command command, const QString&, Done done) override {
        const auto answer = [this, command, done] {
            switch (command) {
            case Command::isActive:
                commands.append("is-active");
                done(exists && active ? 0 : 3);
                break;
            case Command::stop:
                commands.append("stop");
                if (exists && stopStatus == 0)
                    active = false;
                done(exists ? stopStatus : 5);
                break;
            case Command::start:
                commands.append("start");
                if (exists && startStatus == 0)
                    active = true;
                done(exists ? startStatus : 5);
                break;
            }
        };
        if (deferred)
            m_waiting.push_back(answer);
        else
            answer();
    }

    void waitForIdle(int) override {
        while (!m_waiting.empty())
            answer();
    }

    // Answers the oldest waiting command.
    void answer() {
        auto next = std::move(m_waiting.front());
        m_waiting.pop_front();
        next();
    }
    size_t waiting() const { return m_waiting.size(); }

private:
    std::deque<std::function<void()>> m_waiting;
};

// Hands a shared fake to an owner, so the test can still look at it once the owner is gone.
class SharedServices : public ServiceControl {
public:
    explicit SharedServices(std::shared_ptr<FakeServices> services)
        : m_services(std::move(services)) {}
    void run(Command command, const QString& unit, Done done) override {
        m_services->run(command, unit, std::move(done));
    }
    void waitForIdle(int milliseconds) override { m_services->waitForIdle(milliseconds); }

private:
    std::shared_ptr<FakeServices> m_services;
};
