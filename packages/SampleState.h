#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// The state a package is drawn with for the widget library and the README's gallery, never the
// user's own: a neutral state (what the widget sees with nothing connected and no data), with
// the package's own sample state from "preview.json" over it when it ships one.
namespace SampleState {

inline const QString fileName = QStringLiteral("preview.json");
constexpr qint64 maximumBytes = 262144;

// The package's sample state; none when it ships no "preview.json". Throws WidgetError when the
// file is there but is not a JSON object in a regular file of at most 256 KiB inside the package.
std::optional<QJsonObject> read(const QString& root);

// The neutral state with the sample's entries over it. Only the entries the neutral state has,
// and "touchMode", are taken: a sample cannot show what the widget's permissions never let it see.
QJsonObject merged(const QJsonObject& neutral, const QJsonObject& sample);

} // namespace SampleState
