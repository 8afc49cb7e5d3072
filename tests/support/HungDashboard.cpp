// Holds a data folder's lock and the dashboard's bus name, then never answers: a hung dashboard.
// Given a number of milliseconds as well, holds the lock only, that long, off the bus.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QLockFile>
#include <QObject>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QDir().mkpath(QString::fromLocal8Bit(argv[2]));
    QLockFile lock(QDir(QString::fromLocal8Bit(argv[2])).filePath("tablora.lock"));
    lock.setStaleLockTime(0);
    if (argc > 3) {
        if (!lock.tryLock(0) || write(STDOUT_FILENO, "ready\n", 6) != 6)
            return 1;
        usleep(useconds_t(atoi(argv[3])) * 1000);
        return 0;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(argv[1]), "hung");
    // Calls to a registered object are handled in this thread, which never runs its event loop.
    QObject dashboard;
    if (!lock.tryLock(0) ||
        !bus.registerObject(QStringLiteral("/org/tablora/Tablora"), &dashboard,
                            QDBusConnection::ExportAllContents) ||
        !bus.registerService(QStringLiteral("org.tablora.Tablora")))
        return 1;
    if (write(STDOUT_FILENO, "ready\n", 6) != 6)
        return 1;
    for (;;)
        pause(); // no event loop: calls wait forever
}
