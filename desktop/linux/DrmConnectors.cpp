#include "DrmConnectors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace {

QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

bool sameSize(const QSize& screen, const QSize& preferred) {
    // A rotated screen reports its size turned.
    return !preferred.isEmpty() && (screen == preferred || screen == preferred.transposed());
}

std::optional<DrmConnector> onlyOne(const QList<DrmConnector>& found) {
    if (found.size() == 1)
        return found.first();
    return std::nullopt;
}

} // namespace

QList<DrmConnector> readDrmConnectors(const QString& sysfsRoot) {
    static const QRegularExpression connectorName(QStringLiteral("^card\\d+-(.+)$"));
    const QDir drm(QDir(sysfsRoot).filePath(QStringLiteral("class/drm")));
    QList<DrmConnector> connectors;
    for (const QString& entry : drm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QRegularExpressionMatch match = connectorName.match(entry);
        if (!match.hasMatch())
            continue;
        const QDir folder(drm.filePath(entry));
        if (readSmallFile(folder.filePath(QStringLiteral("status"))).trimmed() != "connected")
            continue;
        const auto identity = parseEdid(readSmallFile(folder.filePath(QStringLiteral("edid"))));
        if (identity)
            connectors.append({match.captured(1), entry, *identity});
    }
    return connectors;
}

QList<std::optional<DrmConnector>> matchConnectors(const QList<ScreenFacts>& screens,
                                                   const QList<DrmConnector>& connectors) {
    QList<std::optional<DrmConnector>> matches(screens.size());
    QList<DrmConnector> unnamed = connectors;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        for (const DrmConnector& connector : connectors) {
            if (!screens[i].name.isEmpty() && connector.name == screens[i].name)
                matches[i] = connector;
        }
        if (matches[i])
            unnamed.removeIf([&](const DrmConnector& c) { return c.name == matches[i]->name; });
    }
    QHash<QString, int> claims; // a connector two screens could have goes to neither
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (matches[i])
            continue;
        QList<DrmConnector> bySize;
        QList<DrmConnector> byModel;
        for (const DrmConnector& connector : unnamed) {
            if (!sameSize(screens[i].pixelSize, connector.identity.preferredSize))
                continue;
            bySize.append(connector);
            if (!screens[i].model.isEmpty() &&
                screens[i].model.compare(connector.identity.monitorName, Qt::CaseInsensitive) == 0)
                byModel.append(connector);
        }
        matches[i] = byModel.isEmpty() ? onlyOne(bySize) : onlyOne(byModel);
        if (matches[i])
            ++claims[matches[i]->connector];
    }
    for (std::optional<DrmConnector>& match : matches) {
        if (match && claims.value(match->connector) > 1)
            match.reset();
    }
    return matches;
}
