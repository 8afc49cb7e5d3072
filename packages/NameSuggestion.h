#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The known name a mistyped one was most likely meant to be ("permisions" -> "permissions"):
// the closest by edit distance, when it is close enough to be a typing slip.
std::optional<QString> closestName(const QString& typed, const QStringList& known);
