#include "ProjectService.h"

#include "integrations/Background.h"
#include "model/JsonCoding.h"
#include "model/StateFile.h"
#include "model/linux/PlatformTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace {

const QString settingsFile = QStringLiteral("project.json");

QString lastPathComponent(const QString& path) {
    QString trimmed = QDir::cleanPath(path);
    const QString last = trimmed.section(QLatin1Char('/'), -1);
    return last.isEmpty() ? trimmed : last;
}

struct BuildLogTail {
    bool opened = false;
    QString text;
    std::optional<double> modifiedMs;
};

BuildLogTail readTail(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    file.seek(std::max<qint64>(size - ProjectService::buildLogTail, 0));
    BuildLogTail tail{true, QString::fromUtf8(file.readAll()), std::nullopt};
    const QDateTime modified = QFileInfo(path).lastModified();
    if (modified.isValid())
        tail.modifiedMs = double(modified.toMSecsSinceEpoch());
    return tail;
}

} // namespace

ProjectService::ProjectService(QString directory, std::shared_ptr<FolderChooser> chooser,
                               std::shared_ptr<ShortcutsTool> shortcuts, ProjectPrograms programs,
                               QObject* parent)
    : QObject(parent), m_directory(std::move(directory)), m_chooser(std::move(chooser)),
      m_tool(std::move(shortcuts)), m_programs(std::move(programs)),
      m_shortcutStatus(PlatformTexts::automationsNotLoaded()) {
    const auto document = StateFile::contents(m_directory, settingsFile);
    if (!document)
        return;
    try {
        const QJsonObject settings = Json::parseObject(*document);
        m_project = Json::optionalString(settings, QStringLiteral("project"));
        m_buildLog = Json::optionalString(settings, QStringLiteral("buildLog"));
    } catch (const DecodingError&) {
        // An unreadable settings file leaves the widget unconfigured.
        m_project.reset();
        m_buildLog.reset();
    }
}

QString ProjectService::settingsPath() const {
    return QDir(m_directory).filePath(settingsFile);
}

void ProjectService::saveSettings() const {
    QJsonObject settings;
    if (m_project)
        settings.insert(QStringLiteral("project"), *m_project);
    if (m_buildLog)
        settings.insert(QStringLiteral("buildLog"), *m_buildLog);
    // A lost choice is asked for again; not worth a message.
    StateFile::write(m_directory, settingsFile,
                     QJsonDocument(settings).toJson(QJsonDocument::Compact));
}

// ---- Project state

void ProjectService::refresh(std::function<void()> done) {
    if (!m_project || m_busy) {
        if (done)
            done();
        return;
    }
    m_busy = true;
    readRepository(QJsonObject{{QStringLiteral("configured"), true},
                               {QStringLiteral("name"), lastPathComponent(*m_project)}},
                   std::move(done));
}

void ProjectService::readRepository(QJsonObject state, std::function<void()> done) {
    QJsonObject failed = state;
    failed.insert(QStringLiteral("error"),
                  QStringLiteral("Project unavailable or not a Git repository"));
    // A read stuck on a hung file system still holds its thread: no second one joins it.
    if (m_readInFlight || !m_programs.repository) {
        finishRefresh(failed, done);
        return;
    }
    m_readInFlight = true;
    const quint64 run = ++m_refreshRun;
    const double limit = std::clamp(m_programs.gitTimeout * 1000, 0.0, 3.6e6);
    QTimer::singleShot(int(limit), this, [this, run, failed, done] {
        if (run != m_refreshRun)
            return;
        ++m_refreshRun;
        finishRefresh(failed, done);
    });
    runInBackground(
            this,
            [reader = m_programs.repository, path = *m_project] { return reader->read(path); },
            [this, run, state, failed, done](const std::optional<RepositoryState>& read) mutable {
                m_readInFlight = false;
                if (run != m_refreshRun)
                    return; // it came too late
                ++m_refreshRun;
                if (!read) {
                    finishRefresh(failed, done);
                    return;
                }
                state.insert(QStringLiteral("branch"), read->branch.trimmed());
                state.insert(QStringLiteral("changes"), read->changes);
                state.insert(QStringLiteral("commit"), read->commit.trimmed());
                state.insert(QStringLiteral("build"), QStringLiteral("No build log selected"));
                readBuildLog(state, done);
            });
}

void ProjectService::readBuildLog(QJsonObject state, std::function<void()> done) {
    if (!m_buildLog) {
        finishRefresh(state, done);
        return;
    }
    // A log on a slow disk must not hold up the dashboard.
    const QString path = *m_buildLog;
    runInBackground(
            this, [path] { return readTail(path); },
            [this, path, state, done](const BuildLogTail& tail) mutable {
                if (tail.opened) {
                    state.insert(QStringLiteral("build"), buildStatus(tail.text));
                    state.insert(QStringLiteral("log"), lastPathComponent(path));
                    if (tail.modifiedMs)
                        state.insert(QStringLiteral("buildUpdated"), *tail.modifiedMs);
                }
                finishRefresh(state, done);
            });
}

void ProjectService::finishRefresh(const QJsonObject& state, const std::function<void()>& done) {
    m_state = state;
    emit changed();
    m_busy = false;
    if (done)
        done();
}

void ProjectService::choose(bool log, std::function<void()> done) {
    const QString title =
            log ? QStringLiteral("Choose a build log") : QStringLiteral("Choose a Git project");
    QPointer<ProjectService> self(this);
    m_chooser->choose(title, log, [self, log, done](const std::optional<QString>& path) {
        if (!self || !path) {
            if (done)
                done();
            return;
        }
        if (log) {
            self->m_buildLog = *path;
        } else {
            self->m_project = *path;
            self->m_buildLog.reset(); // a new project starts without a build log
        }
        self->saveSettings();
        self->refresh(done);
    });
}

// ---- Automations

void ProjectService::loadShortcuts(std::function<void()> done) {
    if (m_shortcutBusy) {
        if (done)
            done();
        return;
    }
    m_shortcutBusy = true;
    m_tool->list(m_programs.listTimeout, this, [this, done](const ProcessResult& result) {
        if (result.ok) {
            QStringList names = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            std::sort(names.begin(), names.end());
            m_shortcuts = names;
            m_shortcutStatus =
                    names.isEmpty() ? PlatformTexts::noAutomations() : QStringLiteral("Ready");
        } else {
            m_shortcutStatus = PlatformTexts::automationsUnreadable();
        }
        emit changed();
        m_shortcutBusy = false;
        if (done)
            done();
    });
}

void ProjectService::runShortcut(const QString& name,
                                 std::function<void(const std::optional<QString>&)> done) {
    if (!m_shortcuts.contains(name)) {
        done(QStringLiteral("Refresh and choose an available shortcut"));
        return;
    }
    if (m_shortcutBusy) {
        // Nothing runs, and the widget is told so rather than answered as if it had.
        done(busyMessage());
        return;
    }
    m_shortcutBusy = true;
    m_shortcutStatus = QStringLiteral("Running ") + name + QStringLiteral("…");
    emit changed();
    m_tool->run(name, m_programs.runTimeout, this, [this, name, done](const ProcessResult& result) {
        m_shortcutStatus = result.ok ? QStringLiteral("Finished ") + name
                                     : QStringLiteral("Shortcut failed or exceeded two minutes");
        m_shortcutBusy = false;
        emit changed();
        done(result.ok ? std::nullopt : std::optional(result.error));
    });
}

QString ProjectService::busyMessage() {
    return QStringLiteral("Another automation is running. Try again when it finishes.");
}

// ---- Parsing

int ProjectService::changeCount(const QString& porcelain) {
    const QStringList pieces = porcelain.split(QChar(0), Qt::SkipEmptyParts);
    int changes = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        ++changes;
        const QString status = pieces[i].left(2);
        // A rename or copy names its former path in the next piece.
        if (status.contains(QLatin1Char('R')) || status.contains(QLatin1Char('C')))
            ++i;
    }
    return changes;
}

QString ProjectService::buildStatus(const QString& log) {
    const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString lower = line->toLower();
        if (lower.contains(QStringLiteral("build failed")) ||
            lower.contains(QStringLiteral("build failure")) ||
            lower.contains(QStringLiteral("error:")))
            return QStringLiteral("Failed");
        if (lower.contains(QStringLiteral("build succeeded")) ||
            lower.contains(QStringLiteral("build complete!")) ||
            lower.contains(QStringLiteral("build success")))
            return QStringLiteral("Succeeded");
    }
    return QStringLiteral("No result found in log");
}
