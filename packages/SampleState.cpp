#include "SampleState.h"

#include "model/RegularFile.h"
#include "model/WidgetError.h"
#include "packages/WidgetPackage.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

namespace SampleState {

std::optional<QJsonObject> read(const QString& root) {
    // Refuses a link or ".." on the way out of the package like any of its files.
    const QString path = WidgetPackage::resource(fileName, root);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const RegularFile file = RegularFile::read(path, maximumBytes, RegularFile::Links::refuse);
    if (file.status == RegularFile::Status::tooLarge)
        throw WidgetError::invalid(
                QStringLiteral("The sample state is too large"),
                QStringLiteral("%1 is larger than %2 bytes").arg(fileName).arg(maximumBytes));
    if (file.status != RegularFile::Status::read)
        throw WidgetError::invalid(QStringLiteral("The sample state cannot be read"), file.error);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.contents, &error);
    if (error.error != QJsonParseError::NoError)
        throw WidgetError::invalid(QStringLiteral("The sample state is not valid JSON"),
                                   QStringLiteral("%1 at offset %2: %3")
                                           .arg(fileName)
                                           .arg(error.offset)
                                           .arg(error.errorString()));
    if (!document.isObject())
        throw WidgetError::invalid(QStringLiteral("The sample state must be a JSON object"),
                                   fileName);
    return document.object();
}

QJsonObject merged(const QJsonObject& neutral, const QJsonObject& sample) {
    QJsonObject state = neutral;
    for (auto entry = sample.begin(); entry != sample.end(); ++entry) {
        if (neutral.contains(entry.key()) || entry.key() == QStringLiteral("touchMode"))
            state.insert(entry.key(), entry.value());
    }
    return state;
}

} // namespace SampleState
