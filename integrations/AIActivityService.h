#pragma once

#include "integrations/AISession.h"
#include "model/Clock.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

// The sessions of the local AI coding assistants (Codex and Claude Code), read from the JSON
// Lines transcripts they keep under the home folder. Folder scans and file reads run off the main
// thread; a file is read again only when its modification time changed.
class AIActivityService : public QObject {
    Q_OBJECT

public:
    static constexpr int filesPerProvider = 6;
    static constexpr double rescanInterval = 30.0;
    static constexpr qint64 headBytes = 65536;
    static constexpr qint64 tailBytes = 2097152;

    struct Transcript {
        QString path;
        QString provider;
    };
    using Sessions = QHash<QString, AISession>; // by transcript path

    AIActivityService(QString homeFolder, std::shared_ptr<const Clock> clock,
                      QObject* parent = nullptr);

    const QJsonObject& state() const { return m_state; }
    bool isBusy() const { return m_busy; }

    // Rereads the transcripts; does nothing (but call `done`) while a refresh is still running.
    void refresh(std::function<void()> done = {});

    // The background half of a refresh: which files to follow, and their sessions.
    static QList<Transcript> findTranscripts(const QString& homeFolder);
    static Sessions readSessions(const QList<Transcript>& files, const Sessions& cache);

signals:
    void changed();

private:
    void publish(double now);

    QString m_home;
    std::shared_ptr<const Clock> m_clock;
    QJsonObject m_state;
    Sessions m_cache;
    QList<Transcript> m_files;
    std::optional<double> m_lastScan;
    bool m_busy = false;
};
