#pragma once

#include "store/TarnStore.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>

// The command-line tool for widget authors and users: validate, install, remove, list and
// create packages, against the same folders the dashboard uses.
class WidgetTool {
public:
    // Makes the store's environment for "snapshot": the platform's real services.
    using EnvironmentFactory = std::function<TarnStore::Environment()>;

    WidgetTool(QString dataDirectory, QString resourcesDirectory, QTextStream& out,
               QTextStream& err, EnvironmentFactory environment = {});

    // `arguments` without the program name; returns the exit status.
    int run(const QStringList& arguments);

    static QString usage();

private:
    int validate(const QString& folder);
    int install(const QString& folder);
    int remove(const QString& id);
    int list();
    int create(const QString& id, const QString& folder);
    int snapshotCommand(const QStringList& options);
    int snapshot(const QStringList& permissions, const std::optional<QString>& instance);
    static void refreshOnce(TarnStore& store, const QStringList& permissions, const QString& key);

    QString m_dataDirectory;
    QString m_resourcesDirectory;
    QTextStream& m_out;
    QTextStream& m_err;
    EnvironmentFactory m_environment;
};
