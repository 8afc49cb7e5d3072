#pragma once

#include "integrations/FolderChooser.h"
#include "integrations/RepositoryReader.h"
#include "integrations/ShortcutsTool.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

struct ProjectPrograms {
    std::shared_ptr<RepositoryReader> repository; // none: no project can be read
    double gitTimeout = 8;                        // a read taking longer counts as failed
    double listTimeout = 8;
    double runTimeout = 120;
};

// A Git project's branch, last commit, changed files and build log outcome, and the user's
// automations. Each project widget has its own service, remembering its folder in
// "project.json".
class ProjectService : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 buildLogTail = 65536;

    ProjectService(QString directory, std::shared_ptr<FolderChooser> chooser,
                   std::shared_ptr<ShortcutsTool> shortcuts, ProjectPrograms programs = {},
                   QObject* parent = nullptr);

    const QJsonObject& state() const { return m_state; }
    const QStringList& shortcuts() const { return m_shortcuts; }
    const QString& shortcutStatus() const { return m_shortcutStatus; }
    const std::optional<QString>& project() const { return m_project; }
    const std::optional<QString>& buildLog() const { return m_buildLog; }
    QString settingsPath() const;
    bool isBusy() const { return m_busy; }
    bool isShortcutBusy() const { return m_shortcutBusy; }

    // `done` runs when the refresh finished, or at once when there was nothing to do.
    void refresh(std::function<void()> done = {});
    void choose(bool log, std::function<void()> done = {});
    void loadShortcuts(std::function<void()> done = {});
    // Fails (through `done`) for an unknown name, for a failed run, and while another
    // automation runs.
    void runShortcut(const QString& name, std::function<void(const std::optional<QString>&)> done);

    static QString busyMessage();
    static int changeCount(const QString& porcelain);
    static QString buildStatus(const QString& log);

signals:
    void changed();

private:
    void readRepository(QJsonObject state, std::function<void()> done);
    void readBuildLog(QJsonObject state, std::function<void()> done);
    void finishRefresh(const QJsonObject& state, const std::function<void()>& done);
    void saveSettings() const;

    QString m_directory;
    std::shared_ptr<FolderChooser> m_chooser;
    std::shared_ptr<ShortcutsTool> m_tool;
    ProjectPrograms m_programs;
    QJsonObject m_state{{QStringLiteral("configured"), false}};
    QStringList m_shortcuts;
    QString m_shortcutStatus;
    std::optional<QString> m_project;
    std::optional<QString> m_buildLog;
    bool m_busy = false;
    quint64 m_refreshRun = 0; // answers of older runs are dropped
    bool m_readInFlight = false;
    bool m_shortcutBusy = false;
};
