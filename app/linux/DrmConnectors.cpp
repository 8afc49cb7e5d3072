#include "DrmConnectors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace {

constexpr int edidLength = 128;
constexpr int descriptorsStart = 54;
constexpr int descriptorLength = 18;
constexpr quint8 productNameTag = 0xFC;

quint8 byteAt(const QByteArray& bytes, int index) {
    return quint8(bytes[index]);
}

QString monitorName(const QByteArray& edid) {
    for (int start = descriptorsStart; start + descriptorLength <= edidLength;
         start += descriptorLength) {
        // Display descriptors start with a zero pixel clock; the tag tells which one.
        if (byteAt(edid, start) != 0 || byteAt(edid, start + 1) != 0 ||
            byteAt(edid, start + 3) != productNameTag)
            continue;
        QByteArray text = edid.mid(start + 5, 13);
        const qsizetype end = text.indexOf('\n');
        if (end >= 0)
            text.truncate(end);
        return QString::fromLatin1(text).trimmed();
    }
    return {};
}

QSize preferredSize(const QByteArray& edid) {
    const int t = descriptorsStart;
    if (byteAt(edid, t) == 0 && byteAt(edid, t + 1) == 0)
        return {};
    const int width = byteAt(edid, t + 2) | (byteAt(edid, t + 4) & 0xF0) << 4;
    const int height = byteAt(edid, t + 5) | (byteAt(edid, t + 7) & 0xF0) << 4;
    return {width, height};
}

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

std::optional<EdidIdentity> parseEdid(const QByteArray& edid) {
    static const QByteArray header("\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00", 8);
    if (edid.size() < edidLength || !edid.startsWith(header))
        return std::nullopt;
    EdidIdentity identity;
    identity.model = {quint32(byteAt(edid, 8)) << 8 | byteAt(edid, 9),
                      quint32(byteAt(edid, 10)) | quint32(byteAt(edid, 11)) << 8};
    identity.monitorName = monitorName(edid);
    identity.preferredSize = preferredSize(edid);
    return identity;
}

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
