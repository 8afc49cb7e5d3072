#pragma once

#include <QString>

// The scripts every widget page gets before its own.
//
// The page's world gets the SDK from the SDK folder (nothing when it cannot be read) and the lines
// that hand its messages over; every frame of it loses WebRTC. The web channel lives in a world of
// its own that the page cannot reach: there a relay drops oversized messages before they are sent,
// so the dashboard never reads more than `messageLimit` characters of one message.
namespace WidgetScript {

// Characters of one message's JSON text: a note of 100,000 bytes fits even fully escaped.
constexpr int messageLimit = 1000000;

QString pageSource(const QString& sdkDirectory);
QString lockdownSource();
QString relaySource();

} // namespace WidgetScript
