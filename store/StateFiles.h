#pragma once

#include "model/Clock.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

// The store's files in its data folder. A file that could not be read (or only in part) is moved
// aside before its first write, so the next save never destroys what the user may still want;
// a file whose writes keep failing (a full disk) is worth telling the user about once, until one
// of its writes succeeds again.
class StateFiles {
public:
    // Reads and never writes, nor sets a damaged file aside: for a tool that looks into the data
    // folder of a dashboard that may be running and saving meanwhile.
    enum class Access { readWrite, readOnly };

    StateFiles(QString directory, std::shared_ptr<const Clock> clock, Access access);

    QString directory() const { return m_directory; }
    // A file's contents; a file that exists but cannot be read is noted as unread.
    std::optional<QByteArray> read(const QString& name);
    // The file was read but what it held could not be taken (in full).
    void markUnread(const QString& name) { m_unread.insert(name); }

    struct Written {
        std::optional<QString> error; // in words for the user; the file is as it was
        bool firstFailure = false;    // the first failure since the file last saved
        QString keptAs;               // the name an unread original was moved to, if any
    };
    Written write(const QString& name, const QByteArray& contents);

private:
    std::optional<QString> keepUnreadOriginal(const QString& name, QString& keptAs);

    QString m_directory;
    std::shared_ptr<const Clock> m_clock;
    bool m_readOnly;
    QSet<QString> m_unread;
    QSet<QString> m_failing;
};
