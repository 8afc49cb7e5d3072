#pragma once

#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// Writes widget package folders for tests: a valid manifest and entry unless told otherwise.
class PackageBuilder {
public:
    explicit PackageBuilder(QString folder) : m_folder(std::move(folder)) {}

    static QJsonObject validManifest(const QString& id = QStringLiteral("com.example.clock")) {
        return QJsonObject{{"apiVersion", 1},
                           {"id", id},
                           {"name", "Clock"},
                           {"version", "1.0"},
                           {"author", "Tests"},
                           {"entry", "index.html"},
                           {"permissions", QJsonArray{}}};
    }

    // Writes the package with the manifest (changed by `edit`) and an entry page; returns its path.
    QString write(const QString& name, QJsonObject manifest = validManifest()) const {
        const QString root = QDir(m_folder).filePath(name);
        QDir().mkpath(root);
        file(name + "/manifest.json", QJsonDocument(manifest).toJson());
        file(name + "/index.html", "<p>hello</p>");
        return root;
    }

    QString file(const QString& relative, const QByteArray& contents) const {
        return writeFile(QDir(m_folder).filePath(relative), contents);
    }

    QString path(const QString& relative) const { return QDir(m_folder).filePath(relative); }

private:
    QString m_folder;
};
