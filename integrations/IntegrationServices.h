#pragma once

#include "integrations/AIActivityService.h"
#include "integrations/ActivityService.h"
#include "integrations/AudioService.h"
#include "integrations/OrganizerService.h"
#include "integrations/ProjectService.h"
#include "integrations/SpotifyService.h"
#include "model/Clock.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QSettings>
#include <functional>
#include <memory>
#include <optional>

// What the services need from the platform. Anything left empty is replaced by a stand-in
// that has nothing to offer (no player, no covers, no sound server, no calendar, no automations).
struct IntegrationPlatform {
    QString homeFolder;
    std::shared_ptr<PlayerTransport> player;
    std::shared_ptr<ArtworkReader> artwork; // none: players' covers are not shown
    std::shared_ptr<AudioBackend> audio;
    std::shared_ptr<CalendarBackend> calendar;
    std::unique_ptr<ActivityReadings> activity;
    std::shared_ptr<FolderChooser> chooser;
    std::shared_ptr<ShortcutsTool> automations;
    OrganizerService::UrlOpener openUrl;
    std::shared_ptr<QSettings> settings;
    ActivityPrograms activityPrograms;
    ProjectPrograms projectPrograms;
};

// The one way to the integration services: their snapshots for widgets, the commands widgets
// send them, and keeping fresh those that a widget looked at in the last five seconds.
class IntegrationServices : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const std::optional<QString>& error)>;

    static constexpr double recentSeconds = 5.0;

    IntegrationServices(QString directory, std::shared_ptr<const Clock> clock,
                        IntegrationPlatform platform, QObject* parent = nullptr);

    // The integration permissions, in their order of declaration.
    static const QStringList& permissions();
    // Command name -> the permission it needs.
    static const QMap<QString, QString>& commands();

    // Records that a widget looked at the permission's state, and returns that state.
    QJsonObject snapshot(const QString& permission, const QString& instanceID);
    // Runs an integration command; `done` receives the failure, or nothing on success.
    void perform(const QString& command, const QJsonObject& arguments, const QString& instanceID,
                 Done done);
    void tick();
    // Disk and network throughput now, whether or not a widget reads them yet (at start).
    void sampleActivity();
    // The heartbeat while nobody can see the dashboard: the microphone stops, and of what the
    // widgets in use read, only histories go on (the disks' and interfaces' rates), so their
    // graphs have no gap when somebody looks again.
    void rest();
    // The computer slept: rates measured across the sleep are not taken.
    void startRatesOver();

    ProjectService& projectFor(const QString& instanceID);
    static QString instanceFolderName(const QString& instanceID);

    SpotifyService& spotify() { return *m_spotify; }
    AudioService& audio() { return *m_audio; }
    OrganizerService& organizer() { return *m_organizer; }
    ActivityService& activity() { return *m_activity; }
    AIActivityService& ai() { return *m_ai; }
    ProjectService& project() { return *m_project; }
    qint64 ticks() const { return m_ticks; }

signals:
    void changed();

private:
    QSet<QString> recentPermissions() const;
    void refreshProjects();
    ProjectService* makeProjectService(const QString& directory);

    QString m_directory;
    std::shared_ptr<const Clock> m_clock;
    IntegrationPlatform m_platform;
    std::unique_ptr<SpotifyService> m_spotify;
    std::unique_ptr<AudioService> m_audio;
    std::unique_ptr<OrganizerService> m_organizer;
    std::unique_ptr<ActivityService> m_activity;
    std::unique_ptr<AIActivityService> m_ai;
    std::unique_ptr<ProjectService> m_project;
    std::map<QString, std::unique_ptr<ProjectService>> m_projects;
    QHash<QString, QDateTime> m_active;
    // What was in use when the rest began; none while somebody looks.
    std::optional<QSet<QString>> m_inUseAtRest;
    qint64 m_ticks = 0;
};
