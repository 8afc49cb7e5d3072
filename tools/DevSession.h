#pragma once

#include "store/TarnStore.h"
#include "widgets/web/WebWidget.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>
#include <memory>

// "tablora-widget dev": one package shown from the folder where it is edited, in a window of its
// own as the dashboard shows it, with the live state; loaded again whenever a file in the folder
// changes, its console printed as it comes. Nothing is installed and the dashboard's data folder
// is only read: the state lives in a private copy, so commands never touch the user's timers,
// notes or pages, and a running dashboard is left alone (neither its lock nor its bus name).
class DevSession : public QObject {
    Q_OBJECT

public:
    // A change is acted on once the folder has been quiet this long: an editor's save is often
    // several writes.
    static constexpr int settleMilliseconds = 150;

    // `environment` gives the platform's services; its folders are chosen here. `userData` is the
    // dashboard's data folder, whose settings are copied, never written.
    DevSession(QString folder, QSize size, TarnStore::Environment environment,
               const QString& userData, QTextStream& out, QTextStream& err);
    ~DevSession() override;

    QWidget& window() { return m_window; }
    // The page now shown; none while the package is invalid and none was shown before.
    WebWidget* widget() const { return m_widget; }
    TarnStore& store() { return *m_store; }

signals:
    // A new page was placed in the window (at the start and after each change).
    void loaded();

private:
    void load();
    void watch();
    void changed(const QString& path);
    void printWarnings(const QString& root);

    QString m_folder;
    QTemporaryDir m_data;
    std::unique_ptr<TarnStore> m_store;
    QTextStream& m_out;
    QTextStream& m_err;
    QWidget m_window;
    QPointer<WebWidget> m_widget;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QStringList m_changes; // files changed since the last load
    bool m_changed = false;
    QString m_lastWarnings;
    QString m_lastError;
};
