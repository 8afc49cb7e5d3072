#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

// The pages and scripts tests load into widgets, kept as files under tests/pages.
inline QString testPagePath(const QString& name) {
    return QStringLiteral(TABLORA_TEST_PAGES "/") + name;
}

inline QByteArray testPage(const QString& name) {
    QFile file(testPagePath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("The test page %s is missing", qPrintable(file.fileName()));
    return file.readAll();
}
