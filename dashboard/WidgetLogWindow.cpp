#include "WidgetLogWindow.h"

#include "dashboard/TarnTheme.h"
#include "model/linux/NoFollowFile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

namespace {

std::function<void(const QString&)>& fileManager() {
    static std::function<void(const QString&)> reveal = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    return reveal;
}

} // namespace

WidgetLogWindow* WidgetLogWindow::open(const QString& path, const QString& name, QWidget* parent) {
    WidgetLogWindow* shown = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* log = qobject_cast<WidgetLogWindow*>(window);
        if (log && log->path() == path)
            shown = log;
    }
    if (!shown) {
        QWidget* over = parent ? parent->window() : nullptr;
        shown = new WidgetLogWindow(path, name, over);
        // Over the window it was asked from, on that window's screen.
        if (over) {
            QRect frame(QPoint(), shown->size());
            frame.moveCenter(over->geometry().center());
            shown->move(frame.topLeft());
        }
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

void WidgetLogWindow::setFileManager(std::function<void(const QString&)> reveal) {
    fileManager() = std::move(reveal);
}

WidgetLogWindow::WidgetLogWindow(const QString& path, const QString& name, QWidget* parent)
    : QWidget(parent, Qt::Window), m_path(path) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("%1 — Widget Log").arg(name));
    resize(760, 460);
    setStyleSheet(QStringLiteral("QPushButton { padding: 6px 16px; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);

    auto* where = new QLabel(path, this);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setStyleSheet(QStringLiteral("color: %1;").arg(TarnTheme::muted().name()));
    layout->addWidget(where);

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    // Bounded however long the window stays open and the page writes.
    m_text->setMaximumBlockCount(maximumLines);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setPlaceholderText(tr("Nothing written yet. What the page writes to its console, its "
                                  "uncaught errors and the commands the dashboard refused appear "
                                  "here as they happen."));
    layout->addWidget(m_text, 1);

    auto* buttons = new QHBoxLayout;
    m_reveal = new QPushButton(tr("Open in File Manager"), this);
    connect(m_reveal, &QPushButton::clicked, this, [this] { fileManager()(m_path); });
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(m_reveal);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);

    m_readSoon.setSingleShot(true);
    m_readSoon.setInterval(readDelayMilliseconds);
    connect(&m_readSoon, &QTimer::timeout, this, [this] {
        watch();
        readMore();
    });
    const auto changed = [this] {
        if (!m_readSoon.isActive())
            m_readSoon.start();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    watch();
    readMore();
}

// The file, and its folder, which sees it come and start afresh; until the folder exists (a
// widget that never wrote anything), the data folder above it.
void WidgetLogWindow::watch() {
    const QFileInfo file(m_path);
    const QString folder = file.absolutePath();
    const QString watched = QFileInfo(folder).isDir() ? folder : QFileInfo(folder).path();
    if (!m_watcher.directories().contains(watched)) {
        if (!m_watcher.directories().isEmpty())
            m_watcher.removePaths(m_watcher.directories());
        m_watcher.addPath(watched);
    }
    if (m_watcher.files().isEmpty() && file.isFile())
        m_watcher.addPath(m_path);
}

void WidgetLogWindow::readMore() {
    QFile file;
    if (!NoFollowFile::openToRead(file, m_path))
        return;
    // Smaller than what was read: it started afresh at its cap.
    if (file.size() < m_read)
        m_read = 0;
    if (!file.seek(m_read))
        return;
    const QByteArray added = file.read(readLimit);
    // Whole lines only; a line being written is read with the next change.
    const qsizetype end = added.lastIndexOf('\n');
    if (end < 0)
        return;
    m_read += end + 1;
    QScrollBar* bar = m_text->verticalScrollBar();
    // Following the end, unless the reader scrolled back to read.
    const bool atEnd = bar->value() >= bar->maximum() - 1;
    m_text->appendPlainText(QString::fromUtf8(added.first(end)));
    if (atEnd)
        bar->setValue(bar->maximum());
}
