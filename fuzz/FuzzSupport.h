#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

// What every fuzz target shares: the input as Qt bytes, an application object for code that
// needs one, a scratch folder that lives as long as the run, and a way to report a broken rule.
namespace FuzzSupport {

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

inline const QTemporaryDir& scratch() {
    static QTemporaryDir folder;
    return folder;
}

// Replaces the file's contents; a file that cannot be written is left as it is.
inline void writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

// A rule of the code under test does not hold: libFuzzer records the input that broke it.
inline void require(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace FuzzSupport
