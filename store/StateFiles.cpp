#include "store/StateFiles.h"

#include "model/StateFile.h"

StateFiles::StateFiles(QString directory, std::shared_ptr<const Clock> clock, Access access)
    : m_directory(std::move(directory)), m_clock(std::move(clock)),
      m_readOnly(access == Access::readOnly) {}

std::optional<QByteArray> StateFiles::read(const QString& name) {
    StateFile::Reading reading = StateFile::read(m_directory, name);
    if (reading.status == StateFile::Reading::Status::unreadable)
        m_unread.insert(name);
    if (reading.status != StateFile::Reading::Status::read)
        return std::nullopt;
    return std::move(reading.contents);
}

std::optional<QString> StateFiles::keepUnreadOriginal(const QString& name, QString& keptAs) {
    if (!m_unread.contains(name))
        return std::nullopt;
    const StateFile::SetAside aside = StateFile::setAside(m_directory, name, m_clock->now());
    if (aside.error)
        return aside.error;
    m_unread.remove(name);
    keptAs = aside.copyName;
    return std::nullopt;
}

StateFiles::Written StateFiles::write(const QString& name, const QByteArray& contents) {
    Written written;
    if (m_readOnly)
        return written;
    written.error = keepUnreadOriginal(name, written.keptAs);
    if (!written.error)
        written.error = StateFile::write(m_directory, name, contents);
    if (!written.error) {
        m_failing.remove(name);
        return written;
    }
    written.firstFailure = !m_failing.contains(name);
    m_failing.insert(name);
    return written;
}
