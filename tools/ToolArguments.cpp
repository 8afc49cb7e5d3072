#include "ToolArguments.h"

#include <QRegularExpression>

std::optional<QString> ToolArguments::value(const QString& option) const {
    const auto found = values.constFind(option);
    if (found == values.cend())
        return std::nullopt;
    return *found;
}

std::variant<ToolArguments, QString> ToolArguments::parse(const QStringList& arguments,
                                                          const QStringList& valueOptions,
                                                          const QStringList& flagOptions) {
    ToolArguments parsed;
    bool optionsEnded = false;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) ||
            argument == QStringLiteral("-")) {
            parsed.positional.append(argument);
            continue;
        }
        if (argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        if (flagOptions.contains(name)) {
            if (equals >= 0)
                return QStringLiteral("%1 takes no value").arg(name);
            parsed.flags.insert(name);
        } else if (valueOptions.contains(name)) {
            if (equals >= 0)
                parsed.values.insert(name, argument.mid(equals + 1));
            else if (index + 1 < arguments.size())
                parsed.values.insert(name, arguments[++index]);
            else
                return QStringLiteral("%1 needs a value").arg(name);
        } else {
            return QStringLiteral("unknown option '%1'").arg(name);
        }
    }
    return parsed;
}

std::optional<QString> readToolSize(const ToolArguments& given, QSize& size) {
    const auto text = given.value(QStringLiteral("--size"));
    if (!text)
        return std::nullopt;
    const auto parsed = parseToolSize(*text);
    if (!parsed)
        return QStringLiteral("--size takes WIDTHxHEIGHT in points, each from 50 to 4000, not '%1'")
                .arg(*text);
    size = *parsed;
    return std::nullopt;
}

std::optional<QSize> parseToolSize(const QString& text) {
    static const QRegularExpression pattern(
            QRegularExpression::anchoredPattern(QStringLiteral("(\\d{1,5})x(\\d{1,5})")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    const auto fits = [](int side) { return side >= 50 && side <= 4000; };
    if (!fits(size.width()) || !fits(size.height()))
        return std::nullopt;
    return size;
}
