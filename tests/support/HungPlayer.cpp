// Claims the player's bus name and then never answers: a hung music player.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(argv[1]), "hung");
    // Calls to a registered object are handled in this thread, which never runs its event loop.
    QObject player;
    if (!bus.registerObject(QStringLiteral("/org/mpris/MediaPlayer2"), &player,
                            QDBusConnection::ExportAllContents) ||
        !bus.registerService(QStringLiteral("org.mpris.MediaPlayer2.spotify")))
        return 1;
    if (write(STDOUT_FILENO, "ready\n", 6) != 6)
        return 1;
    for (;;)
        pause(); // no event loop: calls wait forever
}
