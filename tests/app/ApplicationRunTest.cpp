// Runs the real program: a first start in an empty data folder, then a quit by signal.
#include "model/Preferences.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Application, FirstStartWritesThePagesAndQuittingSavesThem) {
    QTemporaryDir data;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", data.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    // In the sanitizer build: the web engine's own mismatched deletes at exit are not ours.
    if (environment.contains("ASAN_OPTIONS"))
        environment.insert("ASAN_OPTIONS",
                           environment.value("ASAN_OPTIONS") + ":new_delete_type_mismatch=0");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(TABLORA_EXECUTABLE, {"--preview"});
    ASSERT_TRUE(program.waitForStarted());

    const QString preferences = data.filePath("Tarn/preferences.json");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(preferences); }, 15000));
    QFile written(preferences);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const Preferences first = Preferences::fromJson(written.readAll());
    written.close();
    EXPECT_EQ(first.pageCount, 3);
    EXPECT_EQ(first.board, Board::overview);
    EXPECT_EQ(first.pageLayouts.keys(), QStringList({"Focus", "Overview", "System"}));

    // Quitting writes the preferences again, so a file removed meanwhile comes back.
    ASSERT_TRUE(QFile::remove(preferences));
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(preferences));
}
