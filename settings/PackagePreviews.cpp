#include "PackagePreviews.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

// A widget on a page of its own: the page's height less its margins and the section's inset.
constexpr int tileHeight = 502;
constexpr int defaultTileWidth = 364;
constexpr int sectionInset = 14;

// The identity as far as it is safe in a file name; the hash beside it keeps packages apart.
QString namePart(const QString& id) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return QString(id).replace(unsafe, QStringLiteral("_")).left(60);
}

QImage kept(const QImage& picture) {
    return picture.height() > PackagePreviews::keptHeight
                   ? picture.scaledToHeight(PackagePreviews::keptHeight, Qt::SmoothTransformation)
                   : picture;
}

} // namespace

PackagePreviews::PackagePreviews(QString cacheFolder, Renderer renderer, QObject* parent)
    : QObject(parent), m_folder(std::move(cacheFolder)), m_renderer(std::move(renderer)) {}

QSize PackagePreviews::size(const WidgetPackage& package) {
    const auto width = package.manifest.preferredWidth;
    return {width ? int(std::lround(*width)) - sectionInset : defaultTileWidth, tileHeight};
}

QString PackagePreviews::cacheFile(const WidgetPackage& package) const {
    const QDateTime written =
            QFileInfo(QDir(package.root).filePath(QStringLiteral("manifest.json"))).lastModified();
    const QString identity = package.id() + QLatin1Char('\n') + package.manifest.version +
                             QLatin1Char('\n') + QString::number(written.toMSecsSinceEpoch()) +
                             QLatin1Char('\n') + package.root;
    const QByteArray hash = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256)
                                    .toHex()
                                    .left(20);
    return QDir(m_folder).filePath(namePart(package.id()) + QLatin1Char('-') +
                                   QString::fromLatin1(hash) + QStringLiteral(".png"));
}

QImage PackagePreviews::picture(const WidgetPackage& package) const {
    return m_pictures.value(cacheFile(package));
}

void PackagePreviews::request(const WidgetPackage& package) {
    const QString file = cacheFile(package);
    const bool waiting = std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                                     [&](const auto& entry) { return entry.first == file; });
    if (m_pictures.contains(file) || waiting || m_drawing == file || m_failed.contains(file))
        return;
    // Drawn in an earlier run; a damaged file is drawn again.
    const QImage cached(file);
    if (!cached.isNull()) {
        m_pictures.insert(file, kept(cached));
        emit drawn(package.id());
        return;
    }
    m_waiting.append({file, {package.root, file + QStringLiteral(".part.png"), size(package)}});
    m_packageIDs.insert(file, package.id());
    drawNext();
}

void PackagePreviews::drawNext() {
    if (!m_drawing.isEmpty() || m_waiting.isEmpty())
        return;
    const auto [file, render] = m_waiting.takeFirst();
    m_drawing = file;
    QDir().mkpath(m_folder);
    QFile::remove(render.picture);
    const QPointer<PackagePreviews> self(this);
    // Finished from the event loop, even by a renderer that answers at once.
    m_renderer(render, this, [self, file](bool drawnWell) {
        if (self)
            QMetaObject::invokeMethod(
                    self.data(), [self, file, drawnWell] { self->finish(file, drawnWell); },
                    Qt::QueuedConnection);
    });
}

void PackagePreviews::finish(const QString& file, bool drawnWell) {
    const QString part = file + QStringLiteral(".part.png");
    const QString id = m_packageIDs.take(file);
    QFile::remove(file);
    const QImage drawnPicture = drawnWell && QFile::rename(part, file) ? QImage(file) : QImage();
    QFile::remove(part);
    if (drawnPicture.isNull()) {
        m_failed.insert(file);
    } else {
        // Pictures of the package's earlier versions are not wanted again.
        const QString prefix = namePart(id) + QLatin1Char('-');
        for (const QString& name : QDir(m_folder).entryList({prefix + QStringLiteral("*.png")})) {
            const QString other = QDir(m_folder).filePath(name);
            if (other != file && name.size() == QFileInfo(file).fileName().size())
                QFile::remove(other);
        }
        m_pictures.insert(file, kept(drawnPicture));
        emit drawn(id);
    }
    m_drawing.clear();
    drawNext();
}
