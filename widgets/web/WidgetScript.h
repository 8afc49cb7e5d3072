#pragma once

#include <QString>

// The script every widget page gets before its own: Qt's web channel client, the SDK from the
// SDK folder (nothing when it cannot be read) and the few lines that connect the two.
namespace WidgetScript {

QString source(const QString& sdkDirectory);

} // namespace WidgetScript
