#include "AIActivityService.h"

#include "integrations/Background.h"
#include "model/linux/PlatformTexts.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace {

struct Candidate {
    QString path;
    double modified = 0;
};

// Modification time with sub-second precision; nothing when the file cannot be looked at.
std::optional<double> modificationTime(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return double(status.st_mtim.tv_sec) + double(status.st_mtim.tv_nsec) / 1e9;
}

// Every "*.jsonl" regular file below the folder; hidden entries, links and "subagents" folders
// are passed over.
QList<Candidate> transcriptFiles(const QString& root) {
    QList<Candidate> found;
    QStringList folders{root};
    while (!folders.isEmpty()) {
        const QDir folder(folders.takeLast());
        const QFileInfoList entries =
                folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            if (entry.fileName() == QStringLiteral("subagents") || entry.isSymLink())
                continue;
            if (entry.isDir()) {
                folders.append(entry.filePath());
            } else if (entry.isFile() && entry.suffix() == QStringLiteral("jsonl")) {
                found.append({entry.filePath(), modificationTime(entry.filePath()).value_or(0)});
            }
        }
    }
    return found;
}

QByteArray readAt(QFile& file, qint64 offset, qint64 length) {
    if (!file.seek(offset))
        return {};
    return file.read(length);
}

} // namespace

AIActivityService::AIActivityService(QString homeFolder, std::shared_ptr<const Clock> clock,
                                     QObject* parent)
    : QObject(parent), m_home(std::move(homeFolder)),
      m_clock(std::move(clock)), m_state{{QStringLiteral("sessions"), QJsonArray()},
                                         {QStringLiteral("message"),
                                          QStringLiteral("Looking for local sessions…")}} {}

QList<AIActivityService::Transcript> AIActivityService::findTranscripts(const QString& homeFolder) {
    const std::pair<const char*, const char*> roots[] = {{"codex", ".codex/sessions"},
                                                         {"claude", ".claude/projects"}};
    QList<Transcript> files;
    for (const auto& [provider, folder] : roots) {
        QList<Candidate> candidates =
                transcriptFiles(QDir(homeFolder).filePath(QLatin1String(folder)));
        std::stable_sort(
                candidates.begin(), candidates.end(),
                [](const Candidate& a, const Candidate& b) { return a.modified > b.modified; });
        for (qsizetype i = 0; i < std::min<qsizetype>(candidates.size(), filesPerProvider); ++i)
            files.append({candidates[i].path, QLatin1String(provider)});
    }
    return files;
}

AIActivityService::Sessions AIActivityService::readSessions(const QList<Transcript>& files,
                                                            const Sessions& cache) {
    Sessions sessions;
    for (const Transcript& transcript : files) {
        const auto modified = modificationTime(transcript.path);
        if (!modified)
            continue; // vanished since the folders were listed
        const auto cached = cache.constFind(transcript.path);
        if (cached != cache.cend() && cached->updated == *modified) {
            sessions.insert(transcript.path, *cached);
            continue;
        }
        QFile file(transcript.path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        AISession session = AISession::start(transcript.path, transcript.provider, *modified);
        session.parse(file.read(headBytes));
        // The tail decides the current state; the activity is rebuilt from it alone.
        const qint64 size = file.size();
        session.activity = CodexActivity();
        qint64 offset = 0;
        if (size > tailBytes) {
            offset = size - tailBytes;
            session.status = QStringLiteral("Unknown");
        }
        session.parse(readAt(file, offset, tailBytes));
        sessions.insert(transcript.path, session);
    }
    return sessions;
}

void AIActivityService::refresh(std::function<void()> done) {
    if (m_busy) {
        if (done)
            done();
        return;
    }
    m_busy = true;
    const double now = m_clock->now().toMSecsSinceEpoch() / 1000.0;
    const bool rescan = !m_lastScan || now - *m_lastScan > rescanInterval;
    const QString home = m_home;
    const QList<Transcript> files = m_files;
    const Sessions cache = m_cache;
    runInBackground(
            this,
            [home, files, rescan, cache] {
                const QList<Transcript> chosen = rescan ? findTranscripts(home) : files;
                return std::make_pair(chosen, readSessions(chosen, cache));
            },
            [this, rescan, now, done](const std::pair<QList<Transcript>, Sessions>& result) {
                m_files = result.first;
                m_cache = result.second;
                if (rescan)
                    m_lastScan = now;
                publish(m_clock->now().toMSecsSinceEpoch() / 1000.0);
                m_busy = false;
                emit changed();
                if (done)
                    done();
            });
}

void AIActivityService::publish(double now) {
    QList<AISession> sessions = m_cache.values();
    std::stable_sort(sessions.begin(), sessions.end(),
                     [](const AISession& a, const AISession& b) { return a.updated > b.updated; });
    QJsonArray list;
    for (const AISession& session : sessions)
        list.append(session.snapshot());
    m_state = {
            {QStringLiteral("sessions"), list},
            {QStringLiteral("message"), list.isEmpty() ? PlatformTexts::noAISessions() : QString()},
            {QStringLiteral("checked"), now}};
}
