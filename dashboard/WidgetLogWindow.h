#pragma once

#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// A widget's log in a window of the dashboard's own, so it shows whatever the desktop would open
// a ".log" file with: read only, following the lines as the page writes them, and showing the
// file in the file manager on request. The file is read again only when it changes.
class WidgetLogWindow : public QWidget {
    Q_OBJECT

public:
    // At most this much of the log is read at a time (its cap is less).
    static constexpr qint64 readLimit = 512 * 1024;
    static constexpr int maximumLines = 20000;
    // Changes that come quicker than this are read together.
    static constexpr int readDelayMilliseconds = 200;

    // Shows the log at `path`: the window already open for it, else a new one over `parent`'s
    // window. `name` is the widget's, for the title.
    static WidgetLogWindow* open(const QString& path, const QString& name, QWidget* parent);
    // How "Open in File Manager" shows a file; by default the desktop opens its folder.
    static void setFileManager(std::function<void(const QString& path)> reveal);

    const QString& path() const { return m_path; }
    QPlainTextEdit* text() const { return m_text; }
    QPushButton* revealButton() const { return m_reveal; }

private:
    WidgetLogWindow(const QString& path, const QString& name, QWidget* parent);
    void watch();
    void readMore();

    QString m_path;
    QFileSystemWatcher m_watcher;
    QTimer m_readSoon;
    qint64 m_read = 0;
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_reveal = nullptr;
};
