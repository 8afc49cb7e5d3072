#include "EdgeHIDReader.h"

EdgeHIDReader::EdgeHIDReader(std::unique_ptr<HidDeviceSource> source)
    : m_source(std::move(source)) {}

EdgeHIDReader::~EdgeHIDReader() {
    stop();
}

int EdgeHIDReader::start() {
    stop();
    // Open before the source reports: its attachments during open() count.
    m_open = true;
    const int status = m_source->open(*this);
    if (status != 0)
        stop();
    return status;
}

void EdgeHIDReader::stop() {
    if (!m_open)
        return;
    m_open = false;
    m_source->close();
    m_devices.clear();
    m_decoder.reset();
}

void EdgeHIDReader::attached(const QString& device) {
    if (!m_open || m_devices.contains(device))
        return;
    m_devices.append(device);
    if (onConnection)
        onConnection(true);
}

void EdgeHIDReader::removed(const QString& device) {
    if (!m_open)
        return;
    m_devices.removeAll(device);
    m_decoder.reset();
    if (onConnection)
        onConnection(!m_devices.isEmpty());
}

void EdgeHIDReader::report(const QString& device, QByteArrayView bytes) {
    if (!m_open || bytes.isEmpty() || !m_devices.contains(device))
        return;
    const auto sample = m_decoder.decode(quint8(bytes[0]), bytes);
    if (sample && onSample)
        onSample(*sample);
}

void EdgeHIDReader::failed(const QString& device, int status) {
    if (m_open && onDeviceFailure)
        onDeviceFailure(device, status);
}
