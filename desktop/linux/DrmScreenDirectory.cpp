#include "DrmScreenDirectory.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

QList<QScreen*> screensMainFirst() {
    QList<QScreen*> all = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        all.removeAll(primary);
        all.prepend(primary);
    }
    return all;
}

QString modelText(const DisplayModel& model) {
    return QStringLiteral("%1:%2")
            .arg(model.vendor, 4, 16, QLatin1Char('0'))
            .arg(model.model, 4, 16, QLatin1Char('0'))
            .toUpper();
}

} // namespace

DrmScreenDirectory::DrmScreenDirectory(QString sysfsRoot) : m_sysfsRoot(std::move(sysfsRoot)) {
    refresh();
}

DrmScreenDirectory::DrmScreenDirectory(QString sysfsRoot, Skip)
    : m_sysfsRoot(std::move(sysfsRoot)) {}

void DrmScreenDirectory::refresh() {
    const QHash<quint32, EdidIdentity> platform = platformIdentities();
    m_models.clear();
    m_monitorNames.clear();
    for (auto it = platform.begin(); it != platform.end(); ++it) {
        m_models.insert(it.key(), it->model);
        m_monitorNames.insert(it.key(), it->monitorName);
    }
    m_report.clear();
    const QList<QScreen*> all = screensMainFirst();
    QList<ScreenFacts> facts;
    for (QScreen* screen : all) {
        const QSize pixels =
                (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize();
        facts.append({screen->name(), screen->model(), pixels});
    }
    const QList<DrmConnector> connectors = readDrmConnectors(m_sysfsRoot);
    const QList<std::optional<DrmConnector>> matches = matchConnectors(facts, connectors);
    for (qsizetype i = 0; i < all.size(); ++i) {
        const quint32 number = displayNumber(facts[i].name);
        const QString screen =
                facts[i].name.isEmpty() ? QStringLiteral("(unnamed screen)") : facts[i].name;
        if (m_models.contains(number)) {
            m_report.append(QStringLiteral("%1: %2 from %3")
                                    .arg(screen, modelText(m_models[number]), platformSource()));
        } else if (matches[i]) {
            m_models.insert(number, matches[i]->identity.model);
            m_monitorNames.insert(number, matches[i]->identity.monitorName);
            m_report.append(QStringLiteral("%1: %2 from the kernel's connector %3")
                                    .arg(screen, modelText(matches[i]->identity.model),
                                         matches[i]->connector));
        } else {
            m_report.append(QStringLiteral("%1: unknown monitor (%2 %3)")
                                    .arg(screen, facts[i].model.isEmpty()
                                                         ? QStringLiteral("no model")
                                                         : facts[i].model)
                                    .arg(QStringLiteral("%1x%2")
                                                 .arg(facts[i].pixelSize.width())
                                                 .arg(facts[i].pixelSize.height())));
        }
    }
}

QList<ScreenInfo> DrmScreenDirectory::screens() const {
    QList<ScreenInfo> screens;
    for (QScreen* screen : screensMainFirst()) {
        const Qt::ScreenOrientation orientation = screen->orientation();
        const double rotation = orientation == Qt::PortraitOrientation            ? 90
                                : orientation == Qt::InvertedLandscapeOrientation ? 180
                                : orientation == Qt::InvertedPortraitOrientation  ? 270
                                                                                  : 0;
        const quint32 number = displayNumber(screen->name());
        screens.append({screen->name(), screen->geometry(), number, rotation,
                        screen->availableGeometry(), m_monitorNames.value(number)});
    }
    return screens;
}

DisplayModel DrmScreenDirectory::model(quint32 number) const {
    return m_models.value(number);
}
