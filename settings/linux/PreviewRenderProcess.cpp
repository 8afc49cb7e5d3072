#include "PreviewRenderProcess.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace {

constexpr int timeLimitMilliseconds = 30000;
// How long the page may settle once its state is shown.
const QString settle = QStringLiteral("800");

} // namespace

PackagePreviews::Renderer previewRenderProcess(QString program) {
    return [program](const PackagePreviews::Render& render, QObject* owner,
                     std::function<void(bool)> done) {
        auto* process = new QProcess(owner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        // Pictures wait for everything else, and none outlives the program that asked for it.
        process->setChildProcessModifier([] {
            ::setpriority(PRIO_PROCESS, 0, 19);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        auto* limit = new QTimer(process);
        limit->setSingleShot(true);
        QObject::connect(limit, &QTimer::timeout, process, &QProcess::kill);
        const QString picture = render.picture;
        QObject::connect(process, &QProcess::finished, process,
                         [process, done, picture](int status, QProcess::ExitStatus exit) {
                             // Status 1 with a picture: the page complained but was drawn.
                             done(exit == QProcess::NormalExit && status <= 1 &&
                                  QFileInfo(picture).size() > 0);
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, done](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             done(false);
                             process->deleteLater();
                         });
        process->start(program,
                       {render.packageFolder, picture, QStringLiteral("--size"),
                        QStringLiteral("%1x%2").arg(render.size.width()).arg(render.size.height()),
                        QStringLiteral("--sample"), QStringLiteral("--wait"), settle});
        limit->start(timeLimitMilliseconds);
    };
}
