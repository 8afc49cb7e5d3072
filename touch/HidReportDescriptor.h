#pragma once

#include <QByteArrayView>

namespace HidReportDescriptor {

// The longest input report a HID report descriptor describes, in bytes, the report ID byte
// included; 0 when it describes none or cannot be read.
int largestInputReport(QByteArrayView descriptor);

} // namespace HidReportDescriptor
