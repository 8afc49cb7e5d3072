#pragma once

#include "touch/HidDeviceSource.h"
#include "touch/TouchDecoder.h"

#include <QStringList>
#include <functional>
#include <memory>

// Reads the touchscreen: every interface its source attaches, decoded by one shared decoder into
// single-contact samples. Created once and kept for the program's life.
class EdgeHIDReader : private HidDeviceListener {
public:
    explicit EdgeHIDReader(std::unique_ptr<HidDeviceSource> source);
    ~EdgeHIDReader() override;

    std::function<void(const TouchSample&)> onSample;
    // true when a device is attached; after a removal, whether any is still attached.
    std::function<void(bool)> onConnection;
    std::function<void(const QString& device, int status)> onDeviceFailure;

    // Stops, then opens the source again: 0 or the source's status.
    int start();
    // Closes the source and drops a contact in progress without an ended sample.
    void stop();
    bool isOpen() const { return m_open; }
    // Attached devices in order of attachment.
    const QStringList& devices() const { return m_devices; }
    HidDeviceSource::Access access() const { return m_source->access(); }

private:
    void attached(const QString& device) override;
    void removed(const QString& device) override;
    void report(const QString& device, QByteArrayView bytes) override;
    void failed(const QString& device, int status) override;

    std::unique_ptr<HidDeviceSource> m_source;
    bool m_open = false;
    QStringList m_devices;
    TouchDecoder m_decoder;
};
