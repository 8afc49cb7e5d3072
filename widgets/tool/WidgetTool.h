#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The command-line tool for widget authors and users: validate, install, remove, list and
// create packages, against the same folders the dashboard uses.
class WidgetTool {
public:
    WidgetTool(QString dataDirectory, QString resourcesDirectory, QTextStream& out,
               QTextStream& err);

    // `arguments` without the program name; returns the exit status.
    int run(const QStringList& arguments);

    static QString usage();

private:
    int validate(const QString& folder);
    int install(const QString& folder);
    int remove(const QString& id);
    int list();
    int create(const QString& id, const QString& folder);

    QString m_dataDirectory;
    QString m_resourcesDirectory;
    QTextStream& m_out;
    QTextStream& m_err;
};
