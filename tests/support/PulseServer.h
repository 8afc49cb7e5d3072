#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

// A PulseAudio daemon of the test's own with two null sinks, "Test Sink A" (the default, whose
// monitor is the default source) and "Test Sink B". Clients reach it through PULSE_SERVER.
class PulseServer {
public:
    PulseServer() {
        QDir().mkpath(m_folder.filePath("xdg"));
        QFile::setPermissions(m_folder.filePath("xdg"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(m_folder.filePath("state"));
        QFile config(m_folder.filePath("test.pa"));
        config.open(QIODevice::WriteOnly);
        config.write("load-module module-native-protocol-unix auth-anonymous=1 socket=" +
                     QFile::encodeName(socket()) +
                     "\n"
                     "load-module module-null-sink sink_name=sinkA "
                     "sink_properties='device.description=\"Test Sink A\"'\n"
                     "load-module module-null-sink sink_name=sinkB "
                     "sink_properties='device.description=\"Test Sink B\"'\n"
                     "set-default-sink sinkA\n"
                     "set-default-source sinkA.monitor\n");
        config.close();
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket()));
        start();
    }

    ~PulseServer() {
        stop();
        qunsetenv("PULSE_SERVER");
    }

    // Starts the daemon (again), and waits for its socket.
    void start() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_folder.filePath("state"));
        environment.insert("XDG_CONFIG_HOME", m_folder.filePath("state"));
        environment.insert("XDG_RUNTIME_DIR", m_folder.filePath("xdg"));
        m_daemon.setProcessEnvironment(environment);
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.start("pulseaudio",
                       {"-n", "-F", m_folder.filePath("test.pa"), "--daemonize=no",
                        "--exit-idle-time=-1", "--log-target=stderr", "--log-level=error"});
        for (int i = 0; i < 100 && !QFile::exists(socket()); ++i)
            QThread::msleep(50);
        if (!QFile::exists(socket()))
            ADD_FAILURE() << "pulseaudio did not start: " << m_daemon.readAll().toStdString();
        // A null sink renders in two-second blocks until something records its monitor.
        m_recorder.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_recorder.setStandardOutputFile(QProcess::nullDevice());
        m_recorder.start("pacat", {"--record", "--latency-msec=10", "-d", "sinkA.monitor"});
    }

    // Ends the daemon as a user's session would, and whatever plays or records on it.
    void stop() {
        for (QProcess* client : {&m_player, &m_recorder}) {
            client->kill();
            client->waitForFinished(2000);
        }
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }

    QString socket() const { return m_folder.filePath("native"); }

    // Plays a sine of the given RMS level (dBFS) into sink A for `seconds`, in the background.
    void playTone(double decibels, double seconds) {
        const double amplitude = std::pow(10.0, decibels / 20) * std::sqrt(2.0);
        QByteArray samples;
        const int rate = 48000;
        for (int i = 0; i < int(seconds * rate); ++i) {
            const float value = float(amplitude * std::sin(2 * M_PI * 1000 * i / rate));
            samples.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
        QFile tone(m_folder.filePath("tone.raw"));
        tone.open(QIODevice::WriteOnly);
        tone.write(samples);
        tone.close();
        m_player.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_player.start("pacat", {"--playback", "--latency-msec=20", "--raw", "--format=float32le",
                                 "--rate=48000", "--channels=1", "-d", "sinkA", tone.fileName()});
    }

    PulseServer(const PulseServer&) = delete;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QProcess m_recorder;
    QProcess m_player;
};
